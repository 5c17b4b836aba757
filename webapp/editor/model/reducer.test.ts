import { describe, expect, it } from 'vitest';
import type { Scheme } from '../../scheme';
import type { AlignMode } from './arrange';
import { editorReducer } from './reducer';
import { createNewScheme } from './schemes';
import { createEditorState, type EditorAction, type EditorState } from './state';
import { deepFreeze, ids, makeScheme, makeState, pipe, rect } from './testFixtures';

// a, b, c side by side; c on top.
function threeRects(overrides: Partial<EditorState> = {}): EditorState {
  return makeState([rect('a', 0, 0), rect('b', 40, 0), rect('c', 80, 0)], overrides);
}

function run(state: EditorState, ...actions: EditorAction[]): EditorState {
  return actions.reduce(editorReducer, state);
}

describe('commands that change nothing return the very same state', () => {
  it.each<[string, EditorAction]>([
    ['moveTo to the current positions', { type: 'moveTo', positions: [{ id: 'a', x: 0, y: 0 }] }],
    ['moveTo of an unknown id', { type: 'moveTo', positions: [{ id: 'zz', x: 5, y: 5 }] }],
    [
      'moveTo to a position that is not a number',
      { type: 'moveTo', positions: [{ id: 'a', x: NaN, y: 3 }] },
    ],
    [
      'resizeTo of an unknown id',
      { type: 'resizeTo', id: 'zz', rect: { x: 0, y: 0, width: 30, height: 30 } },
    ],
    [
      'resizeTo to the own box',
      { type: 'resizeTo', id: 'a', rect: { x: 0, y: 0, width: 20, height: 10 } },
    ],
    [
      'resizeTo with a side that is not a number',
      { type: 'resizeTo', id: 'a', rect: { x: 0, y: 0, width: NaN, height: 10 } },
    ],
    ['updateMany with no ids', { type: 'updateMany', ids: [], patch: { x: 5 } }],
    ['nudge with no ids', { type: 'nudge', ids: [], dx: 1, dy: 0 }],
    ['nudge by nothing', { type: 'nudge', ids: ['a'], dx: 0, dy: 0 }],
    ['align of one element', { type: 'align', ids: ['a'], mode: 'left' }],
    [
      'align of one found element among unknown ids',
      { type: 'align', ids: ['a', 'zz'], mode: 'right' },
    ],
    ['hdistribute of two elements', { type: 'align', ids: ['a', 'b'], mode: 'hdistribute' }],
    ['reorder with no ids', { type: 'reorder', ids: [], mode: 'front' }],
    ['reorder forward of the topmost element', { type: 'reorder', ids: ['c'], mode: 'forward' }],
    [
      'reorder front of the elements already on top',
      { type: 'reorder', ids: ['c', 'b'], mode: 'front' },
    ],
    ['reorder backward of the bottom element', { type: 'reorder', ids: ['a'], mode: 'backward' }],
    ['rotate with no ids', { type: 'rotate', ids: [], direction: 1 }],
    ['remove with no ids', { type: 'remove', ids: [] }],
    ['select of the current selection', { type: 'select', ids: [] }],
    [
      'setSchemeSize to the current size',
      { type: 'setSchemeSize', size: { width: 400, height: 300 } },
    ],
    [
      'setSchemeSize with no finite side',
      { type: 'setSchemeSize', size: { width: NaN, height: Infinity } },
    ],
    ['setSchemeName to the current name', { type: 'setSchemeName', name: 'Test' }],
    ['setSchemeId to the current id', { type: 'setSchemeId', id: 'test' }],
    ['setGrid to the current step', { type: 'setGrid', gridSize: 10 }],
    ['setGrid to a step that is not a number', { type: 'setGrid', gridSize: NaN }],
    ['setZoom to the current zoom', { type: 'setZoom', zoom: 1 }],
    ['setZoom to a zoom that is not a number', { type: 'setZoom', zoom: NaN }],
    ['undo with an empty history', { type: 'undo' }],
    ['redo with an empty future', { type: 'redo' }],
    ['copy with nothing selected', { type: 'copy' }],
    [
      'align with a mode it does not know',
      { type: 'align', ids: ['a', 'b', 'c'], mode: 'diagonal' as AlignMode },
    ],
    [
      'reorder with a mode it does not know',
      { type: 'reorder', ids: ['a'], mode: 'top' as 'front' },
    ],
  ])('%s', (_, action) => {
    const state = threeRects();
    expect(editorReducer(state, action)).toBe(state);
  });
});

