// Arrangement of several elements: alignment, even distribution, drawing
// order and rotation steps. Each function works on the element list and
// returns the very same list when nothing moves.

import type { SchemeElement } from '../../scheme';
import { ROTATION_STEP } from './constants';
import { moveElementTo } from './elements';

export type AlignMode =
  'left' | 'hcenter' | 'right' | 'top' | 'vcenter' | 'bottom' | 'hdistribute' | 'vdistribute';

export type ReorderMode = 'front' | 'back' | 'forward' | 'backward';

const ALIGN_MODES: ReadonlySet<string> = new Set<AlignMode>([
  'left',
  'hcenter',
  'right',
  'top',
  'vcenter',
  'bottom',
  'hdistribute',
  'vdistribute',
]);

/** 1 turns clockwise, -1 counter-clockwise. */
export type RotationDirection = 1 | -1;

/** Replaces elements by id; the list itself is kept when no element changed. */
function replaceElements(
  elements: readonly SchemeElement[],
  replacements: ReadonlyMap<string, SchemeElement>,
): readonly SchemeElement[] {
  let changed = false;
  const next = elements.map((element) => {
    const replacement = replacements.get(element.id);
    if (replacement === undefined || replacement === element) {
      return element;
    }
    changed = true;
    return replacement;
  });
  return changed ? next : elements;
}

function listedElements(
  elements: readonly SchemeElement[],
  ids: readonly string[],
): SchemeElement[] {
  const listed = new Set(ids);
  return elements.filter((element) => listed.has(element.id));
}

/** The number of listed elements an alignment mode needs before it does anything. */
export function alignMinimum(mode: AlignMode): number {
  return mode === 'hdistribute' || mode === 'vdistribute' ? 3 : 2;
}

function alignTargets(
  mode: AlignMode,
  items: readonly SchemeElement[],
): Map<string, SchemeElement> {
  const moves = new Map<string, SchemeElement>();
  // Plain loops: spreading a large selection into Math.min would overflow
  // the argument limit.
  let minX = Infinity;
  let maxRight = -Infinity;
  let minY = Infinity;
  let maxBottom = -Infinity;
  for (const e of items) {
    minX = Math.min(minX, e.x);
    maxRight = Math.max(maxRight, e.x + e.width);
    minY = Math.min(minY, e.y);
    maxBottom = Math.max(maxBottom, e.y + e.height);
  }
  for (const e of items) {
    let moved: SchemeElement;
    switch (mode) {
      case 'left':
        moved = moveElementTo(e, minX, e.y);
        break;
      case 'hcenter':
        moved = moveElementTo(e, (minX + maxRight) / 2 - e.width / 2, e.y);
        break;
      case 'right':
        moved = moveElementTo(e, maxRight - e.width, e.y);
        break;
      case 'top':
        moved = moveElementTo(e, e.x, minY);
        break;
      case 'vcenter':
        moved = moveElementTo(e, e.x, (minY + maxBottom) / 2 - e.height / 2);
        break;
      case 'bottom':
        moved = moveElementTo(e, e.x, maxBottom - e.height);
        break;
      case 'hdistribute':
      case 'vdistribute':
        return distributeTargets(mode === 'hdistribute' ? 'x' : 'y', items);
      default:
        // Not a mode of this editor: nothing moves.
        return new Map();
    }
    moves.set(e.id, moved);
  }
  return moves;
}

/** Spaces the top-left corners evenly between the first and the last on one axis. */
function distributeTargets(
  axis: 'x' | 'y',
  items: readonly SchemeElement[],
): Map<string, SchemeElement> {
  // Array.prototype.sort is stable, so equal coordinates keep list order.
  const sorted = [...items].sort((a, b) => a[axis] - b[axis]);
  const first = sorted[0][axis];
  const step = (sorted[sorted.length - 1][axis] - first) / (sorted.length - 1);
  const moves = new Map<string, SchemeElement>();
  sorted.forEach((e, k) => {
    const value = first + step * k;
    moves.set(e.id, axis === 'x' ? moveElementTo(e, value, e.y) : moveElementTo(e, e.x, value));
  });
  return moves;
}

/**
 * Aligns or distributes the listed elements. Returns undefined for a mode it
 * does not know and when too few of them are in the list for the mode to apply.
 */
export function alignElements(
  elements: readonly SchemeElement[],
  ids: readonly string[],
  mode: AlignMode,
): readonly SchemeElement[] | undefined {
  const items = listedElements(elements, ids);
  if (!ALIGN_MODES.has(mode) || items.length < alignMinimum(mode)) {
    return undefined;
  }
  return replaceElements(elements, alignTargets(mode, items));
}

/** The element list in its new drawing order (the last element is drawn on top). */
export function reorderElements(
  elements: readonly SchemeElement[],
  ids: readonly string[],
  mode: ReorderMode,
): readonly SchemeElement[] {
  const listed = new Set(ids);
  const isListed = (element: SchemeElement): boolean => listed.has(element.id);
  let next: SchemeElement[];
  switch (mode) {
    case 'front':
      next = [...elements.filter((e) => !isListed(e)), ...elements.filter(isListed)];
      break;
    case 'back':
      next = [...elements.filter(isListed), ...elements.filter((e) => !isListed(e))];
      break;
    case 'forward':
      next = [...elements];
      for (let i = next.length - 1; i >= 0; i -= 1) {
        if (isListed(next[i]) && i + 1 < next.length && !isListed(next[i + 1])) {
          [next[i], next[i + 1]] = [next[i + 1], next[i]];
        }
      }
      break;
    case 'backward':
      next = [...elements];
      for (let i = 0; i < next.length; i += 1) {
        if (isListed(next[i]) && i > 0 && !isListed(next[i - 1])) {
          [next[i], next[i - 1]] = [next[i - 1], next[i]];
        }
      }
      break;
    default:
      // Not a mode of this editor: the order stays.
      return elements;
  }
  return next.every((element, index) => element === elements[index]) ? elements : next;
}

/** The next multiple of the rotation step in the direction, brought into [0, 360). */
export function rotateAngle(rotation: number, direction: RotationDirection): number {
  const turned =
    direction > 0
      ? Math.floor(rotation / ROTATION_STEP) * ROTATION_STEP + ROTATION_STEP
      : Math.ceil(rotation / ROTATION_STEP) * ROTATION_STEP - ROTATION_STEP;
  return ((turned % 360) + 360) % 360;
}

export function rotateElements(
  elements: readonly SchemeElement[],
  ids: readonly string[],
  direction: RotationDirection,
): readonly SchemeElement[] {
  const turns = new Map<string, SchemeElement>();
  for (const e of listedElements(elements, ids)) {
    // A rotation that is not a finite number (possible in pasted or loaded
    // documents, which do not check it) counts as none.
    const current = typeof e.rotation === 'number' && Number.isFinite(e.rotation) ? e.rotation : 0;
    turns.set(e.id, { ...e, rotation: rotateAngle(current, direction) });
  }
  return replaceElements(elements, turns);
}
