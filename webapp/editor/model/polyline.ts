// Vertices of a polyline (a pipe). The points are absolute scheme coordinates
// and the box (x, y, width, height) is their bounding box. A turned polyline
// is drawn turned about the centre of its box, so an edit that changes the box
// would also move every other vertex on the screen: the edited points are
// shifted so that the untouched vertices stay where they are drawn.

import type { SchemeElement } from '../../scheme';
import { snapToGrid, type Rect } from './elements';
import { createPipe } from './factories';

export interface Point {
  x: number;
  y: number;
}

export interface VertexSnap {
  enabled: boolean;
  grid: number;
}

/** The smallest number of vertices a polyline keeps. */
export const MIN_VERTICES = 2;

/** The vertices of a flat point list; a trailing odd number is dropped. */
export function vertexList(points: readonly number[]): Point[] {
  const vertices: Point[] = [];
  for (let i = 0; i + 1 < points.length; i += 2) vertices.push({ x: points[i], y: points[i + 1] });
  return vertices;
}

export function flattenVertices(vertices: readonly Point[]): number[] {
  return vertices.flatMap((vertex) => [vertex.x, vertex.y]);
}

/** The bounding box of the points; an empty list gives an empty box at the origin. */
export function pointsBounds(points: readonly number[]): Rect {
  const vertices = vertexList(points);
  if (vertices.length === 0) return { x: 0, y: 0, width: 0, height: 0 };
  let left = Infinity;
  let top = Infinity;
  let right = -Infinity;
  let bottom = -Infinity;
  for (const { x, y } of vertices) {
    left = Math.min(left, x);
    right = Math.max(right, x);
    top = Math.min(top, y);
    bottom = Math.max(bottom, y);
  }
  return { x: left, y: top, width: right - left, height: bottom - top };
}

/** How many different places the vertices take. */
export function distinctVertexCount(vertices: readonly Point[]): number {
  return new Set(vertices.map(({ x, y }) => `${x},${y}`)).size;
}

function isFinitePoint(p: Point): boolean {
  return Number.isFinite(p.x) && Number.isFinite(p.y);
}

/**
 * Where a click at `p` puts the next vertex: on the grid while snapping is on,
 * and with `orthogonal` (Shift) on the horizontal or vertical through the
 * previous vertex, whichever is nearer to the pointer's direction.
 */
export function placeVertex(
  p: Point,
  previous: Point | undefined,
  snap: VertexSnap,
  orthogonal: boolean,
): Point {
  const snapped =
    snap.enabled && snap.grid > 0
      ? { x: snapToGrid(p.x, snap.grid), y: snapToGrid(p.y, snap.grid) }
      : { x: p.x, y: p.y };
  if (!orthogonal || previous === undefined) return snapped;
  return Math.abs(snapped.x - previous.x) >= Math.abs(snapped.y - previous.y)
    ? { x: snapped.x, y: previous.y }
    : { x: previous.x, y: snapped.y };
}

/**
 * The vertices with `p` appended, or the very same list when `p` lies within
 * `minDistance` of the last vertex: a second click in one place (the second
 * half of a double click) leaves no zero-length segment.
 */
export function appendVertex(
  vertices: readonly Point[],
  p: Point,
  minDistance = 0,
): readonly Point[] {
  const last = vertices[vertices.length - 1];
  if (!isFinitePoint(p)) return vertices;
  if (last !== undefined && Math.hypot(p.x - last.x, p.y - last.y) <= minDistance) return vertices;
  return [...vertices, { x: p.x, y: p.y }];
}

function distanceToSegment(p: Point, a: Point, b: Point): number {
  const dx = b.x - a.x;
  const dy = b.y - a.y;
  const length2 = dx * dx + dy * dy;
  const t =
    length2 === 0 ? 0 : Math.min(1, Math.max(0, ((p.x - a.x) * dx + (p.y - a.y) * dy) / length2));
  return Math.hypot(p.x - (a.x + t * dx), p.y - (a.y + t * dy));
}

/**
 * The segment nearest to `p`: `index` is its first vertex, so a vertex put on
 * it becomes vertex `index` + 1. The first of equally near segments wins.
 */
export function nearestSegment(
  vertices: readonly Point[],
  p: Point,
): { index: number; distance: number } | undefined {
  let best: { index: number; distance: number } | undefined;
  for (let i = 0; i + 1 < vertices.length; i += 1) {
    const distance = distanceToSegment(p, vertices[i], vertices[i + 1]);
    if (best === undefined || distance < best.distance) best = { index: i, distance };
  }
  return best;
}

function isVertexIndex(points: readonly number[], index: number): boolean {
  return Number.isInteger(index) && index >= 0 && index < Math.floor(points.length / 2);
}

/** The points with vertex `index` at `p`; the very same list when nothing changes. */
export function moveVertex(points: readonly number[], index: number, p: Point): readonly number[] {
  if (!isVertexIndex(points, index) || !isFinitePoint(p)) return points;
  if (points[2 * index] === p.x && points[2 * index + 1] === p.y) return points;
  const next = [...points];
  next[2 * index] = p.x;
  next[2 * index + 1] = p.y;
  return next;
}

/**
 * The points with a new vertex `index` at `p`, between the vertices `index` − 1
 * and `index`. The very same list when there is no such segment, or when `p`
 * is one of its ends (a zero-length segment draws nothing).
 */