describe('history rule', () => {
  const earlier = makeScheme([]);
  const later = makeScheme([rect('z')]);
  // One undo step behind and one redo step ahead, so that a push visibly empties `future`.
  const withHistory = (): EditorState =>
    threeRects({ past: [earlier], future: [later], selectedIds: ['a'] });

  it.each<[string, EditorAction, boolean]>([
    ['add', { type: 'add', element: rect('n') }, false],
    ['update', { type: 'update', id: 'a', patch: { x: 7 } }, false],
    ['update of an unknown id', { type: 'update', id: 'zz', patch: { x: 7 } }, true],
    ['updateMany of unknown ids', { type: 'updateMany', ids: ['zz'], patch: { x: 7 } }, true],
    [
      'moveTo of one element among several',
      { type: 'moveTo', positions: [{ id: 'b', x: 1, y: 1 }] },
      false,
    ],
    ['resizeTo', { type: 'resizeTo', id: 'a', rect: { x: 0, y: 0, width: 30, height: 10 } }, false],
    ['nudge of unknown ids', { type: 'nudge', ids: ['zz'], dx: 1, dy: 0 }, true],
    ['align of elements already aligned', { type: 'align', ids: ['a', 'b'], mode: 'top' }, true],
    ['reorder', { type: 'reorder', ids: ['a'], mode: 'front' }, false],
    ['rotate of unknown ids', { type: 'rotate', ids: ['zz'], direction: 1 }, true],
    ['remove of unknown ids', { type: 'remove', ids: ['zz'] }, true],
    ['setSchemeSize', { type: 'setSchemeSize', size: { width: 500, height: 300 } }, false],
    ['setSchemeName', { type: 'setSchemeName', name: 'Котельная' }, false],
    ['setSchemeId', { type: 'setSchemeId', id: 'boiler-house' }, false],
    ['loadScheme', { type: 'loadScheme', scheme: later }, false],
  ])('%s pushes one step', (_, action, sameScheme) => {
    const state = withHistory();
    const next = editorReducer(state, action);
    expect(next.past).toHaveLength(2);
    expect(next.past[0]).toBe(earlier);
    expect(next.past[1]).toBe(state.scheme);
    expect(next.future).toEqual([]);
    expect(next.scheme === state.scheme).toBe(sameScheme);
  });

  it.each<[string, EditorAction]>([
    ['select', { type: 'select', ids: ['b'] }],
    ['setGrid', { type: 'setGrid', gridSize: 5 }],
    ['toggleSnap', { type: 'toggleSnap' }],
    ['setZoom', { type: 'setZoom', zoom: 2 }],
    ['copy', { type: 'copy' }],
    ['a refused paste', { type: 'paste', json: 'nonsense' }],
  ])('%s leaves past and future alone', (_, action) => {
    const state = withHistory();
    const next = editorReducer(state, action);
    expect(next).not.toBe(state);
    expect(next.past).toBe(state.past);
    expect(next.future).toBe(state.future);
    expect(next.scheme).toBe(state.scheme);
  });

  it('keeps the identity of every element a command does not change', () => {
    const state = threeRects();
    const next = editorReducer(state, { type: 'nudge', ids: ['b'], dx: 5, dy: 0 });
    expect(next.scheme.elements[0]).toBe(state.scheme.elements[0]);
    expect(next.scheme.elements[1]).not.toBe(state.scheme.elements[1]);
    expect(next.scheme.elements[2]).toBe(state.scheme.elements[2]);
  });
});

