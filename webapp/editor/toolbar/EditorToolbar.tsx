import { useRef, useState, type ChangeEvent } from 'react';
import { Button, IconButton, Toggle, Toolbar, ToolbarGap, ToolbarSeparator } from '../kit';
import { useEditor, useSchemeCatalog, ZOOM_FACTOR } from '../model';
import { DiskFileNotice } from './diskFile';
import { PipeToolButton } from './PipeToolButton';
import { SchemeFilesProvider, useSchemeFiles } from './schemeFiles';
import { SelectionActions } from './SelectionActions';

/** The zoom as the toolbar shows it: a whole percentage, halves rounded up, then " %". */
export function zoomLabel(zoom: number): string {
  return `${Math.round(zoom * 100)} %`;
}

export interface EditorToolbarProps {
  /** Whether the canvas shows the preview; the selection actions are hidden then. */
  preview: boolean;
}

const gridInputStyle = { width: '56px' };
const messageStyle = { color: 'var(--orvo-alarm)' };

export function EditorToolbar({ preview }: EditorToolbarProps) {
  // The editor shell provides the files; a toolbar on its own keeps its own.
  if (useSchemeFiles() === null) {
    return (
      <SchemeFilesProvider>
        <EditorToolbar preview={preview} />
      </SchemeFilesProvider>
    );
  }
  return <ToolbarItems preview={preview} />;
}

function ToolbarItems({ preview }: EditorToolbarProps) {
  const { state, dispatch } = useEditor();
  const files = useSchemeFiles();
  const catalog = useSchemeCatalog();
  const fileInput = useRef<HTMLInputElement>(null);

  const onFileChosen = async (event: ChangeEvent<HTMLInputElement>) => {
    const input = event.currentTarget;
    const file = input.files?.[0];
    try {
      if (file) await files?.load(file);
    } finally {
      // Choosing the same file again is then reported again.
      input.value = '';
    }
  };

  // The text being typed stays in the field until it loses the focus: showing
  // the clamped step at once would turn a cleared "10" into "1" under the
  // caret, so typing "20" there would give 120.
  const [typedGrid, setTypedGrid] = useState<string>();
  const onGridInput = (event: ChangeEvent<HTMLInputElement>) => {
    const text = event.currentTarget.value;
    setTypedGrid(text);
    const step = text === '' ? 0 : Number(text);
    if (Number.isFinite(step)) dispatch({ type: 'setGrid', gridSize: step });
  };

  return (
    <Toolbar>
      <IconButton
        icon="undo"
        label="Отменить"
        disabled={state.past.length === 0}
        onClick={() => dispatch({ type: 'undo' })}
      />
      <IconButton
        icon="redo"
        label="Повторить"
        disabled={state.future.length === 0}
        onClick={() => dispatch({ type: 'redo' })}
      />
      <ToolbarSeparator />
      {catalog.newScheme && (
        <IconButton icon="newScheme" label="Новая схема" onClick={catalog.newScheme} />
      )}
      <IconButton icon="save" label="Сохранить схему в файл" onClick={() => files?.save()} />
      <IconButton
        icon="open"
        label="Загрузить схему из файла"
        onClick={() => fileInput.current?.click()}
      />
      <input
        ref={fileInput}
        type="file"
        accept="application/json"
        data-testid="import-input"
        style={{ display: 'none' }}
        onChange={(event) => void onFileChosen(event)}
      />
      <ToolbarSeparator />
      <Toggle
        label="Привязка к сетке"
        checked={state.snapEnabled}
        onChange={() => dispatch({ type: 'toggleSnap' })}
      />
      <input
        className="orvo-input"
        style={gridInputStyle}
        aria-label="Шаг сетки"
        type="number"
        min={1}
        value={typedGrid ?? state.gridSize}
        onChange={onGridInput}
        onBlur={() => setTypedGrid(undefined)}
      />
      {!preview && <PipeToolButton />}
      {!preview && <SelectionActions />}
      <ToolbarGap />
      <DiskFileNotice />
      {files?.fileMessage !== undefined && (
        <span data-testid="import-error" role="alert" style={messageStyle}>
          {files.fileMessage}
        </span>
      )}
      <IconButton
        icon="zoomOut"
        label="Уменьшить"
        onClick={() => dispatch({ type: 'setZoom', zoom: state.zoom / ZOOM_FACTOR })}
      />
      <Button
        size="sm"
        variant="ghost"
        data-testid="zoom-label"
        title="Вернуть 100 %"
        onClick={() => dispatch({ type: 'setZoom', zoom: 1 })}
      >
        {zoomLabel(state.zoom)}
      </Button>
      <IconButton
        icon="zoomIn"
        label="Увеличить"
        onClick={() => dispatch({ type: 'setZoom', zoom: state.zoom * ZOOM_FACTOR })}
      />
    </Toolbar>
  );
}
