import '../../symbols';
import { fireEvent, render, screen } from '@testing-library/react';
import { useMemo } from 'react';
import type { Scheme, SchemeElement } from '../../scheme';
import {
  EditorContext,
  EditorProvider,
  createEditorState,
  useEditor,
  type EditorAction,
  type EditorState,
} from '../model';
import { pipe } from '../model/testFixtures';
import { PipeToolButton } from '../toolbar';
import { EditorCanvas } from './EditorCanvas';

// jsdom has no pointer events and lays nothing out: a client point is the
// scheme point at zoom 1.
class TestPointerEvent extends MouseEvent {
  readonly pointerId: number;
  constructor(type: string, init: PointerEventInit = {}) {
    super(type, init);
    this.pointerId = init.pointerId ?? 1;
  }
}
beforeAll(() => {
  vi.stubGlobal('PointerEvent', TestPointerEvent);
});
afterAll(() => {
  vi.unstubAllGlobals();
});

function scheme(elements: SchemeElement[]): Scheme {
  return { schemaVersion: 1, id: 't', name: 'T', size: { width: 400, height: 300 }, elements };
}

const box: SchemeElement = {
  id: 'r',
  type: 'rect',
  x: 200,
  y: 200,
  width: 60,
  height: 40,
  style: { fill: '#cccccc' },
};

function mount(initial: Partial<EditorState> & { scheme: Scheme }) {
  const probe = { actions: [] as EditorAction[], state: undefined as unknown as EditorState };
  const rootKeys = vi.fn();
  function Recording() {
    const editor = useEditor();
    probe.state = editor.state;
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
        <div onKeyDown={rootKeys}>
          <PipeToolButton />
          <EditorCanvas />
        </div>
      </EditorContext.Provider>
    );
  }
  render(
    <EditorProvider initial={{ ...createEditorState(initial.scheme), ...initial }}>
      <Recording />
    </EditorProvider>,
  );
  return { probe, rootKeys };
}

const toolButton = () => screen.getByRole('button', { name: 'Нарисовать трубу' });
const overlay = () => screen.getByTestId('pipe-tool');

function clickAt(target: Element, x: number, y: number, shiftKey = false) {
  fireEvent.pointerDown(target, { clientX: x, clientY: y, button: 0, shiftKey });
  fireEvent.pointerUp(target, { clientX: x, clientY: y });
}

describe('drawing a pipe', () => {
  it('places snapped vertices, Shift keeping a segment straight, and Enter adds one pipe', () => {
    const { probe } = mount({ scheme: scheme([box]) });
    fireEvent.click(toolButton());
    expect(toolButton()).toHaveAttribute('aria-pressed', 'true');
    clickAt(overlay(), 22, 18);
    clickAt(overlay(), 97, 31, true);
    fireEvent.pointerMove(overlay(), { clientX: 104, clientY: 143 });
    // The draft follows the pointer without a command.
    expect(screen.getByTestId('pipe-draft').querySelector('line')).toHaveAttribute('y2', '140');
    clickAt(overlay(), 104, 143);
    // A click on an element places a vertex there rather than selecting it.
    clickAt(overlay(), 221, 219);
    expect(probe.actions).toEqual([]);
    fireEvent.keyDown(overlay(), { key: 'Enter' });

    expect(probe.actions.map((a) => a.type)).toEqual(['add']);
    const added = probe.state.scheme.elements[1];
    expect(added).toMatchObject({
      type: 'polyline',
      points: [20, 20, 100, 20, 100, 140, 220, 220],
      x: 20,
      y: 20,
      width: 200,
      height: 200,
      style: { stroke: '#4a8f4a', strokeWidth: 4, flow: true },
    });
    expect(probe.state.selectedIds).toEqual([added.id]);
    expect(toolButton()).toHaveAttribute('aria-pressed', 'false');
    expect(screen.queryByTestId('pipe-tool')).toBeNull();
  });

  it('ends on a double click without a duplicate vertex', () => {
    const { probe } = mount({ scheme: scheme([]) });
    fireEvent.click(toolButton());
    clickAt(overlay(), 10, 10);
    clickAt(overlay(), 60, 10);
    clickAt(overlay(), 61, 11);
    fireEvent.doubleClick(overlay(), { clientX: 61, clientY: 11 });
    expect(probe.state.scheme.elements.map((e) => e.points)).toEqual([[10, 10, 60, 10]]);
    expect(toolButton()).toHaveAttribute('aria-pressed', 'false');
  });

  it.each<[string, () => void]>([
    ['Esc drops the pipe', () => fireEvent.keyDown(overlay(), { key: 'Escape' })],
    ['the button pressed again drops it', () => fireEvent.click(toolButton())],
  ])('%s and disarms the tool', (_, end) => {
    const { probe, rootKeys } = mount({ scheme: scheme([]) });
    fireEvent.click(toolButton());
    clickAt(overlay(), 10, 10);
    clickAt(overlay(), 60, 10);
    end();
    expect(probe.actions).toEqual([]);
    expect(toolButton()).toHaveAttribute('aria-pressed', 'false');
    expect(rootKeys).not.toHaveBeenCalled();
    // The next arming starts afresh.
    fireEvent.click(toolButton());
    clickAt(overlay(), 100, 100);
    clickAt(overlay(), 100, 50);
    fireEvent.keyDown(overlay(), { key: 'Enter' });
    expect(probe.state.scheme.elements.map((e) => e.points)).toEqual([[100, 100, 100, 50]]);
  });

  it('adds nothing on Enter with fewer than two different vertices', () => {
    const { probe } = mount({ scheme: scheme([]), snapEnabled: true });
    fireEvent.click(toolButton());
    clickAt(overlay(), 10, 10);
    clickAt(overlay(), 12, 8);
    fireEvent.keyDown(overlay(), { key: 'Enter' });
    expect(probe.actions).toEqual([]);
    expect(toolButton()).toHaveAttribute('aria-pressed', 'false');
  });
});

