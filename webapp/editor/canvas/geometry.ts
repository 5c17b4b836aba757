// Pure geometry of the editing canvas: pointer mapping, drag snapping, resizing
// with rotation, bounds, marquee hits and the resize handles.

import type { SchemeElement, SchemeSize } from '../../scheme';
import { MIN_ELEMENT_SIZE, snapToGrid, type Rect } from '../model';

export interface CanvasPoint {
  x: number;
  y: number;
}

/** A screen rectangle: where the canvas's drawing lies, in client pixels. */
export interface ClientBounds {
  left: number;
  top: number;
  width: number;
  height: number;
}

export interface SnapSettings {
  enabled: boolean;
  grid: number;
}

/** The box of one selected element, with its rotation in degrees. */
export interface SelectedBox extends Rect {
  id: string;
  rotation?: number;
}

export type HandleName = 'nw' | 'n' | 'ne' | 'e' | 'se' | 's' | 'sw' | 'w';

export const HANDLE_NAMES: readonly HandleName[] = ['nw', 'n', 'ne', 'e', 'se', 's', 'sw', 'w'];

/** Side of a resize handle in screen pixels. */
export const HANDLE_SIZE = 8;

const OPPOSITE: Record<HandleName, HandleName> = {
  nw: 'se',
  n: 's',
  ne: 'sw',
  e: 'w',
  se: 'nw',
  s: 'n',
  sw: 'ne',
  w: 'e',
};

const CURSORS: Record<HandleName, string> = {
  nw: 'nwse-resize',
  se: 'nwse-resize',
  n: 'ns-resize',
  s: 'ns-resize',
  ne: 'nesw-resize',
  sw: 'nesw-resize',
  e: 'ew-resize',
  w: 'ew-resize',
};

const movesLeft = (name: HandleName) => name === 'nw' || name === 'w' || name === 'sw';
const movesRight = (name: HandleName) => name === 'ne' || name === 'e' || name === 'se';
const movesTop = (name: HandleName) => name === 'nw' || name === 'n' || name === 'ne';
const movesBottom = (name: HandleName) => name === 'sw' || name === 's' || name === 'se';

/** Rounds to six decimal places, halves up. */
export function round6(value: number): number {
  return Math.round(value * 1e6) / 1e6;
}

/** A rotation usable in arithmetic: absent or not finite counts as none. */
function angleOf(rotation: number | undefined): number {
  return rotation !== undefined && Number.isFinite(rotation) ? rotation : 0;
}

/** Scheme point under a client point, `bounds` being where the drawing of `size` lies. */
export function clientToScheme(
  bounds: ClientBounds,
  size: SchemeSize,
  clientX: number,
  clientY: number,
): CanvasPoint {
  const sx = bounds.width > 0 ? size.width / bounds.width : 1;
  const sy = bounds.height > 0 ? size.height / bounds.height : 1;
  const finite = (...values: number[]) => values.every((value) => Number.isFinite(value));
  return {
    x: finite(clientX, bounds.left, bounds.width, size.width) ? (clientX - bounds.left) * sx : 0,
    y: finite(clientY, bounds.top, bounds.height, size.height) ? (clientY - bounds.top) * sy : 0,
  };
}

function snaps(snap: SnapSettings): boolean {
  return snap.enabled && snap.grid > 0;
}

/**
 * Offset of a drag: the pointer's travel, corrected so that the primary
 * element's origin lands on the grid when snapping is on.
 */
export function dragOffset(
  primary: CanvasPoint | undefined,
  start: CanvasPoint,
  p: CanvasPoint,
  snap: SnapSettings,
): CanvasPoint {
  let dx = p.x - start.x;
  let dy = p.y - start.y;
  if (primary !== undefined && snaps(snap) && (dx !== 0 || dy !== 0)) {
    dx = snapToGrid(primary.x + dx, snap.grid) - primary.x;
    dy = snapToGrid(primary.y + dy, snap.grid) - primary.y;
  }
  return { x: dx, y: dy };
}

/** New positions of dragged elements, in the order of `origins`. */
export function computeDragPositions(
  origins: ReadonlyMap<string, Rect>,
  primaryId: string,
  start: CanvasPoint,
  p: CanvasPoint,
  snap: SnapSettings,
): Map<string, CanvasPoint> {
  const offset = dragOffset(origins.get(primaryId), start, p, snap);
  const positions = new Map<string, CanvasPoint>();
  for (const [id, origin] of origins) {
    positions.set(id, { x: origin.x + offset.x, y: origin.y + offset.y });
  }
  return positions;
}

/** Point P turned by `angle` degrees (clockwise on screen) about C. */
export function rotatePoint(p: CanvasPoint, c: CanvasPoint, angle: number): CanvasPoint {
  const a = (angle * Math.PI) / 180;
  const cos = Math.cos(a);
  const sin = Math.sin(a);
  const dx = p.x - c.x;
  const dy = p.y - c.y;
  return { x: c.x + dx * cos - dy * sin, y: c.y + dx * sin + dy * cos };
}

export function boxCentre(box: Rect): CanvasPoint {
  return { x: box.x + box.width / 2, y: box.y + box.height / 2 };
}

