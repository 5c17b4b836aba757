import type { SchemeElement } from '../../scheme';
import {
  HANDLE_NAMES,
  clientToScheme,
  computeDragPositions,
  computeResizeRect,
  handleCursor,
  handlePoint,
  handlesFor,
  marqueeHits,
  rotatePoint,
  boxCentre,
  rotatedBounds,
  selectionBounds,
  type HandleName,
} from './geometry';

const SNAP_ON = { enabled: true, grid: 10 };
const SNAP_OFF = { enabled: false, grid: 10 };

describe('clientToScheme', () => {
  it.each([
    [
      'scales by size over bounds',
      { left: 10, top: 20, width: 200, height: 100 },
      110,
      70,
      200,
      100,
    ],
    [
      'takes a scale of 1 for an empty box',
      { left: 10, top: 20, width: 0, height: 0 },
      15,
      25,
      5,
      5,
    ],
    [
      'gives 0 for a coordinate that is no number',
      { left: 0, top: 0, width: 400, height: 200 },
      NaN,
      50,
      0,
      50,
    ],
  ])('%s', (_name, bounds, clientX, clientY, x, y) => {
    expect(clientToScheme(bounds, { width: 400, height: 200 }, clientX, clientY)).toEqual({ x, y });
  });

  it('gives 0 on an axis whose scheme size is not finite', () => {
    const bounds = { left: 0, top: 0, width: 100, height: 100 };
    expect(clientToScheme(bounds, { width: Infinity, height: 100 }, 30, 40)).toEqual({
      x: 0,
      y: 40,
    });
  });
});

describe('computeDragPositions', () => {
  const origins = new Map([
    ['a', { x: 3, y: 7, width: 10, height: 10 }],
    ['b', { x: 25, y: 33, width: 10, height: 10 }],
  ]);
  const start = { x: 50, y: 50 };

  it.each([
    // The primary lands on the grid on both axes; the other keeps its offset of (22, 26).
    ['snaps the primary, the rest follows', 'a', { x: 54, y: 50 }, SNAP_ON, [10, 10], [32, 36]],
    ['moves by the pointer without snapping', 'a', { x: 54, y: 50 }, SNAP_OFF, [7, 7], [29, 33]],
    ['does not snap before the pointer moves', 'a', start, SNAP_ON, [3, 7], [25, 33]],
    ['snaps the other primary', 'b', { x: 51, y: 51 }, SNAP_ON, [8, 4], [30, 30]],
    [
      'does not snap with a grid of 0',
      'a',
      { x: 54, y: 50 },
      { enabled: true, grid: 0 },
      [7, 7],
      [29, 33],
    ],
    ['does not snap without a primary origin', 'zz', { x: 54, y: 50 }, SNAP_ON, [7, 7], [29, 33]],
  ])('%s', (_name, primaryId, p, snap, a, b) => {
    const positions = computeDragPositions(origins, primaryId, start, p, snap);
    expect([...positions]).toEqual([
      ['a', { x: a[0], y: a[1] }],
      ['b', { x: b[0], y: b[1] }],
    ]);
  });

  it('snaps a small drag back to the place it started from', () => {
    const onGrid = new Map([['a', { x: 10, y: 10, width: 10, height: 10 }]]);
    const positions = computeDragPositions(onGrid, 'a', start, { x: 53, y: 52 }, SNAP_ON);
    expect(positions.get('a')).toEqual({ x: 10, y: 10 });
  });
});

