// Geometry of single elements. Every operation returns the element it was
// given when nothing changes, so that unchanged elements keep their identity
// across commands and history snapshots.

import type { ElementStyle, SchemeElement } from '../../scheme';

/** Fields an edit may set on an element; the id is never patched. */
export type ElementPatch = Partial<Omit<SchemeElement, 'id' | 'style'>> & {
  style?: ElementStyle;
};

export interface Rect {
  x: number;
  y: number;
  width: number;
  height: number;
}

export function moveElementTo(element: SchemeElement, x: number, y: number): SchemeElement {
  const dx = x - element.x;
  const dy = y - element.y;
  if (dx === 0 && dy === 0) {
    return element;
  }
  const moved: SchemeElement = { ...element, x, y };
  if (element.type === 'polyline' && Array.isArray(element.points)) {
    moved.points = element.points.map((value, index) => value + (index % 2 === 0 ? dx : dy));
  }
  return moved;
}

function sameStyle(style: ElementStyle, patch: ElementStyle): boolean {
  return (Object.keys(patch) as (keyof ElementStyle)[]).every(
    (key) => Object.prototype.hasOwnProperty.call(style, key) && Object.is(style[key], patch[key]),
  );
}

function patchChangesNothing(element: SchemeElement, patch: ElementPatch): boolean {
  return Object.keys(patch).every((key) => {
    if (key === 'id') {
      return true;
    }
    if (key === 'style') {
      return patch.style === undefined || sameStyle(element.style, patch.style);
    }
    return (
      Object.prototype.hasOwnProperty.call(element, key) &&
      Object.is(element[key as keyof SchemeElement], patch[key as keyof ElementPatch])
    );
  });
}

/**
 * Moves the element to the patch's position (a polyline's points move along),
 * then lays the patch over it. The style is merged property by property; every
 * other field is replaced whole. A new width or height does not scale points.
 */
export function applyPatch(element: SchemeElement, patch: ElementPatch): SchemeElement {
  if (patchChangesNothing(element, patch)) {
    return element;
  }
  const moved = moveElementTo(element, patch.x ?? element.x, patch.y ?? element.y);
  // Spreading defines own properties, so no key of the patch can reach a
  // prototype; fields already present keep their place in the record.
  return {
    ...moved,
    ...patch,
    id: element.id,
    x: moved.x,
    y: moved.y,
    style: patch.style === undefined ? element.style : { ...element.style, ...patch.style },
  };
}

/**
 * Gives the element the rect's box. A polyline's points are mapped into the
 * new box; an axis of zero extent keeps its offsets (factor 1).
 */
export function resizeElementTo(element: SchemeElement, rect: Rect): SchemeElement {
  const resized: SchemeElement = {
    ...element,
    x: rect.x,
    y: rect.y,
    width: rect.width,
    height: rect.height,
  };
  if (element.type === 'polyline' && Array.isArray(element.points)) {
    const sx = element.width === 0 ? 1 : rect.width / element.width;
    const sy = element.height === 0 ? 1 : rect.height / element.height;
    resized.points = element.points.map((value, index) =>
      index % 2 === 0 ? rect.x + (value - element.x) * sx : rect.y + (value - element.y) * sy,
    );
  }
  return resized;
}

const ID_PREFIX = 'el-';

/**
 * Copies of the elements with fresh ids "el-N": N is the smallest number
 * that is neither taken nor given to an earlier element of the list, and it
 * only rises within one call.
 */
export function reassignIds(
  elements: readonly SchemeElement[],
  takenIds: Iterable<string>,
): SchemeElement[] {
  const taken = new Set(takenIds);
  let counter = 0;
  return elements.map((element) => {
    do {
      counter += 1;
    } while (taken.has(`${ID_PREFIX}${counter}`));
    return { ...element, id: `${ID_PREFIX}${counter}` };
  });
}

/** Nearest multiple of the step; halves go up. */
export function snapToGrid(value: number, step: number): number {
  return Math.round(value / step) * step;
}