describe('undo and redo', () => {
  it('steps back and forth through the schemes and a new change empties the future', () => {
    const start = threeRects();
    const moved = run(start, { type: 'nudge', ids: ['a'], dx: 5, dy: 0 });
    const removed = run(moved, { type: 'remove', ids: ['b'] });

    const back2 = run(removed, { type: 'undo' }, { type: 'undo' });
    expect(back2.scheme).toBe(start.scheme);
    expect(back2.past).toEqual([]);
    expect(back2.future).toEqual([moved.scheme, removed.scheme]);

    const forward = run(back2, { type: 'redo' });
    expect(forward.scheme).toBe(moved.scheme);
    expect(forward.future).toEqual([removed.scheme]);

    const branched = run(forward, { type: 'rotate', ids: ['c'], direction: 1 });
    expect(branched.future).toEqual([]);
    expect(branched.past).toEqual([start.scheme, moved.scheme]);
    expect(run(branched, { type: 'redo' })).toBe(branched);
  });

  it.each<EditorAction['type']>(['undo', 'redo'])(
    '%s empties the selection and clears the clipboard error but keeps the other fields',
    (type) => {
      const other: Scheme = makeScheme([]);
      const state = threeRects({
        past: [other],
        future: [other],
        selectedIds: ['a'],
        gridSize: 5,
        snapEnabled: false,
        zoom: 2,
        clipboard: { json: 'copied' },
        lastPaste: { json: 'pasted', offset: 15 },
        clipboardError: 'Буфер пуст',
      });
      const next = editorReducer(state, { type } as EditorAction);
      expect(next.scheme).toBe(other);
      expect(next.selectedIds).toEqual([]);
      expect(next.clipboardError).toBeUndefined();
      expect(next).toMatchObject({
        gridSize: 5,
        snapEnabled: false,
        zoom: 2,
        clipboard: { json: 'copied' },
        lastPaste: { json: 'pasted', offset: 15 },
      });
    },
  );
});

describe('add', () => {
  it('appends the element on top and selects only it', () => {
    const element = rect('new');
    const next = editorReducer(threeRects({ selectedIds: ['a', 'b'] }), { type: 'add', element });
    expect(next.scheme.elements.at(-1)).toBe(element);
    expect(next.selectedIds).toEqual(['new']);
  });

  it('gives a taken id the smallest free number', () => {
    const state = makeState([rect('el-1'), rect('el-3'), rect('el-4')]);
    const next = editorReducer(state, { type: 'add', element: rect('el-3', 9, 9) });
    expect(ids(next)).toEqual(['el-1', 'el-3', 'el-4', 'el-2']);
    expect(next.scheme.elements[3]).toMatchObject({ x: 9, y: 9 });
    expect(next.selectedIds).toEqual(['el-2']);
  });
});

describe('select', () => {
  it.each<[string, string[], boolean | undefined, string[]]>([
    ['replaces the selection', ['c', 'a'], undefined, ['c', 'a']],
    ['keeps unknown ids', ['zz'], false, ['zz']],
    ['additive removes a selected id', ['a'], true, ['b']],
    ['additive appends a new id at the end', ['c'], true, ['a', 'b', 'c']],
    ['additive toggles each id in turn', ['a', 'c', 'a'], true, ['b', 'c', 'a']],
  ])('%s', (_, selectIds, additive, expected) => {
    const state = threeRects({ selectedIds: ['a', 'b'] });
    const next = editorReducer(state, { type: 'select', ids: selectIds, additive });
    expect(next.selectedIds).toEqual(expected);
  });

  it('additive deselects an id that the selection holds twice', () => {
    const state = run(threeRects(), { type: 'select', ids: ['a', 'b', 'a'] });
    const next = editorReducer(state, { type: 'select', ids: ['a'], additive: true });
    expect(next.selectedIds).toEqual(['b']);
  });
});