export function handlePoint(box: Rect, name: HandleName): CanvasPoint {
  const { x, y, width: w, height: h } = box;
  switch (name) {
    case 'nw':
      return { x, y };
    case 'n':
      return { x: x + w / 2, y };
    case 'ne':
      return { x: x + w, y };
    case 'e':
      return { x: x + w, y: y + h / 2 };
    case 'se':
      return { x: x + w, y: y + h };
    case 's':
      return { x: x + w / 2, y: y + h };
    case 'sw':
      return { x, y: y + h };
    case 'w':
      return { x, y: y + h / 2 };
    default: {
      const never: never = name;
      throw new Error(`unknown handle: ${String(never)}`);
    }
  }
}

/** The box an element takes while one of its handles is dragged from `start` to `p`. */
export function computeResizeRect(
  origin: Rect,
  anchor: HandleName,
  start: CanvasPoint,
  p: CanvasPoint,
  snap: SnapSettings,
  keepAspect: boolean,
  rotation?: number,
): Rect {
  const theta = angleOf(rotation);
  let dx = p.x - start.x;
  let dy = p.y - start.y;
  if (theta !== 0) {
    const phi = (-theta * Math.PI) / 180;
    const cos = Math.cos(phi);
    const sin = Math.sin(phi);
    [dx, dy] = [dx * cos - dy * sin, dx * sin + dy * cos];
  }
  const edge = (value: number) => (snaps(snap) ? snapToGrid(value, snap.grid) : value);
  let left = origin.x;
  let right = origin.x + origin.width;
  let top = origin.y;
  let bottom = origin.y + origin.height;
  if (movesLeft(anchor)) left = Math.min(edge(origin.x + dx), right - MIN_ELEMENT_SIZE);
  if (movesRight(anchor)) right = Math.max(edge(right + dx), left + MIN_ELEMENT_SIZE);
  if (movesTop(anchor)) top = Math.min(edge(origin.y + dy), bottom - MIN_ELEMENT_SIZE);
  if (movesBottom(anchor)) bottom = Math.max(edge(bottom + dy), top + MIN_ELEMENT_SIZE);
  let w = right - left;
  let h = bottom - top;
  if (keepAspect && origin.width > 0 && origin.height > 0) {
    const ratio = origin.width / origin.height;
    if (Math.abs(w - origin.width) >= Math.abs(h - origin.height)) {
      h = Math.max(MIN_ELEMENT_SIZE, w / ratio);
    } else {
      w = Math.max(MIN_ELEMENT_SIZE, h * ratio);
    }
    if (movesLeft(anchor)) left = right - w;
    if (movesTop(anchor)) top = bottom - h;
  }
  const box = { x: left, y: top, width: w, height: h };
  if (theta === 0) return box;
  // The handle opposite to the dragged one stays where it is on the screen.
  const opposite = OPPOSITE[anchor];
  const d = rotatePoint(handlePoint(origin, opposite), boxCentre(origin), theta);
  const q = rotatePoint(handlePoint(box, opposite), boxCentre(box), theta);
  return {
    x: round6(box.x + d.x - q.x),
    y: round6(box.y + d.y - q.y),
    width: round6(box.width),
    height: round6(box.height),
  };
}

/** Axis-aligned bounds of a box turned by `rotation` degrees about its centre. */
export function rotatedBounds(box: Rect, rotation?: number): Rect {
  const theta = angleOf(rotation);
  if (theta === 0) return { x: box.x, y: box.y, width: box.width, height: box.height };
  const a = (theta * Math.PI) / 180;
  const c = Math.abs(Math.cos(a));
  const s = Math.abs(Math.sin(a));
  const width = round6(box.width * c + box.height * s);
  const height = round6(box.width * s + box.height * c);
  return {
    x: round6(box.x + box.width / 2 - width / 2),
    y: round6(box.y + box.height / 2 - height / 2),
    width,
    height,
  };
}

/** The smallest box holding every selected box as it is drawn (rotation included). */
export function selectionBounds(rects: readonly SelectedBox[]): Rect {
  if (rects.length === 0) return { x: 0, y: 0, width: 0, height: 0 };
  let left = Infinity;
  let top = Infinity;
  let right = -Infinity;
  let bottom = -Infinity;
  for (const rect of rects) {
    const b = rotatedBounds(rect, rect.rotation);
    left = Math.min(left, b.x);
    top = Math.min(top, b.y);
    right = Math.max(right, b.x + b.width);
    bottom = Math.max(bottom, b.y + b.height);
  }
  return { x: left, y: top, width: right - left, height: bottom - top };
}

/** Ids, in element-list order, of the elements whose drawn bounds overlap `box`. */
export function marqueeHits(elements: readonly SchemeElement[], box: Rect): string[] {
  const hits: string[] = [];
  for (const element of elements) {
    const b = rotatedBounds(element, element.rotation);
    if (
      b.x < box.x + box.width &&
      b.x + b.width > box.x &&
      b.y < box.y + box.height &&
      b.y + b.height > box.y
    ) {
      hits.push(element.id);
    }
  }
  return hits;
}

/** Handles shown on a box: only the two ends of a straight horizontal or vertical pipe. */
export function handlesFor(box: Rect): readonly HandleName[] {
  if (box.height === 0) return ['w', 'e'];
  if (box.width === 0) return ['n', 's'];
  return HANDLE_NAMES;
}

/** Cursor of a handle on a box turned by `rotation` degrees. */
export function handleCursor(name: HandleName, rotation?: number): string {
  const k = Math.floor(angleOf(rotation) / 45 + 0.5);
  const index = (((HANDLE_NAMES.indexOf(name) + k) % 8) + 8) % 8;
  return CURSORS[HANDLE_NAMES[index]];
}
