import { describe, expect, it, vi } from 'vitest';
import type { SchemeElement } from '../../scheme';
import { createEditorState, type EditorState } from '../model';
import { handleEditorKey, isTextEntryTarget } from './keys';

function rect(id: string): SchemeElement {
  return { id, type: 'rect', x: 0, y: 0, width: 10, height: 10, style: {} };
}

function state(selectedIds: string[], gridSize = 10): EditorState {
  return {
    ...createEditorState({
      schemaVersion: 1,
      id: 's',
      name: 'S',
      size: { width: 100, height: 100 },
      elements: [rect('b'), rect('a'), rect('c')],
    }),
    selectedIds,
    gridSize,
  };
}

function target(html: string): Element {
  const holder = document.createElement('div');
  holder.innerHTML = html;
  document.body.appendChild(holder);
  return holder.querySelector('[data-target]') ?? holder;
}

interface Press {
  key: string;
  code?: string;
  ctrl?: boolean;
  meta?: boolean;
  shift?: boolean;
  on?: string;
}

function press({ key, code, ctrl, meta, shift, on }: Press, current: EditorState) {
  const preventDefault = vi.fn();
  const dispatch = vi.fn();
  const handled = handleEditorKey(
    {
      key,
      code,
      ctrlKey: ctrl ?? false,
      metaKey: meta ?? false,
      shiftKey: shift ?? false,
      target: target(on ?? '<svg data-target><rect/></svg>'),
      preventDefault,
    },
    current,
    dispatch,
  );
  expect(preventDefault).toHaveBeenCalledTimes(handled ? 1 : 0);
  expect(dispatch).toHaveBeenCalledTimes(handled ? 1 : 0);
  return dispatch.mock.calls[0]?.[0];
}

const selected = ['c', 'a'];

describe('handleEditorKey', () => {
  it.each<[string, Press, string[], unknown]>([
    ['Ctrl+Z undoes', { key: 'z', ctrl: true }, [], { type: 'undo' }],
    ['Cmd+Z undoes', { key: 'z', meta: true }, [], { type: 'undo' }],
    ['Ctrl+Shift+Z redoes', { key: 'Z', ctrl: true, shift: true }, [], { type: 'redo' }],
    ['Ctrl+Z with caps lock undoes', { key: 'Z', ctrl: true }, [], { type: 'undo' }],
    [
      'Ctrl+A selects all in scheme order',
      { key: 'a', ctrl: true },
      ['a'],
      { type: 'select', ids: ['b', 'a', 'c'] },
    ],
    [
      'Escape clears the selection',
      { key: 'Escape', ctrl: true },
      selected,
      { type: 'select', ids: [] },
    ],
    [
      'Delete removes the selection',
      { key: 'Delete' },
      selected,
      { type: 'remove', ids: selected },
    ],
    [
      'Backspace removes the selection',
      { key: 'Backspace' },
      selected,
      { type: 'remove', ids: selected },
    ],
    [
      'ArrowUp nudges one unit up',
      { key: 'ArrowUp' },
      selected,
      { type: 'nudge', ids: selected, dx: 0, dy: -1 },
    ],
    [
      'Shift+ArrowRight nudges one grid step',
      { key: 'ArrowRight', shift: true },
      selected,
      { type: 'nudge', ids: selected, dx: 10, dy: 0 },
    ],
    [
      'Ctrl+ArrowLeft nudges like the arrow alone',
      { key: 'ArrowLeft', ctrl: true },
      selected,
      { type: 'nudge', ids: selected, dx: -1, dy: 0 },
    ],
    [
      'Shift+ArrowDown nudges one grid step down',
      { key: 'ArrowDown', shift: true },
      selected,
      { type: 'nudge', ids: selected, dx: 0, dy: 10 },
    ],
    ['Delete with nothing selected is left alone', { key: 'Delete' }, [], undefined],
    ['an arrow with nothing selected is left alone', { key: 'ArrowDown' }, [], undefined],
    [
      'Ctrl+Z in a Russian layout undoes',
      { key: 'я', code: 'KeyZ', ctrl: true },
      [],
      { type: 'undo' },
    ],
    [
      'Ctrl+Shift+Z in a Russian layout redoes',
      { key: 'Я', code: 'KeyZ', ctrl: true, shift: true },
      [],
      { type: 'redo' },
    ],
    [
      'Ctrl+A in a Russian layout selects all',
      { key: 'ф', code: 'KeyA', ctrl: true },
      [],
      { type: 'select', ids: ['b', 'a', 'c'] },
    ],
    ['Я alone is no shortcut', { key: 'я', code: 'KeyZ' }, [], undefined],
    [
      'a Latin letter is taken as typed, not by its place',
      { key: 'z', code: 'KeyY', ctrl: true },
      [],
      { type: 'undo' },
    ],
    ['Ctrl+Y is no shortcut', { key: 'y', ctrl: true }, selected, undefined],
    ['Z alone is no shortcut', { key: 'z' }, selected, undefined],
    ['Ctrl+C is left to the copy event', { key: 'c', ctrl: true }, selected, undefined],
    ['Ctrl+V is left to the paste event', { key: 'v', ctrl: true }, selected, undefined],
    [
      'Backspace in a text input edits the text',
      { key: 'Backspace', on: '<input data-target>' },
      selected,
      undefined,
    ],
    [
      'Ctrl+A in a number input selects its text',
      { key: 'a', ctrl: true, on: '<input type="number" data-target>' },
      selected,
      undefined,
    ],
    [
      'Ctrl+Z in a text area undoes typing',
      { key: 'z', ctrl: true, on: '<textarea data-target></textarea>' },
      selected,
      undefined,
    ],
    [
      'an arrow in a select changes the choice',
      { key: 'ArrowDown', on: '<select data-target></select>' },
      selected,
      undefined,
    ],
    [
      'Delete in editable content edits it',
      { key: 'Delete', on: '<div contenteditable="true"><b data-target>x</b></div>' },
      selected,
      undefined,
    ],
    [
      'Delete on a palette tile removes the selection',
      { key: 'Delete', on: '<button data-target>Насос</button>' },
      selected,
      { type: 'remove', ids: selected },
    ],
    [
      'Delete in content made read-only removes the selection',
      {
        key: 'Delete',
        on: '<div contenteditable="true"><p contenteditable="false" data-target></p></div>',
      },
      selected,
      { type: 'remove', ids: selected },
    ],
  ])('%s', (_, key, selectedIds, action) => {
    expect(press(key, state(selectedIds))).toEqual(action);
  });

  it('nudges by a fractional grid step with Shift', () => {
    expect(press({ key: 'ArrowLeft', shift: true }, state(['a'], 2.5))).toEqual({
      type: 'nudge',
      ids: ['a'],
      dx: -2.5,
      dy: 0,
    });
  });
});

describe('isTextEntryTarget', () => {
  it.each([
    ['<input data-target>', true],
    ['<textarea data-target></textarea>', true],
    ['<select data-target></select>', true],
    ['<div contenteditable="" data-target></div>', true],
    ['<button data-target></button>', false],
    ['<svg><rect data-target /></svg>', false],
  ])('%s → %s', (html, expected) => {
    expect(isTextEntryTarget(target(html))).toBe(expected);
  });

  it('is false for no target and for the window', () => {
    expect(isTextEntryTarget(null)).toBe(false);
    expect(isTextEntryTarget(window)).toBe(false);
  });
});
