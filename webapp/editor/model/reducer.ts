// The editor's transition function. Every command returns the very state it
// was given when it changes nothing, copies only the elements it changes, and
// records the scheme it replaces in the undo history.

import type { Scheme, SchemeElement, SchemeSize } from '../../scheme';
import { alignElements, reorderElements, rotateElements } from './arrange';
import { BUFFER_MESSAGES, parseElementBuffer, serializeElementBuffer } from './buffer';
import { MIN_ELEMENT_SIZE, MIN_SCHEME_SIZE, ZOOM_MAX, ZOOM_MIN } from './constants';
import {
  applyPatch,
  moveElementTo,
  reassignIds,
  resizeElementTo,
  type ElementPatch,
  type Rect,
} from './elements';
import { insertElementVertex, moveElementVertex, removeElementVertex } from './polyline';
import { schemeSlug } from './schemes';
import type { EditorAction, EditorState, ElementPosition } from './state';

function isFiniteNumber(value: unknown): value is number {
  return typeof value === 'number' && Number.isFinite(value);
}

/** The state with `newScheme` current, the previous scheme appended to `past` and `future` emptied. */
export function pushHistory(state: EditorState, newScheme: Scheme): EditorState {
  return {
    ...state,
    scheme: newScheme,
    past: [...state.past, state.scheme],
    future: state.future.length === 0 ? state.future : [],
  };
}

function withElements(scheme: Scheme, elements: readonly SchemeElement[]): Scheme {
  return elements === scheme.elements
    ? scheme
    : { ...scheme, elements: elements as SchemeElement[] };
}

/** Applies `change` to each element; the scheme is kept when no element changed. */
function mapElements(scheme: Scheme, change: (element: SchemeElement) => SchemeElement): Scheme {
  let changed = false;
  const elements = scheme.elements.map((element) => {
    const next = change(element);
    changed ||= next !== element;
    return next;
  });
  return changed ? { ...scheme, elements } : scheme;
}

function mapListed(
  scheme: Scheme,
  ids: readonly string[],
  change: (element: SchemeElement) => SchemeElement,
): Scheme {
  const listed = new Set(ids);
  return mapElements(scheme, (element) => (listed.has(element.id) ? change(element) : element));
}

function sameIds(a: readonly string[], b: readonly string[]): boolean {
  return a.length === b.length && a.every((id, index) => id === b[index]);
}

function withSelection(state: EditorState, selectedIds: readonly string[]): EditorState {
  return sameIds(selectedIds, state.selectedIds) ? state : { ...state, selectedIds };
}

function noSelection(state: EditorState): readonly string[] {
  return state.selectedIds.length === 0 ? state.selectedIds : [];
}

function withClipboardError(state: EditorState, message: string): EditorState {
  return state.clipboardError === message ? state : { ...state, clipboardError: message };
}

function add(state: EditorState, element: SchemeElement): EditorState {
  const { scheme } = state;
  const taken = new Set(scheme.elements.map((e) => e.id));
  const added = taken.has(element.id) ? reassignIds([element], taken)[0] : element;
  return {
    ...pushHistory(state, { ...scheme, elements: [...scheme.elements, added] }),
    selectedIds: [added.id],
  };
}

function select(state: EditorState, ids: readonly string[], additive: boolean): EditorState {
  if (!additive) {
    return withSelection(state, [...ids]);
  }
  let next = [...state.selectedIds];
  for (const id of ids) {
    // A selection given with an id twice loses every copy of it, so that a
    // toggled element is no longer selected.
    next = next.includes(id) ? next.filter((selected) => selected !== id) : [...next, id];
  }
  return withSelection(state, next);
}

function update(state: EditorState, id: string, patch: ElementPatch): EditorState {
  return pushHistory(
    state,
    mapElements(state.scheme, (element) =>
      element.id === id ? applyPatch(element, patch) : element,
    ),
  );
}

function moveTo(state: EditorState, positions: readonly ElementPosition[]): EditorState {
  // The later of two entries for one id counts; a position that is not a
  // finite number cannot be drawn and is ignored.
  const targets = new Map<string, ElementPosition>();
  for (const position of positions) {
    if (isFiniteNumber(position.x) && isFiniteNumber(position.y)) {
      targets.set(position.id, position);
    }
  }
  const scheme = mapElements(state.scheme, (element) => {
    const target = targets.get(element.id);
    return target === undefined ? element : moveElementTo(element, target.x, target.y);
  });
  return scheme === state.scheme ? state : pushHistory(state, scheme);
}

