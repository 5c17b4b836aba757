import { render } from '@testing-library/react';
import type { SchemeElement } from '../scheme';
import type { SymbolDefinition } from './index';
import {
  clamp01,
  findSymbol,
  listSymbols,
  registerSymbol,
  symbolPlaceholder,
  valueFraction,
} from './index';

describe('symbol registry', () => {
  it('lists the nine symbols in palette order', () => {
    expect(listSymbols()).toEqual([
      {
        symbolId: 'tank',
        label: 'Резервуар',
        category: 'Резервуары',
        defaultSize: { width: 48, height: 90 },
      },
      {
        symbolId: 'pump',
        label: 'Насос',
        category: 'Насосы / задвижки',
        defaultSize: { width: 44, height: 44 },
      },
      {
        symbolId: 'valve',
        label: 'Задвижка',
        category: 'Насосы / задвижки',
        defaultSize: { width: 48, height: 32 },
      },
      {
        symbolId: 'indicator-box',
        label: 'Статус-бокс',
        category: 'Индикаторы',
        defaultSize: { width: 44, height: 44 },
      },
      {
        symbolId: 'gauge',
        label: 'Прибор стрелочный',
        category: 'Индикаторы',
        defaultSize: { width: 96, height: 96 },
      },
      {
        symbolId: 'gas-turbine',
        label: 'Газотурбинный агрегат',
        category: 'Агрегаты',
        defaultSize: { width: 260, height: 90 },
      },
      {
        symbolId: 'boiler',
        label: 'Котёл',
        category: 'Агрегаты',
        defaultSize: { width: 120, height: 160 },
      },
      {
        symbolId: 'generator',
        label: 'Генератор',
        category: 'Агрегаты',
        defaultSize: { width: 88, height: 88 },
      },
      {
        symbolId: 'heat-exchanger',
        label: 'Теплообменник',
        category: 'Теплообмен',
        defaultSize: { width: 120, height: 140 },
      },
    ]);
  });

  it('hands out a new list on every call', () => {
    const first = listSymbols();
    first.pop();
    expect(listSymbols()).toHaveLength(9);
    expect(listSymbols()).not.toBe(listSymbols());
  });

  it.each(['toString', '__proto__', 'constructor', 'Tank', ''])(
    'finds nothing for %j',
    (symbolId) => {
      expect(findSymbol(symbolId)).toBeUndefined();
    },
  );

  it('replaces a re-registered definition and keeps its place', () => {
    const original = findSymbol('tank') as SymbolDefinition;
    const replacement: SymbolDefinition = { ...original, label: 'Бак' };
    try {
      registerSymbol('tank', replacement);
      expect(findSymbol('tank')).toBe(replacement);
      expect(listSymbols().map((entry) => entry.symbolId)).toEqual([
        'tank',
        'pump',
        'valve',
        'indicator-box',
        'gauge',
        'gas-turbine',
        'boiler',
        'generator',
        'heat-exchanger',
      ]);
      expect(listSymbols()[0].label).toBe('Бак');
    } finally {
      registerSymbol('tank', original);
    }
  });
});

describe('symbolPlaceholder', () => {
  function placeholder(symbolId: unknown) {
    const element = {
      id: 'el-1',
      type: 'symbol',
      symbolId,
      x: 10,
      y: 20,
      width: 60,
      height: 40,
      style: {},
    } as SchemeElement;
    const { container } = render(<svg>{symbolPlaceholder(element)}</svg>);
    return container.querySelector('[data-placeholder="true"]');
  }

  it('draws a red dashed box with the symbol id', () => {
    const group = placeholder('compressor');
    const rect = group?.querySelector('rect');
    const text = group?.querySelector('text');
    expect(group?.tagName).toBe('g');
    expect(rect).toHaveAttribute('x', '10');
    expect(rect).toHaveAttribute('y', '20');
    expect(rect).toHaveAttribute('width', '60');
    expect(rect).toHaveAttribute('height', '40');
    expect(rect).toHaveAttribute('fill', 'none');
    expect(rect).toHaveAttribute('stroke', '#c00');
    expect(rect).toHaveAttribute('stroke-dasharray', '3 2');
    expect(text).toHaveAttribute('x', '12');
    expect(text).toHaveAttribute('y', '32');
    expect(text).toHaveAttribute('font-size', '10');
    expect(text).toHaveAttribute('fill', '#c00');
    expect(text?.textContent).toBe('compressor');
  });

  it.each([
    [undefined, ''],
    [42, '42'],
    [{ odd: true }, '[object Object]'],
  ])('prints a symbolId of %j from a scheme file as %j', (symbolId, text) => {
    expect(placeholder(symbolId)?.querySelector('text')?.textContent).toBe(text);
  });
});

describe('value fractions', () => {
  it.each([
    [-0.5, 0],
    [0, 0],
    [0.25, 0.25],
    [1, 1],
    [1.5, 1],
  ])('clamp01(%d) is %d', (v, f) => {
    expect(clamp01(v)).toBe(f);
  });

  const element = (params?: Record<string, unknown>) =>
    ({
      id: 'e',
      type: 'symbol',
      x: 0,
      y: 0,
      width: 1,
      height: 1,
      style: {},
      params,
    }) as SchemeElement;

  it.each([
    ['default range', 25, undefined, 0.25],
    ['own range', 15, { min: 10, max: 30 }, 0.25],
    ['inverted range', 15, { min: 30, max: 10 }, 0.75],
    ['empty range', 15, { min: 10, max: 10 }, 0],
    ['range as text counts as absent', 25, { min: '10', max: null }, 0.25],
    ['params not a record', 25, 'x' as unknown as Record<string, unknown>, 0.25],
    ['NaN value', NaN, undefined, 0],
  ])('%s', (_, v, params, f) => {
    expect(valueFraction(v, element(params))).toBe(f);
  });
});