describe('computeResizeRect', () => {
  const box = { x: 0, y: 0, width: 100, height: 50 };

  it.each<[string, HandleName, [number, number], [number, number], boolean, boolean, number[]]>([
    ['moves the corner', 'se', [100, 50], [130, 65], false, false, [0, 0, 130, 65]],
    ['snaps the moved edges', 'se', [100, 50], [133, 67], true, false, [0, 0, 130, 70]],
    ['moves only its own edge', 'e', [100, 25], [120, 90], false, false, [0, 0, 120, 50]],
    ['moves the top edge', 'n', [50, 0], [80, -20], false, false, [0, -20, 100, 70]],
    // right − 8 = 92
    [
      'stops the left edge 8 before the right',
      'w',
      [0, 25],
      [150, 25],
      false,
      false,
      [92, 0, 8, 50],
    ],
    [
      'stops the bottom edge 8 below the top',
      's',
      [50, 50],
      [50, -40],
      false,
      false,
      [0, 0, 100, 8],
    ],
    // w 200 → h = 200 / 2
    ['keeps the ratio from the corner', 'se', [100, 50], [200, 50], false, true, [0, 0, 200, 100]],
    [
      'grows the height downward from "e"',
      'e',
      [100, 25],
      [200, 25],
      false,
      true,
      [0, 0, 200, 100],
    ],
    // h 100 → w = 100 · 2, top = bottom − h
    [
      'grows the width to the right from "n"',
      'n',
      [50, 0],
      [50, -50],
      false,
      true,
      [0, -50, 200, 100],
    ],
    // w 200, h 60 → h = 100; left = 100 − 200, top = 50 − 100
    [
      'keeps the opposite corner from "nw"',
      'nw',
      [0, 0],
      [-100, -10],
      false,
      true,
      [-100, -50, 200, 100],
    ],
    // h 8 (the floor) → w = max(8, 16)
    ['keeps the ratio at the minimum size', 's', [50, 50], [50, -100], false, true, [0, 0, 16, 8]],
  ])('%s', (_name, anchor, start, p, snap, keepAspect, expected) => {
    const rect = computeResizeRect(
      box,
      anchor,
      { x: start[0], y: start[1] },
      { x: p[0], y: p[1] },
      snap ? SNAP_ON : SNAP_OFF,
      keepAspect,
    );
    expect([rect.x, rect.y, rect.width, rect.height]).toEqual(expected);
  });

  it('keeps the height of a horizontal pipe at 0', () => {
    const pipe = { x: 0, y: 0, width: 80, height: 0 };
    const rect = computeResizeRect(pipe, 'e', { x: 80, y: 0 }, { x: 120, y: 5 }, SNAP_OFF, true);
    expect(rect).toEqual({ x: 0, y: 0, width: 120, height: 0 });
  });

  it('turns the pointer into the frame of an element rotated by 90° and keeps "w" in place', () => {
    // Rotated by 90°, the element's x axis points down the screen: a pointer
    // 30 down widens it by 30. The new box {0, 0, 130, 50} is moved by d − q:
    // d = "w" (0, 25) about (50, 25) → (50, −25); q = "w" (0, 25) about (65, 25) → (65, −40).
    const rect = computeResizeRect(
      box,
      'e',
      { x: 50, y: 100 },
      { x: 50, y: 130 },
      SNAP_OFF,
      false,
      90,
    );
    expect(rect).toEqual({ x: -15, y: 15, width: 130, height: 50 });
  });

  it.each<[HandleName, number]>([
    ['se', 30],
    ['n', 135],
    ['w', -60],
    ['sw', 200],
  ])('keeps the handle opposite to "%s" at its screen point at %s°', (anchor, rotation) => {
    const opposite = HANDLE_NAMES[(HANDLE_NAMES.indexOf(anchor) + 4) % 8];
    const rect = computeResizeRect(
      box,
      anchor,
      { x: 7, y: 3 },
      { x: 44, y: 29 },
      SNAP_OFF,
      false,
      rotation,
    );
    const before = rotatePoint(handlePoint(box, opposite), boxCentre(box), rotation);
    const after = rotatePoint(handlePoint(rect, opposite), boxCentre(rect), rotation);
    expect(after.x).toBeCloseTo(before.x, 5);
    expect(after.y).toBeCloseTo(before.y, 5);
    for (const value of [rect.x, rect.y, rect.width, rect.height]) {
      expect(Math.round(value * 1e6) / 1e6).toBe(value);
    }
  });
});