describe('update and updateMany', () => {
  it('update patches the one element', () => {
    const state = makeState([pipe('p', [0, 0, 80, 0]), rect('a')]);
    const next = editorReducer(state, { type: 'update', id: 'p', patch: { x: 10, width: 100 } });
    expect(next.scheme.elements[0]).toMatchObject({ x: 10, width: 100, points: [10, 0, 90, 0] });
    expect(next.scheme.elements[1]).toBe(state.scheme.elements[1]);
  });

  it('updateMany lays a style property over each listed element and keeps the rest', () => {
    const state = makeState([
      rect('a', 0, 0, 20, 10, { style: { fill: '#111111', strokeWidth: 2 } }),
      rect('b', 0, 0, 20, 10, { style: { fill: '#222222' } }),
      rect('c'),
    ]);
    const next = editorReducer(state, {
      type: 'updateMany',
      ids: ['a', 'b'],
      patch: { style: { stroke: '#ff0000' } },
    });
    expect(next.scheme.elements.map((e) => e.style)).toEqual([
      { fill: '#111111', strokeWidth: 2, stroke: '#ff0000' },
      { fill: '#222222', stroke: '#ff0000' },
      { fill: '#cccccc' },
    ]);
    expect(next.scheme.elements[2]).toBe(state.scheme.elements[2]);
  });
});

describe('moveTo', () => {
  it('moves the elements with entries; the later of two entries counts', () => {
    const next = editorReducer(threeRects(), {
      type: 'moveTo',
      positions: [
        { id: 'a', x: 5, y: 5 },
        { id: 'zz', x: 1, y: 1 },
        { id: 'a', x: 7, y: 8 },
        { id: 'b', x: 40, y: 0 },
      ],
    });
    expect(next.scheme.elements.map((e) => [e.x, e.y])).toEqual([
      [7, 8],
      [40, 0],
      [80, 0],
    ]);
  });
});

describe('resizeTo', () => {
  it.each([
    [
      'raises a small width to 8',
      { x: 1, y: 2, width: 3, height: 30 },
      { x: 1, y: 2, width: 8, height: 30 },
    ],
    [
      'raises a negative side to 8',
      { x: 0, y: 0, width: -5, height: 30 },
      { width: 8, height: 30 },
    ],
    ['keeps a zero side', { x: 0, y: 0, width: 50, height: 0 }, { width: 50, height: 0 }],
  ])('%s', (_, rectangle, expected) => {
    const next = editorReducer(threeRects(), { type: 'resizeTo', id: 'a', rect: rectangle });
    expect(next.scheme.elements[0]).toMatchObject(expected);
  });

  it('is unchanged when the normalised rect equals the element box', () => {
    const state = makeState([rect('a', 0, 0, 8, 10)]);
    const action: EditorAction = {
      type: 'resizeTo',
      id: 'a',
      rect: { x: 0, y: 0, width: 2, height: 10 },
    };
    expect(editorReducer(state, action)).toBe(state);
  });

  it('doubles the x of every point of a polyline made twice as wide', () => {
    const state = makeState([pipe('p', [0, 0, 40, 0, 80, 0])]);
    const next = editorReducer(state, {
      type: 'resizeTo',
      id: 'p',
      rect: { x: 0, y: 0, width: 160, height: 0 },
    });
    expect(next.scheme.elements[0].points).toEqual([0, 0, 80, 0, 160, 0]);
  });
});

describe('nudge and remove', () => {
  it('nudge moves every listed element by the step', () => {
    const next = editorReducer(threeRects(), { type: 'nudge', ids: ['a', 'c'], dx: -10, dy: 3 });
    expect(next.scheme.elements.map((e) => [e.x, e.y])).toEqual([
      [-10, 3],
      [40, 0],
      [70, 3],
    ]);
  });

  it('remove takes the elements out of the scheme and their ids out of the selection', () => {
    const state = threeRects({ selectedIds: ['c', 'a', 'zz'] });
    const next = editorReducer(state, { type: 'remove', ids: ['a', 'zz'] });
    expect(ids(next)).toEqual(['b', 'c']);
    expect(next.selectedIds).toEqual(['c']);
  });
});