/** One element changed by `change`; the same state when it is missing or unchanged. */
function changeElement(
  state: EditorState,
  id: string,
  change: (element: SchemeElement) => SchemeElement,
): EditorState {
  const scheme = mapElements(state.scheme, (e) => (e.id === id ? change(e) : e));
  return scheme === state.scheme ? state : pushHistory(state, scheme);
}

function normaliseSide(value: number): number {
  return value === 0 ? 0 : Math.max(MIN_ELEMENT_SIZE, value);
}

function resizeTo(state: EditorState, id: string, rect: Rect): EditorState {
  if (![rect.x, rect.y, rect.width, rect.height].every(isFiniteNumber)) {
    return state;
  }
  const box: Rect = {
    x: rect.x,
    y: rect.y,
    width: normaliseSide(rect.width),
    height: normaliseSide(rect.height),
  };
  const element = state.scheme.elements.find((e) => e.id === id);
  if (
    element === undefined ||
    (element.x === box.x &&
      element.y === box.y &&
      element.width === box.width &&
      element.height === box.height)
  ) {
    return state;
  }
  return pushHistory(
    state,
    mapElements(state.scheme, (e) => (e === element ? resizeElementTo(e, box) : e)),
  );
}

function nudge(state: EditorState, ids: readonly string[], dx: number, dy: number): EditorState {
  if (ids.length === 0 || (dx === 0 && dy === 0) || !isFiniteNumber(dx) || !isFiniteNumber(dy)) {
    return state;
  }
  return pushHistory(
    state,
    mapListed(state.scheme, ids, (e) => moveElementTo(e, e.x + dx, e.y + dy)),
  );
}

function remove(state: EditorState, ids: readonly string[]): EditorState {
  if (ids.length === 0) {
    return state;
  }
  const removed = new Set(ids);
  const elements = state.scheme.elements.filter((e) => !removed.has(e.id));
  const scheme =
    elements.length === state.scheme.elements.length
      ? state.scheme
      : withElements(state.scheme, elements);
  const selectedIds = state.selectedIds.filter((id) => !removed.has(id));
  return {
    ...pushHistory(state, scheme),
    selectedIds: selectedIds.length === state.selectedIds.length ? state.selectedIds : selectedIds,
  };
}

function copy(state: EditorState): EditorState {
  const selected = new Set(state.selectedIds);
  const elements = state.scheme.elements.filter((e) => selected.has(e.id));
  if (elements.length === 0) {
    return state;
  }
  let json: string;
  try {
    json = serializeElementBuffer(elements);
  } catch {
    // Only a loaded document nested too deep for the JSON writer gets here;
    // the earlier copy stays.
    return state;
  }
  if (state.clipboard?.json === json && state.clipboardError === undefined) {
    return state;
  }
  return { ...state, clipboard: { json }, clipboardError: undefined };
}

function paste(state: EditorState, json: unknown): EditorState {
  if (typeof json !== 'string' || json === '') {
    return withClipboardError(state, BUFFER_MESSAGES.empty);
  }
  const result = parseElementBuffer(json);
  if (!result.ok) {
    return withClipboardError(state, result.message || BUFFER_MESSAGES.failed);
  }
  if (result.elements.length === 0) {
    return withClipboardError(state, BUFFER_MESSAGES.empty);
  }
  // Pasting one text again steps further away from the stored positions; a
  // different text starts again at one grid step.
  const offset =
    state.lastPaste !== undefined && state.lastPaste.json === json
      ? state.lastPaste.offset + state.gridSize
      : state.gridSize;
  const taken = state.scheme.elements.map((e) => e.id);
  const pasted = reassignIds(result.elements, taken).map((e) =>
    moveElementTo(e, e.x + offset, e.y + offset),
  );
  return {
    ...pushHistory(state, withElements(state.scheme, [...state.scheme.elements, ...pasted])),
    selectedIds: pasted.map((e) => e.id),
    lastPaste: { json, offset },
    clipboardError: undefined,
  };
}

function setSchemeSize(state: EditorState, size: SchemeSize): EditorState {
  const current = state.scheme.size;
  const side = (value: unknown, old: number): number =>
    isFiniteNumber(value) ? Math.max(MIN_SCHEME_SIZE, value) : old;
  const width = side(size.width, current.width);
  const height = side(size.height, current.height);
  if (width === current.width && height === current.height) {
    return state;
  }
  return pushHistory(state, { ...state.scheme, size: { width, height } });
}

function setGrid(state: EditorState, gridSize: number): EditorState {
  if (!isFiniteNumber(gridSize)) {
    return state;
  }
  const next = Math.max(1, gridSize);
  return next === state.gridSize ? state : { ...state, gridSize: next };
}