describe('rotatedBounds and selectionBounds', () => {
  it.each([
    ['keeps an unrotated box', { x: 1, y: 2, width: 30, height: 40 }, undefined, [1, 2, 30, 40]],
    ['keeps a box at 0°', { x: 1, y: 2, width: 30, height: 40 }, 0, [1, 2, 30, 40]],
    // w′ = 50, h′ = 100 about the centre (50, 25)
    ['swaps the sides at 90°', { x: 0, y: 0, width: 100, height: 50 }, 90, [25, -25, 50, 100]],
    // w′ = h′ = 80 · √2/2 = 56.568542 (six places); x′ = 30 − 28.284271
    [
      'enlarges a square at 45°',
      { x: 10, y: 20, width: 40, height: 40 },
      45,
      [1.715729, 11.715729, 56.568542, 56.568542],
    ],
  ])('%s', (_name, box, rotation, expected) => {
    const b = rotatedBounds(box, rotation);
    expect([b.x, b.y, b.width, b.height]).toEqual(expected);
  });

  it('holds every selected box as drawn', () => {
    expect(
      selectionBounds([
        { id: 'a', x: 0, y: 0, width: 100, height: 50, rotation: 90 },
        { id: 'b', x: 200, y: 0, width: 10, height: 10 },
      ]),
    ).toEqual({ x: 25, y: -25, width: 185, height: 100 });
  });
});

describe('marqueeHits', () => {
  const element = (
    id: string,
    x: number,
    y: number,
    size: number,
    rotation?: number,
  ): SchemeElement => ({
    id,
    type: 'rect',
    x,
    y,
    width: size,
    height: size,
    style: {},
    ...(rotation === undefined ? {} : { rotation }),
  });
  const elements = [element('a', 0, 0, 10), element('b', 20, 0, 10), element('c', 50, 50, 20, 45)];

  it.each([
    ['a partial overlap', { x: 5, y: 5, width: 10, height: 10 }, ['a']],
    ['only touching edges', { x: 10, y: 0, width: 10, height: 10 }, []],
    ['a line 1 wide', { x: 25, y: -5, width: 1, height: 30 }, ['b']],
    ['the enlarged bounds of a rotated element', { x: 46, y: 46, width: 2, height: 2 }, ['c']],
    ['everything, in list order', { x: -100, y: -100, width: 300, height: 300 }, ['a', 'b', 'c']],
  ])('hits %s', (_name, box, ids) => {
    expect(marqueeHits(elements, box)).toEqual(ids);
  });
});

describe('handles', () => {
  it.each([
    ['a box', { x: 0, y: 0, width: 10, height: 10 }, HANDLE_NAMES],
    ['a horizontal pipe', { x: 0, y: 0, width: 80, height: 0 }, ['w', 'e']],
    ['a vertical pipe', { x: 0, y: 0, width: 0, height: 80 }, ['n', 's']],
  ])('handlesFor %s', (_name, box, names) => {
    expect(handlesFor(box)).toEqual(names);
  });

  it.each<[HandleName, number, number]>([
    ['nw', 10, 20],
    ['n', 60, 20],
    ['ne', 110, 20],
    ['e', 110, 45],
    ['se', 110, 70],
    ['s', 60, 70],
    ['sw', 10, 70],
    ['w', 10, 45],
  ])('handlePoint %s', (name, x, y) => {
    expect(handlePoint({ x: 10, y: 20, width: 100, height: 50 }, name)).toEqual({ x, y });
  });

  it.each<[HandleName, number | undefined, string]>([
    ['n', undefined, 'ns-resize'],
    ['nw', 0, 'nwse-resize'],
    ['ne', 0, 'nesw-resize'],
    ['e', 0, 'ew-resize'],
    ['n', 45, 'nesw-resize'],
    ['nw', 90, 'nesw-resize'],
    ['n', -45, 'nwse-resize'],
    ['e', 22.5, 'nwse-resize'],
    ['e', 22.4, 'ew-resize'],
    ['n', -22.5, 'ns-resize'],
    ['w', 360, 'ew-resize'],
    ['sw', 315, 'ns-resize'],
  ])('handleCursor %s at %s°', (name, rotation, cursor) => {
    expect(handleCursor(name, rotation)).toBe(cursor);
  });
});