describe('align', () => {
  // Boxes: a (0,0 20×10), b (30,50 40×30), c (100,20 10×60).
  const boxes = (): EditorState =>
    makeState([rect('a', 0, 0, 20, 10), rect('b', 30, 50, 40, 30), rect('c', 100, 20, 10, 60)]);

  it.each<[AlignMode, number[][]]>([
    [
      'left',
      [
        [0, 0],
        [0, 50],
        [0, 20],
      ],
    ],
    [
      'hcenter',
      [
        [45, 0],
        [35, 50],
        [50, 20],
      ],
    ],
    [
      'right',
      [
        [90, 0],
        [70, 50],
        [100, 20],
      ],
    ],
    [
      'top',
      [
        [0, 0],
        [30, 0],
        [100, 0],
      ],
    ],
    [
      'vcenter',
      [
        [0, 35],
        [30, 25],
        [100, 10],
      ],
    ],
    [
      'bottom',
      [
        [0, 70],
        [30, 50],
        [100, 20],
      ],
    ],
    [
      'hdistribute',
      [
        [0, 0],
        [50, 50],
        [100, 20],
      ],
    ],
    [
      'vdistribute',
      [
        [0, 0],
        [30, 50],
        [100, 25],
      ],
    ],
  ])('%s', (mode, positions) => {
    const next = editorReducer(boxes(), { type: 'align', ids: ['c', 'a', 'b'], mode });
    expect(next.scheme.elements.map((e) => [e.x, e.y])).toEqual(positions);
  });

  it('distributes x 0, 10, 100 to 0, 50, 100 and keeps list order for equal values', () => {
    const state = makeState([rect('a', 100), rect('b', 0), rect('c', 10), rect('d', 10)]);
    const next = editorReducer(state, {
      type: 'align',
      ids: ['a', 'b', 'c', 'd'],
      mode: 'hdistribute',
    });
    // Sorted: b 0, c 10, d 10, a 100; step 100 / 3.
    expect(next.scheme.elements.map((e) => e.x)).toEqual([100, 0, 100 / 3, 200 / 3]);
  });
});

describe('reorder', () => {
  it.each<['front' | 'back' | 'forward' | 'backward', string[], string[]]>([
    ['front', ['b', 'd'], ['a', 'c', 'e', 'b', 'd']],
    ['back', ['d', 'b'], ['b', 'd', 'a', 'c', 'e']],
    ['forward', ['a', 'd'], ['b', 'a', 'c', 'e', 'd']],
    ['forward', ['b', 'c'], ['a', 'd', 'b', 'c', 'e']],
    ['forward', ['d', 'e'], ['a', 'b', 'c', 'd', 'e']],
    ['backward', ['b', 'e'], ['b', 'a', 'c', 'e', 'd']],
    ['backward', ['c', 'd'], ['a', 'c', 'd', 'b', 'e']],
  ])('%s of %j', (mode, listed, expected) => {
    const state = makeState(['a', 'b', 'c', 'd', 'e'].map((id) => rect(id)));
    const next = editorReducer(state, { type: 'reorder', ids: listed, mode });
    expect(ids(next)).toEqual(expected);
  });
});

describe('rotate', () => {
  it.each<[number | undefined, 1 | -1, number]>([
    [undefined, 1, 45],
    [0, -1, 315],
    [315, 1, 0],
    [30, 1, 45],
    [30, -1, 0],
    [45, -1, 0],
    [400, 1, 45],
    [-30, -1, 315],
    [-30, 1, 0],
  ])('turns %s in direction %d to %d', (rotation, direction, expected) => {
    const element = rect('a', 0, 0, 20, 10, rotation === undefined ? {} : { rotation });
    const next = editorReducer(makeState([element]), { type: 'rotate', ids: ['a'], direction });
    expect(next.scheme.elements[0].rotation).toBe(expected);
  });

  it('treats a rotation that is not a finite number as none', () => {
    const element = rect('a', 0, 0, 20, 10, { rotation: 'x' as unknown as number });
    const next = editorReducer(makeState([element]), { type: 'rotate', ids: ['a'], direction: 1 });
    expect(next.scheme.elements[0].rotation).toBe(45);
  });
});

