import '../../symbols';
import { act, fireEvent, render, screen } from '@testing-library/react';
import { useMemo, type Dispatch } from 'react';
import type { Scheme, SchemeElement } from '../../scheme';
// The renderer's own module is mocked: the shell's entry imports the editor,
// so a mock of that entry would not reach the canvas through the cycle.
import { renderElement } from '../../view/render';
import {
  EditorContext,
  EditorProvider,
  createEditorState,
  useEditor,
  type EditorAction,
  type EditorState,
} from '../model';
import { EditorCanvas } from './EditorCanvas';

vi.mock('../../view/render', async (importOriginal) => {
  const actual = await importOriginal<typeof import('../../view/render')>();
  return { ...actual, renderElement: vi.fn(actual.renderElement) };
});

// jsdom has no pointer events; the canvas reads only the mouse fields and the pointer id.
class TestPointerEvent extends MouseEvent {
  readonly pointerId: number;
  constructor(type: string, init: PointerEventInit = {}) {
    super(type, init);
    this.pointerId = init.pointerId ?? 1;
  }
}
// Nor drag events: a drop needs its client point.
class TestDragEvent extends MouseEvent {}
beforeAll(() => {
  vi.stubGlobal('PointerEvent', TestPointerEvent);
  vi.stubGlobal('DragEvent', TestDragEvent);
});
afterAll(() => {
  vi.unstubAllGlobals();
});

function rect(id: string, x: number, y: number, extra: Partial<SchemeElement> = {}): SchemeElement {
  return { id, type: 'rect', x, y, width: 40, height: 20, style: { fill: '#cccccc' }, ...extra };
}

function scheme(elements: SchemeElement[]): Scheme {
  return { schemaVersion: 1, id: 't', name: 'T', size: { width: 400, height: 300 }, elements };
}

interface Probe {
  state: EditorState;
  /** Dispatches as another part of the editor would (the keyboard, the toolbar). */
  dispatch: Dispatch<EditorAction>;
  /** What the canvas dispatched, in order. */
  actions: EditorAction[];
}

function mount(initial: Partial<EditorState> & { scheme: Scheme }): Probe {
  const probe = { actions: [] } as unknown as Probe;
  function Recording() {
    const editor = useEditor();
    probe.state = editor.state;
    probe.dispatch = editor.dispatch;
    const value = useMemo(
      () => ({
        state: editor.state,
        dispatch: (action: EditorAction) => {
          probe.actions.push(action);
          editor.dispatch(action);
        },
      }),
      [editor],
    );
    return (
      <EditorContext.Provider value={value}>
        <EditorCanvas />
      </EditorContext.Provider>
    );
  }
  render(
    <EditorProvider initial={{ ...createEditorState(initial.scheme), ...initial }}>
      <Recording />
    </EditorProvider>,
  );
  return probe;
}

// In jsdom the canvas has an empty box, so client points are scheme points.
const at = (x: number, y: number, extra: MouseEventInit = {}) => ({
  clientX: x,
  clientY: y,
  ...extra,
});
const group = (id: string) => document.querySelector(`[data-drag-node="${id}"]`) as SVGGElement;
const canvas = () => screen.getByTestId('canvas');
const handleNames = () =>
  [...document.querySelectorAll('[data-resize-anchor]')].map((handle) =>
    handle.getAttribute('data-resize-anchor'),
  );

