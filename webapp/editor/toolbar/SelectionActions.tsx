import { useState } from 'react';
import type { SchemeElement } from '../../scheme';
import { IconButton, ToolbarSeparator, type IconName } from '../kit';
import {
  isElementBuffer,
  ROTATION_STEP,
  serializeElementBuffer,
  useEditor,
  type EditorState,
  type ReorderMode,
} from '../model';

export interface ReorderModeEntry {
  mode: ReorderMode;
  icon: IconName;
  label: string;
}

export const reorderModes: readonly ReorderModeEntry[] = [
  { mode: 'front', icon: 'toFront', label: 'На передний план' },
  { mode: 'forward', icon: 'forward', label: 'На шаг вперёд' },
  { mode: 'backward', icon: 'backward', label: 'На шаг назад' },
  { mode: 'back', icon: 'toBack', label: 'На задний план' },
];

export const PAGE_BUFFER_HINT =
  'Буфер ОС недоступен, вставлена копия из буфера страницы; для вставки правленого JSON нажмите Ctrl+V.';

/** The selected elements in scheme order. */
export function selectedElements(state: EditorState): SchemeElement[] {
  const ids = new Set(state.selectedIds);
  return state.scheme.elements.filter((element) => ids.has(element.id));
}

/** The system clipboard's text, or nothing when the clipboard cannot be read. */
async function readSystemClipboard(): Promise<string | undefined> {
  try {
    const clipboard = navigator.clipboard as Clipboard | undefined;
    if (!clipboard || typeof clipboard.readText !== 'function') return undefined;
    return await clipboard.readText();
  } catch {
    return undefined;
  }
}

function writeSystemClipboard(text: string): void {
  try {
    const clipboard = navigator.clipboard as Clipboard | undefined;
    // Not awaited: the page buffer holds the copy whatever the system says.
    clipboard?.writeText(text).catch(() => undefined);
  } catch {
    // No clipboard interface: the page buffer still holds the copy.
  }
}

const alertStyle = { color: 'var(--orvo-alarm)' };
const hintStyle = { color: 'var(--orvo-text-muted)' };

export function SelectionActions() {
  const { state, dispatch } = useEditor();
  const [pasteHint, setPasteHint] = useState<string | undefined>(undefined);
  const ids = state.selectedIds;

  const copy = () => {
    const elements = selectedElements(state);
    if (elements.length === 0) return;
    writeSystemClipboard(serializeElementBuffer(elements));
    dispatch({ type: 'copy' });
  };

  const paste = async () => {
    // The fallback is decided from the state as it was at the click.
    const pageBuffer = state.clipboard?.json;
    const systemText = await readSystemClipboard();
    const text = systemText ?? '';
    if (isElementBuffer(text)) {
      setPasteHint(undefined);
      dispatch({ type: 'paste', json: text });
    } else if (pageBuffer !== undefined) {
      setPasteHint(systemText === undefined ? PAGE_BUFFER_HINT : undefined);
      dispatch({ type: 'paste', json: pageBuffer });
    } else {
      setPasteHint(undefined);
      dispatch({ type: 'paste', json: text });
    }
  };

  return (
    <>
      {ids.length > 0 && (
        <>
          <ToolbarSeparator />
          {reorderModes.map(({ mode, icon, label }) => (
            <IconButton
              key={mode}
              icon={icon}
              label={label}
              onClick={() => dispatch({ type: 'reorder', ids, mode })}
            />
          ))}
          <ToolbarSeparator />
          <IconButton
            icon="rotateCcw"
            label={`Повернуть против часовой стрелки на ${ROTATION_STEP}°`}
            onClick={() => dispatch({ type: 'rotate', ids, direction: -1 })}
          />
          <IconButton
            icon="rotateCw"
            label={`Повернуть по часовой стрелке на ${ROTATION_STEP}°`}
            onClick={() => dispatch({ type: 'rotate', ids, direction: 1 })}
          />
          <ToolbarSeparator />
          <IconButton icon="copy" label="Копировать" onClick={copy} />
          <IconButton
            icon="trash"
            label="Удалить"
            onClick={() => dispatch({ type: 'remove', ids })}
          />
        </>
      )}
      <ToolbarSeparator />
      <IconButton icon="paste" label="Вставить" onClick={() => void paste()} />
      {state.clipboardError !== undefined && (
        <span data-testid="clipboard-error" role="alert" style={alertStyle}>
          {state.clipboardError}
        </span>
      )}
      {pasteHint !== undefined && (
        <span data-testid="clipboard-hint" role="status" style={hintStyle}>
          {pasteHint}
        </span>
      )}
    </>
  );
}
