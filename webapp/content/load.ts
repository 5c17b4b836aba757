// Schemes that fill the stage with small bound rectangles, to watch the cost of
// live binding with thousands of elements driven by the generic points.

import { GENERIC_POINT_COUNT } from '../emulator';
import type { Scheme, SchemeElement } from '../scheme';
import type { ContentEntry } from './entries';

/** Grid pitch of the rectangles, across and down. */
export const LOAD_CELL = 40;
export const LOAD_RECT_WIDTH = 30;
export const LOAD_RECT_HEIGHT = 20;

/** `count` rectangles row by row on a near-square grid, bound in turn to p1 to p`pointCount`. */
export function generateLoadScheme(
  count: number,
  pointCount: number = GENERIC_POINT_COUNT,
): Scheme {
  if (!Number.isInteger(count) || count < 1) {
    throw new RangeError(`load scheme size must be a whole number of at least 1: ${count}`);
  }
  if (!Number.isInteger(pointCount) || pointCount < 1) {
    throw new RangeError(`point count must be a whole number of at least 1: ${pointCount}`);
  }
  const columns = Math.ceil(Math.sqrt(count));
  const rows = Math.ceil(count / columns);
  const elements: SchemeElement[] = [];
  for (let i = 0; i < count; i += 1) {
    elements.push({
      id: `L${i}`,
      type: 'rect',
      x: (i % columns) * LOAD_CELL,
      y: Math.floor(i / columns) * LOAD_CELL,
      width: LOAD_RECT_WIDTH,
      height: LOAD_RECT_HEIGHT,
      style: { fill: '#88cc88' },
      pointId: `p${(i % pointCount) + 1}`,
      conditions: [{ when: { field: 'value', op: 'gte', value: 70 }, set: { fill: '#cc3333' } }],
    });
  }
  return {
    schemaVersion: 1,
    id: `load-${count}`,
    name: `Нагрузка ${count}`,
    size: { width: columns * LOAD_CELL, height: rows * LOAD_CELL },
    elements,
  };
}

/** The two load-test entries, offered after the stock schemes. */
export function createLoadEntries(): ContentEntry[] {
  return [
    { id: 'load-1000', name: 'Нагрузка 1000', scheme: generateLoadScheme(1000) },
    { id: 'load-2000', name: 'Нагрузка 2000', scheme: generateLoadScheme(2000) },
  ];
}
