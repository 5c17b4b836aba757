import { describe, expect, it } from 'vitest';
import '../../symbols';
import {
  createElementForKey,
  filterItems,
  groupItems,
  paletteItems,
  primitiveItems,
  type PaletteItem,
} from './items';

describe('palette items', () => {
  it('lists the primitives in their order', () => {
    expect(primitiveItems).toEqual([
      { key: 'rect', label: 'Прямоугольник', category: 'Примитивы' },
      { key: 'text', label: 'Текст', category: 'Примитивы' },
      { key: 'value', label: 'Значение', category: 'Примитивы' },
      { key: 'indicator', label: 'Индикатор', category: 'Примитивы' },
      { key: 'polyline', label: 'Труба', category: 'Трубы / линии' },
    ]);
  });

  it('puts the registered symbols first, keyed "symbol:" and their id', () => {
    expect(paletteItems().map((item) => item.key)).toEqual([
      'symbol:tank',
      'symbol:pump',
      'symbol:valve',
      'symbol:indicator-box',
      'symbol:gauge',
      'symbol:gas-turbine',
      'symbol:boiler',
      'symbol:generator',
      'symbol:heat-exchanger',
      'rect',
      'text',
      'value',
      'indicator',
      'polyline',
    ]);
  });
});

describe('filterItems', () => {
  const items = paletteItems();
  const labels = (query: string): string[] => filterItems(items, query).map((item) => item.label);

  it.each([
    ['НАСОС', ['Насос']],
    ['агрегат', ['Газотурбинный агрегат']],
    ['Примитивы', []],
    ['symbol', []],
    [' агрегат', ['Газотурбинный агрегат']],
    [' насос', []],
    ['ОР', ['Прибор стрелочный', 'Генератор', 'Индикатор']],
    ['тор', ['Генератор', 'Индикатор']],
  ])('%j matches %j', (query, expected) => {
    expect(labels(query)).toEqual(expected);
  });

  it('matches everything with an empty query', () => {
    expect(filterItems(items, '')).toEqual(items);
  });
});

describe('groupItems', () => {
  it('keeps categories in the order of their first item', () => {
    const list: PaletteItem[] = [
      { key: 'a', label: 'A', category: 'two' },
      { key: 'b', label: 'B', category: 'one' },
      { key: 'c', label: 'C', category: 'two' },
    ];
    expect(groupItems(list)).toEqual([
      { name: 'two', items: [list[0], list[2]] },
      { name: 'one', items: [list[1]] },
    ]);
  });

  it('gives the seven categories of the full palette', () => {
    expect(groupItems(paletteItems()).map((group) => [group.name, group.items.length])).toEqual([
      ['Резервуары', 1],
      ['Насосы / задвижки', 2],
      ['Индикаторы', 2],
      ['Агрегаты', 3],
      ['Теплообмен', 1],
      ['Примитивы', 4],
      ['Трубы / линии', 1],
    ]);
  });
});

describe('createElementForKey', () => {
  it('makes a symbol for "symbol:" and an id', () => {
    const element = createElementForKey('symbol:tank', 20, 20)!;
    expect(element).toMatchObject({ type: 'symbol', symbolId: 'tank', x: 20, y: 20 });
    expect(element).toMatchObject({ width: 48, height: 90 });
    expect(element.id).toMatch(/^el-\d+$/);
  });

  it('makes a pipe for "polyline"', () => {
    expect(createElementForKey('polyline', 20, 20)).toMatchObject({
      type: 'polyline',
      points: [20, 20, 100, 20],
    });
  });

  it.each(['rect', 'text', 'value', 'indicator'])('makes the primitive %s', (key) => {
    expect(createElementForKey(key, 5, 6)).toMatchObject({ type: key, x: 5, y: 6 });
  });

  it('makes a placeholder-sized symbol for an unregistered id', () => {
    expect(createElementForKey('symbol:nope', 0, 0)).toMatchObject({
      type: 'symbol',
      symbolId: 'nope',
      width: 48,
      height: 48,
    });
  });

  it.each(['', 'circle', 'Rect', 'hello world', 'symbol'])('makes nothing for %j', (key) => {
    expect(createElementForKey(key, 0, 0)).toBeUndefined();
  });
});
