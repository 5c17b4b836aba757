// Commands on a scheme the size of the larger load test: 2000 rectangles and a
// history of 500 steps. A command copies only the elements it changes, so a
// move of one element should cost about as much as one pass over the list.
import { bench, describe } from 'vitest';
import type { SchemeElement } from '../../scheme';
import { serializeElementBuffer } from './buffer';
import { editorReducer } from './reducer';
import { createEditorState, type EditorState } from './state';

const COUNT = 2000;

const elements: SchemeElement[] = [];
for (let i = 0; i < COUNT; i++) {
  elements.push({
    id: `L${i}`,
    type: 'rect',
    x: (i % 45) * 40,
    y: Math.floor(i / 45) * 40,
    width: 30,
    height: 20,
    style: { fill: '#88cc88' },
  });
}
const base = createEditorState({
  schemaVersion: 1,
  id: 'edit-bench',
  name: 'edit',
  size: { width: 1800, height: 1800 },
  elements,
});
let state: EditorState = base;
for (let i = 0; i < 500; i++) {
  state = editorReducer(state, { type: 'nudge', ids: ['L0'], dx: 1, dy: 0 });
}
const allIds = elements.map((e) => e.id);
const selectedAll = editorReducer(state, { type: 'select', ids: allIds });
const buffer = serializeElementBuffer(elements.slice(0, 100));

describe(`commands on ${COUNT} elements with 500 undo steps`, () => {
  bench('moveTo of one element', () => {
    editorReducer(state, { type: 'moveTo', positions: [{ id: 'L1000', x: 3, y: 3 }] });
  });
  bench('nudge of every element', () => {
    editorReducer(state, { type: 'nudge', ids: allIds, dx: 1, dy: 1 });
  });
  bench('copy of every element', () => {
    editorReducer(selectedAll, { type: 'copy' });
  });
  bench('paste of 100 elements', () => {
    editorReducer(state, { type: 'paste', json: buffer });
  });
  bench('undo', () => {
    editorReducer(state, { type: 'undo' });
  });
});
