import { act, createEvent, fireEvent, render, screen } from '@testing-library/react';
import { describe, expect, it } from 'vitest';
import type { DataSource, PointValue } from '../../data';
import type { Scheme, SchemeElement } from '../../scheme';
import { DataSourceContext } from '../properties';
import {
  createEditorState,
  EditorProvider,
  serializeElementBuffer,
  useEditor,
  type EditorState,
} from '../model';
import { EditorLayout } from './EditorLayout';

function rect(id: string, x = 10, y = 20): SchemeElement {
  return {
    id,
    type: 'rect',
    x,
    y,
    width: 40,
    height: 30,
    style: { fill: '#cccccc' },
    pointId: 'LT-101',
    conditions: [{ when: { field: 'value', op: 'gt', value: 5 }, set: { fill: '#d1242f' } }],
  };
}

const scheme: Scheme = {
  schemaVersion: 1,
  id: 'edit-me',
  name: 'Правка',
  size: { width: 320, height: 200 },
  elements: [rect('a'), rect('b', 100, 100)],
};

/** A data source that answers nothing by itself; `push` delivers values. */
function fakeSource() {
  const listeners = new Set<(values: PointValue[]) => void>();
  const source: DataSource = {
    subscribe: (_ids, callback) => {
      listeners.add(callback);
      return () => listeners.delete(callback);
    },
    read: () => new Promise(() => {}),
    listPoints: () => new Promise(() => {}),
    writeCommand: () => Promise.resolve(),
    getHistory: () => Promise.resolve([]),
    subscribeEvents: () => () => {},
  };
  const push = (values: PointValue[]) => act(() => listeners.forEach((l) => l(values)));
  return { source, listeners, push };
}

function renderLayout(overrides: Partial<EditorState> = {}) {
  const data = fakeSource();
  const latest = { state: { ...createEditorState(scheme), ...overrides } };
  function Probe() {
    latest.state = useEditor().state;
    return null;
  }
  render(
    <EditorProvider initial={latest.state}>
      <DataSourceContext.Provider value={data.source}>
        <EditorLayout previewDataSource={data.source} />
        <Probe />
      </DataSourceContext.Provider>
    </EditorProvider>,
  );
  const root = document.querySelector('.mnemo-editor') as HTMLElement;
  return { root, latest, data };
}

const zone = (name: string) => document.querySelector(`[data-zone="${name}"]`) as HTMLElement;
const toPreview = () => fireEvent.click(screen.getByRole('button', { name: 'Предпросмотр' }));
const toEdit = () => fireEvent.click(screen.getByRole('button', { name: 'Редактор' }));

/** Fires a copy event whose clipboard data is recorded; returns what was set and whether it was prevented. */
function copyOn(node: Element) {
  const data: Record<string, string> = {};
  const event = createEvent.copy(node, {
    clipboardData: { setData: (type: string, text: string) => (data[type] = text) },
  });
  fireEvent(node, event);
  return { data, prevented: event.defaultPrevented };
}

function pasteOn(node: Element, text: string) {
  const event = createEvent.paste(node, {
    clipboardData: { getData: (type: string) => (type === 'text/plain' ? text : '') },
  });
  fireEvent(node, event);
  return event.defaultPrevented;
}

describe('EditorLayout', () => {
  it('lays out the toolbar, the mode switch and the three zones in a focusable root', () => {
    const { root } = renderLayout();
    expect(root).toHaveClass('mnemo-editor', 'orvo-root');
    expect(root).toHaveAttribute('tabindex', '-1');
    expect(root.children[0]).toHaveClass('mnemo-editor__toolbar');
    expect(root.querySelector('.mnemo-editor__mode [role="group"]')).toHaveAttribute(
      'aria-label',
      'Режим канвы',
    );
    const body = root.children[1];
    expect(body).toHaveClass('mnemo-editor__body');
    expect(
      Array.from(body.children).map((c) => [c.className, c.getAttribute('data-zone')]),
    ).toEqual([
      ['mnemo-editor__palette', 'palette'],
      ['mnemo-editor__canvas', 'canvas'],
      ['mnemo-editor__props', 'props'],
    ]);
    expect(zone('palette').querySelector('.orvo-palette')).not.toBeNull();
    expect(zone('canvas').querySelector('[data-testid="canvas"]')).not.toBeNull();
    expect(screen.getByRole('button', { name: 'Редактор' })).toHaveAttribute(
      'aria-pressed',
      'true',
    );
  });

  it('gives the root the focus on a press anywhere in the canvas zone, after which Delete removes', () => {
    const { root, latest } = renderLayout({ selectedIds: ['b'] });
    expect(document.activeElement).not.toBe(root);
    fireEvent.pointerDown(zone('canvas'));
    expect(document.activeElement).toBe(root);
    fireEvent.keyDown(document.activeElement as Element, { key: 'Delete' });
    expect(latest.state.scheme.elements.map((e) => e.id)).toEqual(['a']);
  });

  it('takes keys from toolbar buttons but leaves those typed into fields alone', () => {
    const { latest } = renderLayout({ selectedIds: ['a'] });
    const step = screen.getByRole('spinbutton', { name: 'Шаг сетки' });
    fireEvent.keyDown(step, { key: 'Backspace' });
    fireEvent.keyDown(step, { key: 'a', ctrlKey: true });
    expect(latest.state.scheme).toBe(scheme);
    expect(latest.state.selectedIds).toEqual(['a']);

    fireEvent.keyDown(screen.getByRole('button', { name: 'Отменить' }), {
      key: 'ArrowRight',
      shiftKey: true,
    });
    expect(latest.state.scheme.elements[0]).toMatchObject({ x: 20, y: 20 });
  });

  it('shows the preview of the edited scheme at its size, hiding palette, inspector and selection actions', () => {
    const { root, latest, data } = renderLayout({ selectedIds: ['a'] });
    fireEvent.keyDown(root, { key: 'ArrowDown', shiftKey: true });
    toPreview();

    expect(zone('palette')).toBeNull();
    expect(zone('props')).toBeNull();
    expect(root.children[1]).toHaveClass('mnemo-editor__body', 'mnemo-editor__body--preview');
    const preview = screen.getByTestId('preview');
    expect(preview).toHaveStyle({ width: '320px', height: '200px' });
    expect(preview.querySelector('svg')).toHaveAttribute('viewBox', '0 0 320 200');
    expect(preview.querySelector('[data-element-id="a"]')).toHaveAttribute('y', '30');
    expect(screen.getByRole('button', { name: 'Отменить' })).toBeEnabled();
    expect(screen.queryByRole('button', { name: 'Копировать' })).toBeNull();
    expect(screen.queryByRole('button', { name: 'Вставить' })).toBeNull();

    // Live values reach the preview, and it follows an undo.
    data.push([{ id: 'LT-101', value: 9, status: 'good', timestamp: 1 }]);
    expect(preview.querySelector('[data-element-id="a"]')).toHaveAttribute('fill', '#d1242f');
    fireEvent.keyDown(root, { key: 'z', ctrlKey: true });
    expect(preview.querySelector('[data-element-id="a"]')).toHaveAttribute('y', '20');
    expect(latest.state.selectedIds).toEqual([]);

    toEdit();
    expect(zone('canvas')).not.toBeNull();
    expect(latest.state.future).toHaveLength(1);
  });

  it('acts on shortcuts in preview: Delete removes the still selected elements', () => {
    const { root, latest } = renderLayout({ selectedIds: ['a', 'b'] });
    toPreview();
    fireEvent.keyDown(root, { key: 'Delete' });
    expect(latest.state.scheme.elements).toEqual([]);
    expect(screen.getByTestId('preview').querySelectorAll('[data-element-id]')).toHaveLength(0);
  });
});