describe('EditorCanvas drawing', () => {
  it('sizes the root by the zoom and draws each element, in list order, inside a move group', () => {
    mount({ scheme: scheme([rect('a', 0, 0), rect('b', 50, 50)]), zoom: 2 });
    const root = canvas();
    expect(root).toHaveClass('mnemo-canvas');
    expect(root).toHaveAttribute('width', '800');
    expect(root).toHaveAttribute('height', '600');
    expect(root).toHaveAttribute('viewBox', '0 0 400 300');
    const groups = [...root.querySelectorAll('[data-drag-node]')];
    expect(groups.map((node) => node.getAttribute('data-drag-node'))).toEqual(['a', 'b']);
    expect(groups[0].firstElementChild).toHaveAttribute('cursor', 'move');
    expect(groups[0].querySelector('rect[data-element-id="a"]')).not.toBeNull();
    expect(root.lastElementChild).toBe(screen.getByTestId('marquee'));
    expect(screen.getByTestId('marquee')).toHaveAttribute('visibility', 'hidden');
    expect(screen.getByTestId('marquee')).toHaveAttribute('stroke-width', '0.5');
  });

  it('draws the grid for its step, every fifth line stronger', () => {
    mount({ scheme: scheme([]), gridSize: 8 });
    const coarse = screen.getByTestId('grid-pattern-coarse');
    const id = coarse.getAttribute('id') ?? '';
    expect(id).toMatch(/^orvo-grid-coarse.+/);
    expect(coarse).toHaveAttribute('width', '40');
    expect(coarse.querySelector('path')).toHaveAttribute('d', 'M 40 0 L 0 0 L 0 40');
    const fine = document.getElementById(id.replace('coarse', 'fine'));
    expect(fine).toHaveAttribute('width', '8');
    expect(fine?.querySelector('path')).toHaveAttribute('d', 'M 8 0 L 0 0 L 0 8');
    expect(screen.getByTestId('grid-fill')).toHaveAttribute('fill', `url(#${id})`);
    expect(screen.getByTestId('grid-fill')).toHaveAttribute('height', '300');
  });

  it('draws no grid for a step of 0', () => {
    mount({ scheme: scheme([]), gridSize: 0 });
    expect(screen.queryByTestId('grid-fill')).toBeNull();
  });
});

describe('SelectionLayer', () => {
  it('shows nothing without a selection', () => {
    mount({ scheme: scheme([rect('a', 0, 0)]) });
    expect(screen.queryByTestId('selection-layer')).toBeNull();
  });

  it('gives one element eight handles sized for the zoom', () => {
    mount({ scheme: scheme([rect('a', 10, 20)]), selectedIds: ['a'], zoom: 2 });
    expect(handleNames()).toEqual(['nw', 'n', 'ne', 'e', 'se', 's', 'sw', 'w']);
    const se = document.querySelector('[data-resize-anchor="se"]');
    // Centred on (50, 40), 8 / 2 wide.
    expect(se).toHaveAttribute('x', '48');
    expect(se).toHaveAttribute('y', '38');
    expect(se).toHaveAttribute('width', '4');
    expect(se).toHaveAttribute('stroke-width', '0.5');
    expect(se).toHaveAttribute('cursor', 'nwse-resize');
    const outline = screen.getByTestId('selection-outline');
    expect(outline).toHaveAttribute('stroke-width', '0.5');
    expect(outline).not.toHaveAttribute('stroke-dasharray');
    expect(screen.getByTestId('selection-frame')).not.toHaveAttribute('transform');
  });

  it('turns the frame and the cursors of a rotated element', () => {
    mount({ scheme: scheme([rect('a', 10, 20, { rotation: 45 })]), selectedIds: ['a'] });
    expect(screen.getByTestId('selection-frame')).toHaveAttribute('transform', 'rotate(45 30 30)');
    expect(document.querySelector('[data-resize-anchor="n"]')).toHaveAttribute(
      'cursor',
      'nesw-resize',
    );
  });

  it('gives a horizontal pipe only its two end handles', () => {
    const pipe: SchemeElement = {
      id: 'p',
      type: 'polyline',
      points: [0, 50, 80, 50],
      x: 0,
      y: 50,
      width: 80,
      height: 0,
      style: {},
    };
    mount({ scheme: scheme([pipe]), selectedIds: ['p'] });
    expect(handleNames()).toEqual(['w', 'e']);
  });

  it('outlines several elements by their bounds, dashed, without handles', () => {
    mount({
      scheme: scheme([rect('a', 0, 0), rect('b', 100, 50, { rotation: 90 })]),
      selectedIds: ['b', 'a'],
      zoom: 2,
    });
    const outline = screen.getByTestId('selection-outline');
    // b turned by 90° covers x 110..130 and y 40..80.
    expect(['x', 'y', 'width', 'height'].map((name) => outline.getAttribute(name))).toEqual([
      '0',
      '0',
      '130',
      '80',
    ]);
    expect(outline).toHaveAttribute('stroke-dasharray', '2 1');
    expect(handleNames()).toEqual([]);
  });
});

