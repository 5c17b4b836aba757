// The inspector beside the canvas, as the editor lays them out: an edit in the
// inspector redraws the edited element's drawing and no other.
import { act, fireEvent, render, screen } from '@testing-library/react';
import { describe, expect, it, vi } from 'vitest';
import { renderElement } from '../../view/render';
import { EditorCanvas } from '../canvas';
import { EditorProvider, useEditor, type EditorContextValue } from '../model';
import { makeState, rect } from '../model/testFixtures';
import { DataSourceContext } from './dataSource';
import { PropertyInspector } from './PropertyPanel';
import { fakeSource } from './testSource';

// Mocked where it is defined: the shell's entry also imports the editor.
vi.mock('../../view/render', async (importOriginal) => {
  const actual = await importOriginal<typeof import('../../view/render')>();
  return { ...actual, renderElement: vi.fn(actual.renderElement) };
});

let editor: EditorContextValue;
function Probe() {
  editor = useEditor();
  return null;
}

function mountLayout(count: number, selectedIds: string[]) {
  const elements = Array.from({ length: count }, (_, i) => rect(`el-${i + 1}`, i * 30, 10));
  render(
    <EditorProvider initial={makeState(elements, { selectedIds })}>
      <DataSourceContext.Provider value={fakeSource()}>
        <div className="mnemo-editor orvo-root">
          <div className="mnemo-editor__body">
            <div className="mnemo-editor__canvas" data-zone="canvas">
              <EditorCanvas />
            </div>
            <div className="mnemo-editor__props" data-zone="props">
              <PropertyInspector />
            </div>
          </div>
        </div>
        <Probe />
      </DataSourceContext.Provider>
    </EditorProvider>,
  );
}

const drawnIds = () => vi.mocked(renderElement).mock.calls.map(([element]) => element.id);

describe('the inspector in the editing layout', () => {
  it('redraws only the edited element while typing', () => {
    mountLayout(40, ['el-7']);
    expect(renderElement).toHaveBeenCalledTimes(40);
    vi.mocked(renderElement).mockClear();
    fireEvent.change(screen.getByLabelText('X'), { target: { value: '5' } });
    fireEvent.change(screen.getByLabelText('Заливка'), { target: { value: '#ABCDEF' } });
    expect(drawnIds()).toEqual(['el-7', 'el-7']);
    expect(editor.state.scheme.elements[6]).toMatchObject({ x: 5, style: { fill: '#abcdef' } });
  });

  it('redraws every selected element, and only those, on a multi-selection edit', () => {
    mountLayout(40, ['el-3', 'el-9']);
    vi.mocked(renderElement).mockClear();
    fireEvent.change(screen.getByLabelText('Y'), { target: { value: '70' } });
    expect(drawnIds().sort()).toEqual(['el-3', 'el-9']);
    act(() => editor.dispatch({ type: 'undo' }));
    expect(editor.state.scheme.elements.map((e) => e.y)).toEqual(Array(40).fill(10));
  });
});
