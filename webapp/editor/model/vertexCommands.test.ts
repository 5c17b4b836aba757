import { describe, expect, it } from 'vitest';
import { editorReducer } from './reducer';
import type { EditorAction, EditorState } from './state';
import { makeState, pipe, rect } from './testFixtures';

// An L-shaped pipe beside a rectangle, the pipe selected.
function lState(): EditorState {
  return makeState([rect('a', 0, 0), pipe('p', [20, 20, 100, 20, 100, 60])], {
    selectedIds: ['p'],
  });
}

const pipeOf = (state: EditorState) => state.scheme.elements.find((e) => e.id === 'p');

describe('vertex commands', () => {
  it.each<
    [string, EditorAction, number[], { x: number; y: number; width: number; height: number }]
  >([
    [
      'moveVertex puts the vertex at the point',
      { type: 'moveVertex', id: 'p', index: 2, x: 140, y: 100 },
      [20, 20, 100, 20, 140, 100],
      { x: 20, y: 20, width: 120, height: 80 },
    ],
    [
      'insertVertex puts a new vertex between two',
      { type: 'insertVertex', id: 'p', index: 1, x: 60, y: 0 },
      [20, 20, 60, 0, 100, 20, 100, 60],
      { x: 20, y: 0, width: 80, height: 60 },
    ],
    [
      'removeVertex takes one out',
      { type: 'removeVertex', id: 'p', index: 1 },
      [20, 20, 100, 60],
      { x: 20, y: 20, width: 80, height: 40 },
    ],
  ])('%s as one undo step, the box following the points', (_, action, points, box) => {
    const state = lState();
    const next = editorReducer(state, action);
    expect(pipeOf(next)).toMatchObject({ points, ...box, style: pipeOf(state)?.style });
    expect(next.scheme.elements[0]).toBe(state.scheme.elements[0]);
    expect(next.past).toEqual([state.scheme]);
    expect(next.selectedIds).toBe(state.selectedIds);

    const undone = editorReducer(next, { type: 'undo' });
    expect(undone.scheme).toBe(state.scheme);
    expect(editorReducer(undone, { type: 'redo' }).scheme).toBe(next.scheme);
  });

  it.each<[string, EditorAction]>([
    ['moveVertex to where it is', { type: 'moveVertex', id: 'p', index: 1, x: 100, y: 20 }],
    [
      'moveVertex of a vertex that does not exist',
      { type: 'moveVertex', id: 'p', index: 3, x: 0, y: 0 },
    ],
    ['moveVertex of an unknown element', { type: 'moveVertex', id: 'zz', index: 0, x: 0, y: 0 }],
    ['moveVertex of a rectangle', { type: 'moveVertex', id: 'a', index: 0, x: 5, y: 5 }],
    [
      'moveVertex to a point that is not finite',
      { type: 'moveVertex', id: 'p', index: 0, x: NaN, y: 0 },
    ],
    [
      'insertVertex on an end of its segment',
      { type: 'insertVertex', id: 'p', index: 1, x: 20, y: 20 },
    ],
    [
      'insertVertex before the first vertex',
      { type: 'insertVertex', id: 'p', index: 0, x: 0, y: 0 },
    ],
    ['insertVertex after the last vertex', { type: 'insertVertex', id: 'p', index: 3, x: 0, y: 0 }],
    ['removeVertex of a vertex that does not exist', { type: 'removeVertex', id: 'p', index: 7 }],
  ])('%s returns the very same state', (_, action) => {
    const state = lState();
    expect(editorReducer(state, action)).toBe(state);
  });

  it('never removes a pipe below two vertices', () => {
    const once = editorReducer(lState(), { type: 'removeVertex', id: 'p', index: 0 });
    expect(pipeOf(once)?.points).toEqual([100, 20, 100, 60]);
    expect(editorReducer(once, { type: 'removeVertex', id: 'p', index: 0 })).toBe(once);
  });

  it('keeps a turned pipe where it is drawn, undoing to the very scheme before', () => {
    const state = makeState([{ ...pipe('p', [0, 0, 100, 0, 100, 40]), rotation: 90 }]);
    const next = editorReducer(state, { type: 'removeVertex', id: 'p', index: 2 });
    // Drawn about (50, 20) the two vertices left were at (70, −30) and
    // (70, 70); the points shift so that they are drawn there about the
    // centre of their new box.
    const p = pipeOf(next);
    expect(p?.points).toEqual([20, 20, 120, 20]);
    expect(p).toMatchObject({ x: 20, y: 20, width: 100, height: 0, rotation: 90 });
    expect(editorReducer(next, { type: 'undo' }).scheme).toBe(state.scheme);
  });
});
