// Small schemes and states for the editor's tests.

import type { Scheme, SchemeElement } from '../../scheme';
import { createEditorState, type EditorState } from './state';

export function rect(
  id: string,
  x = 0,
  y = 0,
  width = 20,
  height = 10,
  extra: Partial<SchemeElement> = {},
): SchemeElement {
  return { id, type: 'rect', x, y, width, height, style: { fill: '#cccccc' }, ...extra };
}

/** A polyline whose box is the bounding box of its points. */
export function pipe(id: string, points: number[]): SchemeElement {
  const xs = points.filter((_, index) => index % 2 === 0);
  const ys = points.filter((_, index) => index % 2 === 1);
  const x = Math.min(...xs);
  const y = Math.min(...ys);
  return {
    id,
    type: 'polyline',
    points,
    x,
    y,
    width: Math.max(...xs) - x,
    height: Math.max(...ys) - y,
    style: { stroke: '#4a8f4a', strokeWidth: 4 },
  };
}

export function makeScheme(elements: SchemeElement[]): Scheme {
  return {
    schemaVersion: 1,
    id: 'test',
    name: 'Test',
    size: { width: 400, height: 300 },
    elements,
  };
}

export function makeState(
  elements: SchemeElement[],
  overrides: Partial<EditorState> = {},
): EditorState {
  return deepFreeze({ ...createEditorState(makeScheme(elements)), ...overrides });
}

/** Freezes the value and everything reachable from it, so that any write throws. */
export function deepFreeze<T>(value: T): T {
  if (typeof value === 'object' && value !== null && !Object.isFrozen(value)) {
    Object.freeze(value);
    for (const key of Object.keys(value)) {
      deepFreeze((value as Record<string, unknown>)[key]);
    }
  }
  return value;
}

export function ids(state: EditorState): string[] {
  return state.scheme.elements.map((element) => element.id);
}