describe('vertex handles of a selected pipe', () => {
  const l = pipe('p', [20, 20, 100, 20, 100, 80]);
  const handle = (n: number) => screen.getByRole('button', { name: `Вершина ${n}` });

  it('shows one labelled, focusable handle per vertex, only for a single selected pipe', () => {
    mount({ scheme: scheme([l, box]), selectedIds: ['p'] });
    expect(screen.getAllByRole('button', { name: /^Вершина/ })).toHaveLength(3);
    expect(handle(3)).toHaveAttribute('cx', '100');
    expect(handle(3)).toHaveAttribute('cy', '80');
    expect(handle(1)).toHaveAttribute('tabindex', '0');
  });

  it.each<[string, Partial<EditorState>]>([
    ['a rectangle', { selectedIds: ['r'] }],
    ['two elements', { selectedIds: ['p', 'r'] }],
  ])('shows none for %s', (_, initial) => {
    mount({ scheme: scheme([l, box]), ...initial });
    expect(screen.queryByTestId('vertex-handles')).toBeNull();
  });

  it('drags a vertex by writing attributes, then commits one snapped moveVertex', () => {
    const { probe } = mount({ scheme: scheme([l]), selectedIds: ['p'] });
    const line = document.querySelector('[data-drag-node="p"] polyline');
    fireEvent.pointerDown(handle(2), { clientX: 101, clientY: 21 });
    fireEvent.pointerMove(handle(2), { clientX: 134, clientY: 46 });
    expect(line).toHaveAttribute('points', '20,20 130,50 100,80');
    expect(handle(2)).toHaveAttribute('cx', '130');
    expect(probe.actions).toEqual([]);
    fireEvent.pointerUp(handle(2), { clientX: 134, clientY: 46 });
    expect(probe.actions).toEqual([{ type: 'moveVertex', id: 'p', index: 1, x: 130, y: 50 }]);
    expect(probe.state.scheme.elements[0]).toMatchObject({
      points: [20, 20, 130, 50, 100, 80],
      x: 20,
      y: 20,
      width: 110,
      height: 60,
    });
    expect(line).toHaveAttribute('points', '20,20 130,50 100,80');
  });

  it('commits nothing for a press without a move', () => {
    const { probe } = mount({ scheme: scheme([l]), selectedIds: ['p'] });
    fireEvent.pointerDown(handle(2), { clientX: 100, clientY: 20 });
    fireEvent.pointerUp(handle(2), { clientX: 100, clientY: 20 });
    expect(probe.actions).toEqual([]);
  });

  it('removes the focused vertex on Delete, keeps the pipe, and stops at two vertices', () => {
    const { probe, rootKeys } = mount({ scheme: scheme([l]), selectedIds: ['p'] });
    handle(2).focus();
    fireEvent.keyDown(handle(2), { key: 'Delete' });
    expect(probe.actions).toEqual([{ type: 'removeVertex', id: 'p', index: 1 }]);
    expect(probe.state.scheme.elements[0].points).toEqual([20, 20, 100, 80]);
    expect(document.activeElement).toBe(handle(2));
    fireEvent.keyDown(handle(2), { key: 'Backspace' });
    expect(probe.actions).toHaveLength(1);
    expect(probe.state.scheme.elements).toHaveLength(1);
    expect(rootKeys).not.toHaveBeenCalled();
  });

  it('inserts a snapped vertex on the segment double-clicked', () => {
    const { probe } = mount({ scheme: scheme([l]), selectedIds: ['p'] });
    const drawn = document.querySelector('[data-drag-node="p"] polyline') as Element;
    fireEvent.doubleClick(drawn, { clientX: 101, clientY: 47 });
    fireEvent.doubleClick(drawn, { clientX: 60, clientY: 60 });
    expect(probe.actions).toEqual([{ type: 'insertVertex', id: 'p', index: 2, x: 100, y: 50 }]);
    expect(probe.state.scheme.elements[0].points).toEqual([20, 20, 100, 20, 100, 50, 100, 80]);
  });

  it('puts the handles of a turned pipe where its vertices are drawn, and they stay there', () => {
    const turned = { ...pipe('t', [100, 100, 200, 100, 200, 140]), rotation: 90 };
    const { probe } = mount({ scheme: scheme([turned]), selectedIds: ['t'] });
    const at = (n: number) => [handle(n).getAttribute('cx'), handle(n).getAttribute('cy')];
    // A quarter turn about (150, 120).
    expect([at(1), at(2), at(3)]).toEqual([
      ['170', '70'],
      ['170', '170'],
      ['130', '170'],
    ]);
    fireEvent.pointerDown(handle(3), { clientX: 130, clientY: 170 });
    fireEvent.pointerMove(handle(3), { clientX: 100, clientY: 190 });
    fireEvent.pointerUp(handle(3), { clientX: 100, clientY: 190 });
    expect(probe.actions).toEqual([{ type: 'moveVertex', id: 't', index: 2, x: 100, y: 190 }]);
    expect([at(1), at(2), at(3)]).toEqual([
      ['170', '70'],
      ['170', '170'],
      ['100', '190'],
    ]);
  });

  it('lets the end handles of a straight pipe resize it', () => {
    mount({ scheme: scheme([pipe('s', [20, 20, 100, 20])]), selectedIds: ['s'] });
    expect(handle(1)).toHaveAttribute('pointer-events', 'none');
    expect(handle(2)).toHaveAttribute('pointer-events', 'none');
  });
});
