import { describe, expect, it } from 'vitest';
import type { PointValue } from '../data';
import { GENERIC_POINT_COUNT, pointCatalogue } from '../emulator';
import { applyElement, checkScheme } from '../scheme';
import {
  LOAD_CELL,
  LOAD_RECT_HEIGHT,
  LOAD_RECT_WIDTH,
  createLoadEntries,
  generateLoadScheme,
} from './index';

describe('generateLoadScheme', () => {
  it.each([
    [1, 1, 1],
    [5, 3, 2],
    [1000, 32, 32],
    [2000, 45, 45],
  ])('lays %i rectangles on %i columns and %i rows', (count, columns, rows) => {
    const scheme = generateLoadScheme(count);
    expect(checkScheme(scheme).errors).toEqual([]);
    expect(scheme.id).toBe(`load-${count}`);
    expect(scheme.name).toBe(`Нагрузка ${count}`);
    expect(scheme.size).toEqual({ width: columns * LOAD_CELL, height: rows * LOAD_CELL });
    expect(scheme.elements.map((element) => element.id)).toEqual(
      Array.from({ length: count }, (_, i) => `L${i}`),
    );

    // Row by row without gaps: rectangle i sits in cell i of the grid, so the
    // rows before the last are full and the last one is filled from the left.
    const cells = scheme.elements.map((element) => [element.y / LOAD_CELL, element.x / LOAD_CELL]);
    expect(
      cells.filter(([row, column]) => !Number.isInteger(row) || !Number.isInteger(column)),
    ).toEqual([]);
    expect(
      cells.filter(([row, column], i) => row * columns + column !== i || column >= columns),
    ).toEqual([]);
    expect(cells[count - 1][0]).toBe(rows - 1);
    const last = scheme.elements[count - 1];
    expect(last.x + LOAD_RECT_WIDTH).toBeLessThanOrEqual(scheme.size.width);
    expect(last.y + LOAD_RECT_HEIGHT).toBeLessThanOrEqual(scheme.size.height);
  });

  it('starts the second row of the 1000 scheme with L32 and fills 20 cells of the 2000 scheme’s last row', () => {
    expect(generateLoadScheme(1000).elements[32]).toMatchObject({ x: 0, y: 40 });
    const big = generateLoadScheme(2000).elements;
    expect(big.filter((element) => element.y === 44 * LOAD_CELL)).toHaveLength(20);
    expect(big[1999]).toMatchObject({ x: 19 * LOAD_CELL, y: 44 * LOAD_CELL });
  });

  it('writes each rectangle with its fields in order, a green fill and one red rule from 70', () => {
    for (const element of generateLoadScheme(5).elements) {
      expect(Object.keys(element)).toEqual([
        'id',
        'type',
        'x',
        'y',
        'width',
        'height',
        'style',
        'pointId',
        'conditions',
      ]);
      expect(element).toMatchObject({ type: 'rect', width: 30, height: 20 });
      expect(element.style).toEqual({ fill: '#88cc88' });
      expect(element.conditions).toEqual([
        { when: { field: 'value', op: 'gte', value: 70 }, set: { fill: '#cc3333' } },
      ]);
      expect(Object.keys(element.conditions?.[0].when ?? {})).toEqual(['field', 'op', 'value']);
    }
  });

  it.each([1000, 2000])(
    'cycles the %i rectangles through the generic points, each driving an equal share',
    (count) => {
      const elements = generateLoadScheme(count).elements;
      expect(elements[0].pointId).toBe('p1');
      expect(elements[GENERIC_POINT_COUNT - 1].pointId).toBe(`p${GENERIC_POINT_COUNT}`);
      expect(elements[GENERIC_POINT_COUNT].pointId).toBe('p1');
      const perPoint = new Map<string, number>();
      for (const { pointId = '' } of elements)
        perPoint.set(pointId, (perPoint.get(pointId) ?? 0) + 1);
      const catalogueIds = new Set(pointCatalogue.map((point) => point.id));
      expect(perPoint.size).toBe(GENERIC_POINT_COUNT);
      for (const [pointId, uses] of perPoint) {
        expect(catalogueIds.has(pointId), pointId).toBe(true);
        expect(uses).toBe(count / GENERIC_POINT_COUNT);
      }
    },
  );

  it('binds 2000 rectangles to 2000 distinct points when given that many', () => {
    const scheme = generateLoadScheme(2000, 2000);
    const ids = scheme.elements.map((element) => element.pointId);
    expect(new Set(ids).size).toBe(2000);
    expect([ids[0], ids[1999]]).toEqual(['p1', 'p2000']);
    // Everything but the bindings is as without a point count.
    const plain = generateLoadScheme(2000);
    const unbound = (element: (typeof plain.elements)[number]) => ({ ...element, pointId: '' });
    expect({ ...scheme, elements: scheme.elements.map(unbound) }).toEqual({
      ...plain,
      elements: plain.elements.map(unbound),
    });
  });

  it('cycles through a given point count', () => {
    expect(generateLoadScheme(5, 2).elements.map((element) => element.pointId)).toEqual([
      'p1',
      'p2',
      'p1',
      'p2',
      'p1',
    ]);
  });

  it.each([
    [0, undefined],
    [-3, undefined],
    [2.5, undefined],
    [Number.NaN, undefined],
    [10, 0],
    [10, 1.5],
  ])(
    'refuses %s rectangles over %s points instead of writing a broken document',
    (count, points) => {
      expect(() => generateLoadScheme(count, points)).toThrow(RangeError);
    },
  );
});

describe('load rectangles at runtime', () => {
  const rectangle = generateLoadScheme(1).elements[0];
  const value = (v: number | boolean): PointValue => ({
    id: 'p1',
    value: v,
    status: 'good',
    timestamp: 0,
  });
  const drawn = () => document.createElementNS('http://www.w3.org/2000/svg', 'rect');

  it('turns red from 70 and back to its base green below it', () => {
    const node = drawn();
    const fills = [69.99, 70, 70.5, 12].map((v) => {
      applyElement(node, rectangle, value(v));
      return node.getAttribute('fill');
    });
    expect(fills).toEqual(['#88cc88', '#cc3333', '#cc3333', '#88cc88']);
  });

  it('marks a value of any other quality than good, and only such a value', () => {
    const node = drawn();
    const looks = (['good', 'bad', 'uncertain', 'good'] as const).map((status) => {
      applyElement(node, rectangle, { ...value(75), status });
      return [node.getAttribute('fill'), node.getAttribute('class')];
    });
    expect(looks).toEqual([
      ['#cc3333', null],
      ['#cc3333', 'mnemo-quality-bad'],
      ['#cc3333', 'mnemo-quality-bad'],
      ['#cc3333', ''],
    ]);
    const fresh = drawn();
    applyElement(fresh, rectangle, value(75));
    expect(fresh.hasAttribute('class')).toBe(false);
  });

  it('stays green on a discrete point, whose flag never reaches 70', () => {
    const node = drawn();
    applyElement(node, rectangle, value(true));
    expect(node.getAttribute('fill')).toBe('#88cc88');
  });
});

describe('createLoadEntries', () => {
  it('offers the 1000 and 2000 schemes under their own ids and names', () => {
    const entries = createLoadEntries();
    expect(entries.map((entry) => [entry.id, entry.name, entry.scheme.elements.length])).toEqual([
      ['load-1000', 'Нагрузка 1000', 1000],
      ['load-2000', 'Нагрузка 2000', 2000],
    ]);
    for (const entry of entries) {
      expect(entry.scheme.id).toBe(entry.id);
      expect(entry.scheme.name).toBe(entry.name);
    }
  });
});
