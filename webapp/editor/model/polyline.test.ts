import { describe, expect, it } from 'vitest';
import type { SchemeElement } from '../../scheme';
import { createPipe } from './factories';
import {
  appendVertex,
  createPipeThrough,
  drawnVertices,
  insertElementVertex,
  insertVertex,
  insertVertexNear,
  moveElementVertex,
  moveVertex,
  nearestSegment,
  placeVertex,
  pointsBounds,
  removeElementVertex,
  removeVertex,
  type Point,
} from './polyline';
import { pipe } from './testFixtures';

const snapOn = { enabled: true, grid: 10 };
const snapOff = { enabled: false, grid: 10 };

describe('placeVertex', () => {
  it.each<[string, Point, Point | undefined, typeof snapOn, boolean, Point]>([
    [
      'snaps both coordinates, halves up',
      { x: 14, y: 25 },
      undefined,
      snapOn,
      false,
      { x: 10, y: 30 },
    ],
    [
      'keeps the pointer without snapping',
      { x: 14, y: 25 },
      undefined,
      snapOff,
      false,
      { x: 14, y: 25 },
    ],
    [
      'does not snap on a zero grid',
      { x: 14, y: 25 },
      undefined,
      { enabled: true, grid: 0 },
      false,
      { x: 14, y: 25 },
    ],
    [
      'ignores Shift for the first vertex',
      { x: 14, y: 26 },
      undefined,
      snapOn,
      true,
      { x: 10, y: 30 },
    ],
    [
      'Shift: mostly sideways stays horizontal',
      { x: 96, y: 31 },
      { x: 20, y: 20 },
      snapOn,
      true,
      { x: 100, y: 20 },
    ],
    [
      'Shift: mostly up and down stays vertical',
      { x: 31, y: -58 },
      { x: 20, y: 20 },
      snapOn,
      true,
      { x: 20, y: -60 },
    ],
    [
      'Shift: a diagonal goes horizontal',
      { x: 50, y: 50 },
      { x: 20, y: 20 },
      snapOn,
      true,
      { x: 50, y: 20 },
    ],
    [
      'Shift without snapping keeps the free coordinate',
      { x: 33, y: 97 },
      { x: 20, y: 20 },
      snapOff,
      true,
      { x: 20, y: 97 },
    ],
    [
      'no Shift: the previous vertex does not constrain',
      { x: 96, y: 31 },
      { x: 20, y: 20 },
      snapOn,
      false,
      { x: 100, y: 30 },
    ],
  ])('%s', (_, p, previous, snap, shift, expected) => {
    expect(placeVertex(p, previous, snap, shift)).toEqual(expected);
  });
});

describe('appendVertex', () => {
  const placed = [
    { x: 0, y: 0 },
    { x: 10, y: 0 },
  ];

  it('appends a new place and keeps the very same list for the last one again', () => {
    expect(appendVertex(placed, { x: 10, y: 20 })).toEqual([...placed, { x: 10, y: 20 }]);
    expect(appendVertex(placed, { x: 10, y: 0 })).toBe(placed);
  });

  it('treats a second click within the distance as the same place', () => {
    expect(appendVertex(placed, { x: 11, y: 1 }, 2)).toBe(placed);
    expect(appendVertex(placed, { x: 13, y: 0 }, 2)).toHaveLength(3);
  });

  it('refuses a point that is not finite', () => {
    expect(appendVertex(placed, { x: NaN, y: 0 })).toBe(placed);
  });
});

