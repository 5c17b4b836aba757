import { useRef, useState, type ClipboardEvent, type KeyboardEvent } from 'react';
import type { DataSource } from '../../data';
import { EditorCanvas } from '../canvas';
import { PropertyInspector } from '../properties';
import { SegmentedSwitch, type SegmentedOption } from '../kit';
import { isElementBuffer, serializeElementBuffer, useEditor } from '../model';
import { ElementPalette } from '../palette';
import { EditorToolbar, selectedElements } from '../toolbar';
import { handleEditorKey, isTextEntryTarget } from './keys';
import { PreviewPane } from './PreviewPane';

export type CanvasMode = 'edit' | 'preview';

export const canvasModeOptions: ReadonlyArray<SegmentedOption<CanvasMode>> = [
  { value: 'edit', label: 'Редактор' },
  { value: 'preview', label: 'Предпросмотр' },
];

export interface EditorLayoutProps {
  previewDataSource: DataSource;
}

/**
 * The editor's root: the toolbar, the canvas-mode switch and the working
 * zones. Keys and the platform's copy and paste reach it from every control
 * inside, so shortcuts and the clipboard are handled here, in one place.
 */
export function EditorLayout({ previewDataSource }: EditorLayoutProps) {
  const { state, dispatch } = useEditor();
  const [mode, setMode] = useState<CanvasMode>('edit');
  const rootRef = useRef<HTMLDivElement>(null);
  const preview = mode === 'preview';

  const onKeyDown = (event: KeyboardEvent<HTMLDivElement>) => {
    handleEditorKey(event, state, dispatch);
  };

  const onCopy = (event: ClipboardEvent<HTMLDivElement>) => {
    if (preview || isTextEntryTarget(event.target) || state.selectedIds.length === 0) return;
    const elements = selectedElements(state);
    if (elements.length === 0) return;
    // Without clipboard data (an event made by script) the platform copy goes
    // ahead; the page buffer still takes the elements.
    const data = event.clipboardData as DataTransfer | null;
    if (data) {
      data.setData('text/plain', serializeElementBuffer(elements));
      event.preventDefault();
    }
    dispatch({ type: 'copy' });
  };

  const onPaste = (event: ClipboardEvent<HTMLDivElement>) => {
    if (preview || isTextEntryTarget(event.target)) return;
    const data = event.clipboardData as DataTransfer | null;
    const text = data ? data.getData('text/plain') : '';
    if (!isElementBuffer(text)) return;
    event.preventDefault();
    dispatch({ type: 'paste', json: text });
  };

  // A press on the canvas gives the root the focus first, so that the keys and
  // the clipboard events that follow reach the editor.
  const focusRoot = () => rootRef.current?.focus({ preventScroll: true });

  return (
    <div
      ref={rootRef}
      className="mnemo-editor orvo-root"
      tabIndex={-1}
      onKeyDown={onKeyDown}
      onCopy={onCopy}
      onPaste={onPaste}
    >
      <div className="mnemo-editor__toolbar">
        <EditorToolbar preview={preview} />
        <div className="mnemo-editor__mode">
          <SegmentedSwitch
            label="Режим канвы"
            options={canvasModeOptions}
            value={mode}
            onChange={setMode}
          />
        </div>
      </div>
      {preview ? (
        <div className="mnemo-editor__body mnemo-editor__body--preview">
          <PreviewPane scheme={state.scheme} dataSource={previewDataSource} />
        </div>
      ) : (
        <div className="mnemo-editor__body">
          <div className="mnemo-editor__palette" data-zone="palette">
            <ElementPalette />
          </div>
          <div className="mnemo-editor__canvas" data-zone="canvas" onPointerDownCapture={focusRoot}>
            <EditorCanvas />
          </div>
          <div className="mnemo-editor__props" data-zone="props">
            <PropertyInspector />
          </div>
        </div>
      )}
    </div>
  );
}