describe('copy and paste events at the editor root', () => {
  it('copies the selection in scheme order as the buffer text and fills the page buffer', () => {
    const { root, latest } = renderLayout({ selectedIds: ['b', 'a', 'gone'] });
    const { data, prevented } = copyOn(root);
    const text = serializeElementBuffer([rect('a'), rect('b', 100, 100)]);
    expect(data).toEqual({ 'text/plain': text });
    expect(prevented).toBe(true);
    expect(latest.state.clipboard).toEqual({ json: text });
  });

  it.each([
    ['with nothing selected', [], false, 'root'],
    ['when none of the selected ids exists', ['gone'], false, 'root'],
    ['in a text field', ['a'], false, 'field'],
    ['in preview', ['a'], true, 'root'],
  ])('leaves the platform copy alone %s', (_, selectedIds, preview, where) => {
    const { root, latest } = renderLayout({ selectedIds });
    if (preview) toPreview();
    const node = where === 'field' ? screen.getByRole('spinbutton', { name: 'Шаг сетки' }) : root;
    expect(copyOn(node)).toEqual({ data: {}, prevented: false });
    expect(latest.state.clipboard).toBeUndefined();
  });

  it('fills the page buffer from a copy event without clipboard data, leaving the platform copy', () => {
    const { root, latest } = renderLayout({ selectedIds: ['a'] });
    const copy = createEvent.copy(root);
    Object.defineProperty(copy, 'clipboardData', { value: null });
    fireEvent(root, copy);
    expect(copy.defaultPrevented).toBe(false);
    expect(latest.state.clipboard).toEqual({ json: serializeElementBuffer([rect('a')]) });

    const paste = createEvent.paste(root);
    Object.defineProperty(paste, 'clipboardData', { value: null });
    fireEvent(root, paste);
    expect(paste.defaultPrevented).toBe(false);
    expect(latest.state.scheme).toBe(scheme);
  });

  const buffer = serializeElementBuffer([rect('z', 0, 0)]);

  it('pastes a buffer text from the event, also one edited by hand', () => {
    const { root, latest } = renderLayout();
    const edited = buffer.replace('"x": 0', '"x": 50');
    expect(pasteOn(root, edited)).toBe(true);
    const pasted = latest.state.scheme.elements[2];
    expect(pasted).toMatchObject({ id: 'el-1', x: 60, y: 10 });
    expect(latest.state.selectedIds).toEqual(['el-1']);
  });

  it.each([
    ['plain text', 'hello', false, 'root'],
    ['a buffer in preview', buffer, true, 'root'],
    ['a buffer in a text field', buffer, false, 'field'],
  ])('ignores %s without a message', (_, text, preview, where) => {
    const { root, latest } = renderLayout();
    if (preview) toPreview();
    const node = where === 'field' ? screen.getByRole('spinbutton', { name: 'Шаг сетки' }) : root;
    expect(pasteOn(node, text)).toBe(false);
    expect(latest.state.scheme).toBe(scheme);
    expect(latest.state.clipboardError).toBeUndefined();
  });

  it('reports a broken buffer text through the clipboard message', () => {
    const { root, latest } = renderLayout();
    expect(pasteOn(root, '{"orvo": ')).toBe(true);
    expect(latest.state.scheme).toBe(scheme);
    expect(screen.getByTestId('clipboard-error')).toHaveTextContent('Буфер не содержит JSON');
  });
});