function setZoom(state: EditorState, zoom: number): EditorState {
  if (!isFiniteNumber(zoom)) {
    return state;
  }
  const next = Math.min(ZOOM_MAX, Math.max(ZOOM_MIN, zoom));
  return next === state.zoom ? state : { ...state, zoom: next };
}

function setSchemeName(state: EditorState, name: string): EditorState {
  if (typeof name !== 'string' || name === state.scheme.name) {
    return state;
  }
  const id = state.idFollowsName ? schemeSlug(name) : state.scheme.id;
  return pushHistory(state, { ...state.scheme, name, id });
}

function setSchemeId(state: EditorState, id: string): EditorState {
  if (typeof id !== 'string' || id === state.scheme.id) {
    return state;
  }
  const next = pushHistory(state, { ...state.scheme, id });
  return next.idFollowsName ? { ...next, idFollowsName: undefined } : next;
}

function undo(state: EditorState): EditorState {
  if (state.past.length === 0) {
    return state;
  }
  return {
    ...state,
    scheme: state.past[state.past.length - 1],
    past: state.past.slice(0, -1),
    future: [state.scheme, ...state.future],
    selectedIds: noSelection(state),
    clipboardError: undefined,
  };
}

function redo(state: EditorState): EditorState {
  if (state.future.length === 0) {
    return state;
  }
  return {
    ...state,
    scheme: state.future[0],
    past: [...state.past, state.scheme],
    future: state.future.slice(1),
    selectedIds: noSelection(state),
    clipboardError: undefined,
  };
}

export function editorReducer(state: EditorState, action: EditorAction): EditorState {
  switch (action.type) {
    case 'add':
      return add(state, action.element);
    case 'select':
      return select(state, action.ids, action.additive === true);
    case 'update':
      return update(state, action.id, action.patch);
    case 'updateMany':
      return action.ids.length === 0
        ? state
        : pushHistory(
            state,
            mapListed(state.scheme, action.ids, (e) => applyPatch(e, action.patch)),
          );
    case 'moveTo':
      return moveTo(state, action.positions);
    case 'resizeTo':
      return resizeTo(state, action.id, action.rect);
    case 'moveVertex':
      return changeElement(state, action.id, (e) => moveElementVertex(e, action.index, action));
    case 'insertVertex':
      return changeElement(state, action.id, (e) => insertElementVertex(e, action.index, action));
    case 'removeVertex':
      return changeElement(state, action.id, (e) => removeElementVertex(e, action.index));
    case 'nudge':
      return nudge(state, action.ids, action.dx, action.dy);
    case 'align': {
      const elements = alignElements(state.scheme.elements, action.ids, action.mode);
      return elements === undefined
        ? state
        : pushHistory(state, withElements(state.scheme, elements));
    }
    case 'reorder': {
      if (action.ids.length === 0) {
        return state;
      }
      const elements = reorderElements(state.scheme.elements, action.ids, action.mode);
      return elements === state.scheme.elements
        ? state
        : pushHistory(state, withElements(state.scheme, elements));
    }
    case 'rotate':
      return action.ids.length === 0
        ? state
        : pushHistory(
            state,
            withElements(
              state.scheme,
              rotateElements(state.scheme.elements, action.ids, action.direction),
            ),
          );
    case 'remove':
      return remove(state, action.ids);
    case 'copy':
      return copy(state);
    case 'paste':
      // The text comes from outside; whatever it holds, a refused paste only
      // sets the message.
      try {
        return paste(state, action.json);
      } catch {
        return withClipboardError(state, BUFFER_MESSAGES.failed);
      }
    case 'setSchemeSize':
      return setSchemeSize(state, action.size);
    case 'setSchemeName':
      return setSchemeName(state, action.name);
    case 'setSchemeId':
      return setSchemeId(state, action.id);
    case 'setGrid':
      return setGrid(state, action.gridSize);
    case 'toggleSnap':
      return { ...state, snapEnabled: !state.snapEnabled };
    case 'setZoom':
      return setZoom(state, action.zoom);
    case 'loadScheme':
      // A loaded file brings an id of its own, which no longer follows the name.
      return {
        ...pushHistory(state, action.scheme),
        selectedIds: noSelection(state),
        clipboardError: undefined,
        idFollowsName: undefined,
      };
    case 'undo':
      return undo(state);
    case 'redo':
      return redo(state);
    default: {
      const never: never = action;
      void never;
      return state;
    }
  }
}