describe('EditorCanvas presses', () => {
  it.each([
    ['a click selects the element', [], 'b', false, { ids: ['b'], additive: false }, ['b']],
    [
      'a click on a selected element keeps the selection',
      ['a', 'b'],
      'b',
      false,
      { ids: ['a', 'b'], additive: false },
      ['a', 'b'],
    ],
    ['Shift adds the element', ['a'], 'b', true, { ids: ['b'], additive: true }, ['a', 'b']],
    [
      'Shift removes a selected element',
      ['a', 'b'],
      'a',
      true,
      { ids: ['a'], additive: true },
      ['b'],
    ],
  ])('%s', (_name, selectedIds, target, shiftKey, command, selection) => {
    const probe = mount({ scheme: scheme([rect('a', 0, 0), rect('b', 100, 0)]), selectedIds });
    fireEvent.pointerDown(group(target), at(10, 10, { shiftKey }));
    fireEvent.pointerUp(canvas(), at(10, 10));
    expect(probe.actions).toEqual([{ type: 'select', ...command }]);
    expect(probe.state.selectedIds).toEqual(selection);
  });

  it('clears the selection on a background press, and keeps it with Shift', () => {
    const probe = mount({ scheme: scheme([rect('a', 0, 0)]), selectedIds: ['a'] });
    fireEvent.pointerDown(canvas(), at(300, 200, { shiftKey: true }));
    fireEvent.pointerUp(canvas(), at(300, 200));
    expect(probe.state.selectedIds).toEqual(['a']);
    fireEvent.pointerDown(canvas(), at(300, 200));
    fireEvent.pointerUp(canvas(), at(300, 200));
    expect(probe.actions).toEqual([{ type: 'select', ids: [] }]);
    expect(probe.state.selectedIds).toEqual([]);
  });

  it.each([
    ['a 1 × 1 marquee selects nothing', [300, 200], [301, 201], ['a'], []],
    [
      'a marquee 1 wide and 30 high selects what it crosses',
      [110, 0],
      [111, 30],
      ['b'],
      ['select'],
    ],
  ])('%s', (_name, from, to, selection, commands) => {
    const probe = mount({
      scheme: scheme([rect('a', 0, 0), rect('b', 100, 0)]),
      selectedIds: ['a'],
    });
    fireEvent.pointerDown(canvas(), at(from[0], from[1], { shiftKey: true }));
    fireEvent.pointerMove(canvas(), at(to[0], to[1]));
    expect(screen.getByTestId('marquee')).toHaveAttribute('visibility', 'visible');
    fireEvent.pointerUp(canvas(), at(to[0], to[1]));
    expect(screen.getByTestId('marquee')).toHaveAttribute('visibility', 'hidden');
    expect(probe.actions.map((action) => action.type)).toEqual(commands);
    expect(probe.state.selectedIds).toEqual(selection);
  });

  it('redraws only the selection when the selection changes', () => {
    vi.mocked(renderElement).mockClear();
    mount({ scheme: scheme([rect('a', 0, 0), rect('b', 100, 0), rect('c', 200, 0)]) });
    // The spy sees the canvas's drawing, so its silence below means something.
    expect(renderElement).toHaveBeenCalledTimes(3);
    vi.mocked(renderElement).mockClear();
    fireEvent.pointerDown(group('b'), at(110, 10));
    fireEvent.pointerUp(canvas(), at(110, 10));
    expect(screen.getByTestId('selection-outline')).toHaveAttribute('x', '100');
    expect(renderElement).not.toHaveBeenCalled();
  });
});