describe('nearestSegment and insertVertexNear', () => {
  // An L: (0,0) → (100,0) → (100,50), then back left to (40,50).
  const points = [0, 0, 100, 0, 100, 50, 40, 50];

  it.each<[string, Point, number]>([
    ['on the first segment', { x: 50, y: 2 }, 0],
    ['beside the second segment', { x: 97, y: 25 }, 1],
    ['past the end of the last segment', { x: 20, y: 52 }, 2],
    ['equally near two segments: the first', { x: 100, y: 0 }, 0],
  ])('%s', (_, p, index) => {
    expect(
      nearestSegment(
        [0, 2, 4, 6].map((i) => ({ x: points[i], y: points[i + 1] })),
        p,
      )?.index,
    ).toBe(index);
  });

  it('puts the point between the ends of the nearest segment', () => {
    expect(insertVertexNear(points, { x: 97, y: 30 })).toEqual({
      points: [0, 0, 100, 0, 97, 30, 100, 50, 40, 50],
      index: 2,
    });
  });

  it('inserts nothing on an end of the segment, or with no segment at all', () => {
    expect(insertVertexNear(points, { x: 100, y: 50 })).toBeUndefined();
    expect(insertVertexNear([5, 5], { x: 0, y: 0 })).toBeUndefined();
  });

  it.each<[string, number]>([
    ['before the first vertex', 0],
    ['after the last vertex', 4],
    ['at a fractional place', 1.5],
  ])('insertVertex refuses an index %s', (_, index) => {
    expect(insertVertex(points, index, { x: 1, y: 1 })).toBe(points);
  });
});

describe('moveVertex and removeVertex', () => {
  const points = [0, 0, 100, 0, 100, 50];

  it('moves one vertex, and keeps the very same list when it stays or does not exist', () => {
    expect(moveVertex(points, 1, { x: 80, y: 10 })).toEqual([0, 0, 80, 10, 100, 50]);
    expect(moveVertex(points, 1, { x: 100, y: 0 })).toBe(points);
    expect(moveVertex(points, 3, { x: 1, y: 1 })).toBe(points);
    expect(moveVertex(points, -1, { x: 1, y: 1 })).toBe(points);
    expect(moveVertex(points, 0, { x: Infinity, y: 1 })).toBe(points);
  });

  it('removes a vertex but never goes below two', () => {
    const two = removeVertex(points, 1);
    expect(two).toEqual([0, 0, 100, 50]);
    expect(removeVertex(two, 0)).toBe(two);
    expect(removeVertex(points, 3)).toBe(points);
  });
});

describe('pointsBounds', () => {
  it.each<[string, number[], { x: number; y: number; width: number; height: number }]>([
    ['a horizontal pipe has height 0', [20, 20, 100, 20], { x: 20, y: 20, width: 80, height: 0 }],
    ['points in any order', [50, 10, -10, 40, 30, -5], { x: -10, y: -5, width: 60, height: 45 }],
    [
      'an odd trailing number is ignored',
      [0, 0, 10, 10, 99],
      { x: 0, y: 0, width: 10, height: 10 },
    ],
    ['no points', [], { x: 0, y: 0, width: 0, height: 0 }],
  ])('%s', (_, points, box) => {
    expect(pointsBounds(points)).toEqual(box);
  });
});

function boxOf(element: SchemeElement) {
  return { x: element.x, y: element.y, width: element.width, height: element.height };
}

describe('element edits keep the box the bounding box of the points', () => {
  const l = pipe('p', [20, 20, 100, 20, 100, 60]);

  it.each<[string, SchemeElement, number[]]>([
    [
      'moving a vertex out widens the box',
      moveElementVertex(l, 2, { x: 140, y: 90 }),
      [20, 20, 100, 20, 140, 90],
    ],
    [
      'moving a vertex in shrinks it',
      moveElementVertex(l, 0, { x: 60, y: 40 }),
      [60, 40, 100, 20, 100, 60],
    ],
    [
      'inserting a vertex',
      insertElementVertex(l, 1, { x: 60, y: 0 }),
      [20, 20, 60, 0, 100, 20, 100, 60],
    ],
    ['removing the corner', removeElementVertex(l, 1), [20, 20, 100, 60]],
  ])('%s', (_, edited, points) => {
    expect(edited.points).toEqual(points);
    expect(boxOf(edited)).toEqual(pointsBounds(points));
    expect(edited.style).toBe(l.style);
  });

  it('returns the very element when nothing changes, or for an element that is no polyline', () => {
    const rect: SchemeElement = {
      id: 'r',
      type: 'rect',
      x: 0,
      y: 0,
      width: 5,
      height: 5,
      style: {},
    };
    expect(moveElementVertex(l, 1, { x: 100, y: 20 })).toBe(l);
    expect(removeElementVertex(pipe('q', [0, 0, 10, 0]), 0).points).toEqual([0, 0, 10, 0]);
    expect(moveElementVertex(rect, 0, { x: 1, y: 1 })).toBe(rect);
    expect(insertElementVertex(l, 1, { x: NaN, y: 0 })).toBe(l);
  });

  it('turns a box that did not fit its points into their bounds on the first edit', () => {
    const loose = { ...l, x: 0, y: 0, width: 300, height: 300 };
    expect(boxOf(moveElementVertex(loose, 1, { x: 110, y: 20 }))).toEqual({
      x: 20,
      y: 20,
      width: 90,
      height: 40,
    });
  });
});