export function insertVertex(
  points: readonly number[],
  index: number,
  p: Point,
): readonly number[] {
  const vertices = vertexList(points);
  if (!Number.isInteger(index) || index < 1 || index >= vertices.length || !isFinitePoint(p)) {
    return points;
  }
  const same = (v: Point) => v.x === p.x && v.y === p.y;
  if (same(vertices[index - 1]) || same(vertices[index])) return points;
  return [...points.slice(0, 2 * index), p.x, p.y, ...points.slice(2 * index)];
}

/** The points with `p` put on the segment nearest to it, and the new vertex's index. */
export function insertVertexNear(
  points: readonly number[],
  p: Point,
): { points: readonly number[]; index: number } | undefined {
  const segment = nearestSegment(vertexList(points), p);
  if (segment === undefined) return undefined;
  const index = segment.index + 1;
  const next = insertVertex(points, index, p);
  return next === points ? undefined : { points: next, index };
}

/** The points without vertex `index`; the very same list when only two vertices are left. */
export function removeVertex(points: readonly number[], index: number): readonly number[] {
  if (!isVertexIndex(points, index) || Math.floor(points.length / 2) <= MIN_VERTICES) {
    return points;
  }
  return [...points.slice(0, 2 * index), ...points.slice(2 * index + 2)];
}

// Element level: the points and the box together, with the element's turn.

/** Rounds to six decimal places: turned coordinates carry the sine's noise. */
function round6(value: number): number {
  return Math.round(value * 1e6) / 1e6;
}

function rotationOf(element: SchemeElement): number {
  const angle = element.rotation;
  return angle !== undefined && Number.isFinite(angle) ? angle : 0;
}

function turn(p: Point, c: Point, angle: number): Point {
  const a = (angle * Math.PI) / 180;
  const cos = Math.cos(a);
  const sin = Math.sin(a);
  const dx = p.x - c.x;
  const dy = p.y - c.y;
  return { x: c.x + dx * cos - dy * sin, y: c.y + dx * sin + dy * cos };
}

function centreOf(box: Rect): Point {
  return { x: box.x + box.width / 2, y: box.y + box.height / 2 };
}

function pointsOf(element: SchemeElement): readonly number[] | undefined {
  return element.type === 'polyline' && Array.isArray(element.points) ? element.points : undefined;
}

/** The vertices where the canvas draws them: turned with the element about its box's centre. */
export function drawnVertices(element: SchemeElement): Point[] {
  const vertices = vertexList(pointsOf(element) ?? []);
  const angle = rotationOf(element);
  if (angle === 0) return vertices;
  const centre = centreOf(element);
  return vertices.map((vertex) => {
    const p = turn(vertex, centre, angle);
    return { x: round6(p.x), y: round6(p.y) };
  });
}

/** The point of the element's own (unturned) frame that is drawn at `p`. */
export function toElementFrame(element: SchemeElement, p: Point): Point {
  const angle = rotationOf(element);
  if (angle === 0) return p;
  const local = turn(p, centreOf(element), -angle);
  return { x: round6(local.x), y: round6(local.y) };
}

/**
 * The polyline with new points and their bounding box as its box. When it is
 * turned, the points are shifted so that each of them is drawn where it would
 * be drawn about the old centre: vertices an edit keeps stay in place.
 */
export function withPoints(element: SchemeElement, points: readonly number[]): SchemeElement {
  const angle = rotationOf(element);
  let next = [...points];
  if (angle !== 0) {
    // Drawn about the new centre c′, a point q + t lands on turn(q, c) when
    // t = turn(c′, c) − c′, the same shift for every point.
    const from = centreOf(element);
    const to = centreOf(pointsBounds(points));
    const turned = turn(to, from, angle);
    const tx = turned.x - to.x;
    const ty = turned.y - to.y;
    next = next.map((value, index) => round6(value + (index % 2 === 0 ? tx : ty)));
  }
  const box = pointsBounds(next);
  return {
    ...element,
    points: next,
    x: box.x,
    y: box.y,
    width: angle === 0 ? box.width : round6(box.width),
    height: angle === 0 ? box.height : round6(box.height),
  };
}

function editPoints(
  element: SchemeElement,
  edit: (points: readonly number[]) => readonly number[],
): SchemeElement {
  const points = pointsOf(element);
  if (points === undefined) return element;
  const next = edit(points);
  return next === points ? element : withPoints(element, next);
}

/** The polyline with vertex `index` drawn at `p`; the same element when nothing changes. */
export function moveElementVertex(element: SchemeElement, index: number, p: Point): SchemeElement {
  if (!isFinitePoint(p)) return element;
  return editPoints(element, (points) => moveVertex(points, index, toElementFrame(element, p)));
}

/** The polyline with a new vertex `index` drawn at `p`; the same element when there is no such place. */
export function insertElementVertex(
  element: SchemeElement,
  index: number,
  p: Point,
): SchemeElement {
  if (!isFinitePoint(p)) return element;
  return editPoints(element, (points) => insertVertex(points, index, toElementFrame(element, p)));
}

/** The polyline without vertex `index`; the same element when it has only two. */
export function removeElementVertex(element: SchemeElement, index: number): SchemeElement {
  return editPoints(element, (points) => removeVertex(points, index));
}

/**
 * A pipe through the vertices, made like the palette's pipe (same id counter,
 * style and flow), or nothing for fewer than two different vertices.
 */
export function createPipeThrough(vertices: readonly Point[]): SchemeElement | undefined {
  if (distinctVertexCount(vertices) < MIN_VERTICES) return undefined;
  const points = flattenVertices(vertices);
  const box = pointsBounds(points);
  // Spreading over the factory's record keeps its field order.
  return { ...createPipe(box.x, box.y), points, ...box };
}
