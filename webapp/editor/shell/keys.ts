// The editor's keyboard shortcuts, one table tried in order at the editor
// root. Keys typed into a text entry stay with it, so Backspace edits a field
// and Ctrl+A selects the field's text instead of the scheme.

import type { Dispatch } from 'react';
import type { EditorAction, EditorState } from '../model';

/** Direction of each arrow key in scheme units, before the step factor. */
export const arrowSteps: Readonly<Record<string, readonly [number, number]>> = {
  ArrowLeft: [-1, 0],
  ArrowRight: [1, 0],
  ArrowUp: [0, -1],
  ArrowDown: [0, 1],
};

/** Whether typing into the target edits text: an input, a text area, a select or editable content. */
export function isTextEntryTarget(target: EventTarget | null): boolean {
  if (typeof Element === 'undefined' || !(target instanceof Element)) return false;
  const tag = target.tagName.toLowerCase();
  if (tag === 'input' || tag === 'textarea' || tag === 'select') return true;
  if (!(target instanceof HTMLElement)) return false;
  if (typeof target.isContentEditable === 'boolean') return target.isContentEditable;
  // Engines without the property: the nearest element that says decides.
  const holder = target.closest('[contenteditable]');
  return holder !== null && holder.getAttribute('contenteditable') !== 'false';
}

/** The parts of a key event the shortcuts look at. */
export interface EditorKeyEvent {
  key: string;
  /** The key's place on the keyboard ("KeyZ"), whatever the layout. */
  code?: string;
  ctrlKey: boolean;
  metaKey: boolean;
  shiftKey: boolean;
  target: EventTarget | null;
  preventDefault(): void;
}

/**
 * The key as the table compares it: a letter in lower case. A letter of
 * another alphabet (Ctrl+Я with a Russian layout) stands for the Latin letter
 * at its place, so the shortcuts work in every layout.
 */
function shortcutKey(event: Pick<EditorKeyEvent, 'key' | 'code'>): string {
  if (event.key.length !== 1) return event.key;
  const letter = event.key.toLowerCase();
  if (/[a-z]/.test(letter) || !/\p{L}/u.test(letter)) return letter;
  const place = /^Key([A-Z])$/.exec(event.code ?? '');
  return place ? place[1].toLowerCase() : letter;
}

/** The command a key stands for in the given state, or nothing. */
export function editorKeyAction(
  event: Omit<EditorKeyEvent, 'preventDefault'>,
  state: EditorState,
): EditorAction | undefined {
  if (isTextEntryTarget(event.target)) return undefined;
  const commandKey = event.ctrlKey || event.metaKey;
  const key = shortcutKey(event);
  const ids = state.selectedIds;
  if (commandKey && key === 'z') {
    return { type: event.shiftKey ? 'redo' : 'undo' };
  }
  if (commandKey && key === 'a') {
    return { type: 'select', ids: state.scheme.elements.map((element) => element.id) };
  }
  if (key === 'Escape') {
    return { type: 'select', ids: [] };
  }
  if ((key === 'Delete' || key === 'Backspace') && ids.length > 0) {
    return { type: 'remove', ids };
  }
  const arrow = Object.prototype.hasOwnProperty.call(arrowSteps, key) ? arrowSteps[key] : undefined;
  if (arrow && ids.length > 0) {
    const step = event.shiftKey ? state.gridSize : 1;
    // "+ 0" keeps a still axis at 0 rather than -0.
    return { type: 'nudge', ids, dx: arrow[0] * step + 0, dy: arrow[1] * step + 0 };
  }
  return undefined;
}

/** Carries out the shortcut of a key pressed in the editor; true when the key was one. */
export function handleEditorKey(
  event: EditorKeyEvent,
  state: EditorState,
  dispatch: Dispatch<EditorAction>,
): boolean {
  const action = editorKeyAction(event, state);
  if (!action) return false;
  event.preventDefault();
  dispatch(action);
  return true;
}