describe('settings', () => {
  it.each<[string, EditorAction, Partial<EditorState>]>([
    ['setGrid raises 0 to 1', { type: 'setGrid', gridSize: 0 }, { gridSize: 1 }],
    ['setGrid keeps a fractional step', { type: 'setGrid', gridSize: 2.5 }, { gridSize: 2.5 }],
    ['setZoom bounds 10 by 4', { type: 'setZoom', zoom: 10 }, { zoom: 4 }],
    ['setZoom bounds 0.1 by 0.25', { type: 'setZoom', zoom: 0.1 }, { zoom: 0.25 }],
    ['setZoom does not round', { type: 'setZoom', zoom: 1.5625 }, { zoom: 1.5625 }],
    ['toggleSnap inverts snapping', { type: 'toggleSnap' }, { snapEnabled: false }],
  ])('%s', (_, action, expected) => {
    expect(editorReducer(threeRects(), action)).toMatchObject(expected);
  });

  it.each<[string, { width: number; height: number }, { width: number; height: number }]>([
    ['raises a width of 4 to 8', { width: 4, height: 300 }, { width: 8, height: 300 }],
    ['keeps a side that is not finite', { width: NaN, height: 120 }, { width: 400, height: 120 }],
    ['keeps fractions above 8', { width: 8.5, height: 300 }, { width: 8.5, height: 300 }],
  ])('setSchemeSize %s', (_, size, expected) => {
    const next = editorReducer(threeRects(), { type: 'setSchemeSize', size });
    expect(next.scheme.size).toEqual(expected);
  });
});

describe('loadScheme', () => {
  it('replaces the scheme as an undoable step, clearing selection and clipboard error', () => {
    const loaded = deepFreeze(makeScheme([rect('q')]));
    const state = threeRects({
      selectedIds: ['a'],
      clipboardError: 'Буфер пуст',
      lastPaste: { json: 'x', offset: 10 },
    });
    const next = editorReducer(state, { type: 'loadScheme', scheme: loaded });
    expect(next.scheme).toBe(loaded);
    expect(next.selectedIds).toEqual([]);
    expect(next.clipboardError).toBeUndefined();
    expect(next.lastPaste).toEqual({ json: 'x', offset: 10 });
    expect(editorReducer(next, { type: 'undo' }).scheme).toBe(state.scheme);
  });
});

describe('scheme name and id', () => {
  it('renames and re-identifies a scheme in one undo step each, keeping the other field', () => {
    const state = threeRects();
    const renamed = editorReducer(state, { type: 'setSchemeName', name: 'Котельная' });
    expect([renamed.scheme.name, renamed.scheme.id]).toEqual(['Котельная', 'test']);
    expect(renamed.scheme.elements).toBe(state.scheme.elements);
    const changed = editorReducer(renamed, { type: 'setSchemeId', id: 'boiler-house' });
    expect([changed.scheme.name, changed.scheme.id]).toEqual(['Котельная', 'boiler-house']);
    expect(changed.past).toEqual([state.scheme, renamed.scheme]);
    const back = editorReducer(changed, { type: 'undo' });
    expect([back.scheme.name, back.scheme.id]).toEqual(['Котельная', 'test']);
    expect(editorReducer(back, { type: 'undo' }).scheme).toBe(state.scheme);
  });

  it("lets a new scheme's id follow its name until the id is edited by hand", () => {
    const fresh = createEditorState(createNewScheme(), { idFollowsName: true });
    expect(fresh.scheme).toMatchObject({ id: 'novaya-skhema', size: { width: 1280, height: 720 } });
    const named = run(fresh, { type: 'setSchemeName', name: 'Котельная №2' });
    expect(named.scheme.id).toBe('kotelnaya-2');
    expect(named.past).toHaveLength(1);
    // Undoing the rename takes the id back with it.
    expect(editorReducer(named, { type: 'undo' }).scheme.id).toBe('novaya-skhema');
    const typed = run(named, { type: 'setSchemeId', id: 'boilers' });
    const renamedAgain = run(typed, { type: 'setSchemeName', name: 'Котельная №3' });
    expect(renamedAgain.scheme.id).toBe('boilers');
    // Neither does it follow after a file is loaded, nor in a scheme opened as it is.
    const loaded = run(fresh, { type: 'loadScheme', scheme: makeScheme([]) });
    expect(run(loaded, { type: 'setSchemeName', name: 'Другая' }).scheme.id).toBe('test');
    expect(run(threeRects(), { type: 'setSchemeName', name: 'Другая' }).scheme.id).toBe('test');
  });
});