describe('a turned polyline', () => {
  const turned: SchemeElement = { ...pipe('p', [0, 0, 100, 0, 100, 40]), rotation: 90 };

  function expectClose(actual: Point[], expected: Point[]) {
    expect(actual).toHaveLength(expected.length);
    actual.forEach((p, i) => {
      expect(p.x).toBeCloseTo(expected[i].x, 5);
      expect(p.y).toBeCloseTo(expected[i].y, 5);
    });
  }

  it('draws its vertices turned about the centre of its box', () => {
    // Centre (50, 20); a quarter turn clockwise sends (x, y) to (70 − y, x − 30).
    expectClose(drawnVertices(turned), [
      { x: 70, y: -30 },
      { x: 70, y: 70 },
      { x: 30, y: 70 },
    ]);
  });

  it.each<[string, (e: SchemeElement) => SchemeElement, [number, number][], Point | undefined]>([
    // [index before, index after] of every vertex the edit does not touch
    [
      'moving vertex 3',
      (e) => moveElementVertex(e, 2, { x: 0, y: 90 }),
      [
        [0, 0],
        [1, 1],
      ],
      { x: 0, y: 90 },
    ],
    [
      'inserting vertex 2',
      (e) => insertElementVertex(e, 1, { x: 90, y: -30 }),
      [
        [0, 0],
        [1, 2],
        [2, 3],
      ],
      { x: 90, y: -30 },
    ],
    [
      'removing vertex 2',
      (e) => removeElementVertex(e, 1),
      [
        [0, 0],
        [2, 1],
      ],
      undefined,
    ],
  ])(
    '%s: it lands under the pointer, the others stay where they were drawn',
    (_, edit, kept, at) => {
      const before = drawnVertices(turned);
      const edited = edit(turned);
      const after = drawnVertices(edited);
      expect(boxOf(edited)).toEqual(pointsBounds(edited.points ?? []));
      expectClose(
        kept.map(([, i]) => after[i]),
        kept.map(([i]) => before[i]),
      );
      if (at) expect(after.some((p) => Math.hypot(p.x - at.x, p.y - at.y) < 1e-5)).toBe(true);
    },
  );
});

describe('createPipeThrough', () => {
  it('makes a pipe like the palette pipe, through the vertices, with their bounds as its box', () => {
    const template = createPipe(0, 0);
    const made = createPipeThrough([
      { x: 40, y: 80 },
      { x: 120, y: 80 },
      { x: 120, y: 20 },
    ]);
    expect(made).toEqual({
      ...template,
      id: made?.id,
      points: [40, 80, 120, 80, 120, 20],
      x: 40,
      y: 20,
      width: 80,
      height: 60,
    });
    expect(Object.keys(made ?? {})).toEqual(Object.keys(template));
    expect(made?.id).not.toBe(template.id);
  });

  it('makes nothing from fewer than two different places', () => {
    expect(createPipeThrough([])).toBeUndefined();
    expect(
      createPipeThrough([
        { x: 5, y: 5 },
        { x: 5, y: 5 },
      ]),
    ).toBeUndefined();
  });
});