describe('EditorCanvas gestures against a changing scheme', () => {
  it('writes the drag onto the nodes and commits one move at the release', () => {
    const probe = mount({ scheme: scheme([rect('a', 3, 7), rect('b', 100, 0)]) });
    fireEvent.pointerDown(group('a'), at(10, 10));
    fireEvent.pointerMove(canvas(), at(14, 10));
    // Snapped to (10, 10): the offset is (7, 3).
    expect(group('a')).toHaveAttribute('transform', 'translate(7 3)');
    expect(screen.getByTestId('selection-layer')).toHaveAttribute('transform', 'translate(7 3)');
    expect(probe.actions).toHaveLength(1);
    fireEvent.pointerUp(canvas(), at(14, 10));
    expect(group('a')).not.toHaveAttribute('transform');
    expect(probe.actions[1]).toEqual({ type: 'moveTo', positions: [{ id: 'a', x: 10, y: 10 }] });
    expect(probe.state.scheme.elements[0]).toMatchObject({ x: 10, y: 10 });
  });

  it('ends a drag cleanly when an undo replaces the scheme under it', () => {
    const probe = mount({ scheme: scheme([rect('a', 0, 0), rect('b', 100, 0)]) });
    act(() => probe.dispatch({ type: 'add', element: rect('c', 200, 100) }));
    fireEvent.pointerDown(group('c'), at(210, 110));
    fireEvent.pointerMove(canvas(), at(250, 150));
    expect(group('c')).toHaveAttribute('transform', 'translate(40 40)');
    act(() => probe.dispatch({ type: 'undo' }));
    expect(group('c')).toBeNull();
    fireEvent.pointerMove(canvas(), at(260, 160));
    fireEvent.pointerUp(canvas(), at(260, 160));
    expect(probe.actions.map((action) => action.type)).toEqual(['select']);
    expect(probe.state.future).toHaveLength(1);
  });

  it('ends a resize cleanly when a load replaces the scheme, leaving the nodes clean', () => {
    const probe = mount({ scheme: scheme([rect('a', 0, 0)]), selectedIds: ['a'] });
    const handle = document.querySelector('[data-resize-anchor="se"]') as Element;
    fireEvent.pointerDown(handle, at(40, 20));
    fireEvent.pointerMove(canvas(), at(80, 60));
    expect(group('a')).toHaveAttribute('transform');
    act(() => probe.dispatch({ type: 'loadScheme', scheme: scheme([rect('a', 0, 0)]) }));
    expect(group('a')).not.toHaveAttribute('transform');
    fireEvent.pointerUp(canvas(), at(80, 60));
    expect(probe.actions).toEqual([]);
  });
});

describe('EditorCanvas drop', () => {
  function drop(data: string, x = 100, y = 50) {
    const dataTransfer = {
      getData: (type: string) => (type === 'application/x-mnemo-add' ? data : ''),
    };
    fireEvent.dragOver(canvas(), { dataTransfer });
    return fireEvent.drop(canvas(), { dataTransfer, clientX: x, clientY: y });
  }

  it('adds a gauge with its corner at the drop point and selects it', () => {
    const probe = mount({ scheme: scheme([rect('a', 0, 0)]), selectedIds: ['a'] });
    expect(drop('symbol:gauge')).toBe(false);
    const added = probe.state.scheme.elements[1];
    expect(added).toMatchObject({
      type: 'symbol',
      symbolId: 'gauge',
      x: 100,
      y: 50,
      width: 96,
      height: 96,
    });
    expect(probe.state.selectedIds).toEqual([added.id]);
  });

  it.each([
    ['polyline', { type: 'polyline', points: [100, 50, 180, 50] }],
    ['rect', { type: 'rect', width: 80, height: 40 }],
    ['indicator', { type: 'indicator', width: 40, height: 40 }],
  ])('adds a "%s"', (data, fields) => {
    const probe = mount({ scheme: scheme([]) });
    drop(data);
    expect(probe.state.scheme.elements).toEqual([
      expect.objectContaining({ x: 100, y: 50, ...fields }),
    ]);
  });

  it.each(['', 'Hello from a text editor', 'circle', 'symbol:', 'RECT'])(
    'adds nothing for %j',
    (data) => {
      const probe = mount({ scheme: scheme([]) });
      expect(() => drop(data)).not.toThrow();
      expect(probe.actions).toEqual([]);
    },
  );
});

describe('EditorCanvas wheel', () => {
  it.each([
    [1, -100, 1.25],
    [1, 100, 0.8],
    [4, -100, 4],
  ])('zooms from %s with Ctrl and a delta of %s to %s', (zoom, deltaY, expected) => {
    const probe = mount({ scheme: scheme([]), zoom });
    const allowed = fireEvent.wheel(canvas(), { deltaY, ctrlKey: true });
    expect(allowed).toBe(false);
    expect(probe.state.zoom).toBeCloseTo(expected, 12);
  });

  it('leaves the wheel to the page without Ctrl', () => {
    const probe = mount({ scheme: scheme([]) });
    expect(fireEvent.wheel(canvas(), { deltaY: -100 })).toBe(true);
    expect(probe.actions).toEqual([]);
  });
});
