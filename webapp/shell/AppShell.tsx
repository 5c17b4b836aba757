import {
  useEffect,
  useMemo,
  useRef,
  useState,
  useSyncExternalStore,
  type KeyboardEvent,
} from 'react';
import { connectionMessage, type ConnectionMonitor, type DataSource } from '../data';
import {
  Button,
  SchemeEditor,
  SegmentedSwitch,
  UNSAVED_EDITS_TEXT,
  type SchemeDiskChange,
  type SchemeDiskFile,
  type SchemeEditorHandle,
  type SegmentedOption,
} from '../editor';
import type { Scheme } from '../scheme';
import { startMarkerClock } from '../styles';
import type { SchemeRegistry } from './registry';
import { RuntimeView } from './RuntimeView';
import type { FolderSchemeEntry, SchemeFolderSource } from './schemeFolder';

export type WorkMode = 'view' | 'edit';

export const workModeOptions: ReadonlyArray<SegmentedOption<WorkMode>> = [
  { value: 'view', label: 'Просмотр' },
  { value: 'edit', label: 'Редактирование' },
];

export interface AppShellProps {
  registry: SchemeRegistry;
  dataSource: DataSource;
  /** The data source's connection; a problem with it is shown in the header. */
  connection?: ConnectionMonitor;
  /** The desktop program's scheme folder, listed after the registry's schemes. */
  folder?: SchemeFolderSource;
}

/** A switch the user asked for: another work mode or another scheme. */
type PendingSwitch = { kind: 'mode'; mode: WorkMode } | { kind: 'scheme'; id: string };

const questionStyle = { display: 'flex', alignItems: 'center', gap: 'var(--orvo-space-2)' };
const connectionStyle = { color: 'var(--orvo-alarm)', fontWeight: 600 };

const NO_MONITOR_SUBSCRIBE = () => () => {};

const NO_FOLDER_ENTRIES: readonly FolderSchemeEntry[] = [];

function useFolderEntries(folder: SchemeFolderSource | undefined): readonly FolderSchemeEntry[] {
  return useSyncExternalStore(
    folder?.subscribe ?? NO_MONITOR_SUBSCRIBE,
    () => folder?.current() ?? NO_FOLDER_ENTRIES,
  );
}

// A view is mounted anew for every scheme record, so that a file changed on
// disk is drawn from scratch rather than over what the last binder wrote.
const viewKeys = new WeakMap<Scheme, number>();
let lastViewKey = 0;
function viewKeyOf(scheme: Scheme): number {
  let key = viewKeys.get(scheme);
  if (key === undefined) {
    key = ++lastViewKey;
    viewKeys.set(scheme, key);
  }
  return key;
}

/** The scheme an editor was opened on, kept while the editor lives. */
interface OpenedScheme {
  id: string;
  scheme: Scheme;
  fileName?: string;
}

function useConnectionMessage(connection: ConnectionMonitor | undefined): string | undefined {
  return useSyncExternalStore(connection?.subscribe ?? NO_MONITOR_SUBSCRIBE, () =>
    connection ? connectionMessage(connection.current()) : undefined,
  );
}

export function AppShell({ registry, dataSource, connection, folder }: AppShellProps) {
  const folderEntries = useFolderEntries(folder);
  const entries = [...registry.list(), ...folderEntries];
  const folderById = useMemo(
    () => new Map(folderEntries.map((entry) => [entry.id, entry])),
    [folderEntries],
  );
  const [selectedId, setSelectedId] = useState(() => entries[0]?.id ?? '');
  const [mode, setMode] = useState<WorkMode>('view');
  const [pending, setPending] = useState<PendingSwitch | null>(null);
  const live = registry.get(selectedId) ?? folderById.get(selectedId)?.scheme;

  // The editor keeps the scheme it was opened on, whatever happens to its file.
  const [opened, setOpened] = useState<OpenedScheme | null>(null);
  if (mode === 'edit') {
    if (live && opened?.id !== selectedId) {
      setOpened({ id: selectedId, scheme: live, fileName: folderById.get(selectedId)?.fileName });
    }
  } else if (opened) {
    setOpened(null);
  }
  const editing = mode === 'edit' && opened?.id === selectedId ? opened : undefined;
  const scheme = editing ? editing.scheme : live;
  const diskChange = useMemo((): SchemeDiskChange | undefined => {
    if (!editing?.fileName) return undefined;
    if (!live) return { kind: 'removed' };
    return live === editing.scheme ? undefined : { kind: 'changed', scheme: live };
  }, [editing, live]);
  const diskFile = useMemo((): SchemeDiskFile | undefined => {
    if (editing?.fileName === undefined) return undefined;
    return {
      fileName: editing.fileName,
      change: diskChange,
      onTaken: () => {
        if (diskChange?.kind === 'changed') setOpened({ ...editing, scheme: diskChange.scheme });
      },
    };
  }, [editing, diskChange]);
  const rootRef = useRef<HTMLDivElement>(null);
  const editorRef = useRef<SchemeEditorHandle>(null);
  const connectionProblem = useConnectionMessage(connection);

  // One clock for every blinking and flowing element of the page.
  useEffect(() => {
    const root = rootRef.current;
    return root ? startMarkerClock(root) : undefined;
  }, []);

  const carryOut = (target: PendingSwitch) => {
    setPending(null);
    if (target.kind === 'mode') setMode(target.mode);
    else setSelectedId(target.id);
  };

  /** Whether the switch would end the open editor. */
  const endsEditor = (target: PendingSwitch): boolean => {
    if (mode !== 'edit' || !scheme) return false;
    if (target.kind === 'mode') return target.mode === 'view';
    return target.id !== selectedId;
  };

  // Edits would be lost: ask first, in place, and switch nothing yet.
  const request = (target: PendingSwitch) => {
    if (endsEditor(target) && editorRef.current?.hasUnsavedEdits()) setPending(target);
    else carryOut(target);
  };

  const saveAndContinue = () => {
    if (!pending) return;
    // A failed save keeps the editor and the question; the toolbar tells why.
    if (editorRef.current?.save() ?? true) carryOut(pending);
  };

  return (
    <div className="orvo-root app" ref={rootRef}>
      <nav className="app__nav">
        <div className="app__nav-title">Мнемосхемы</div>
        {/* Keyed by place: two entries may share an id. */}
        {entries.map((entry, index) => (
          <button
            key={index}
            type="button"
            className="app__nav-item"
            data-scheme={entry.id}
            data-testid={`scheme-${entry.id}`}
            aria-current={entry.id === selectedId ? 'true' : 'false'}
            onClick={() => request({ kind: 'scheme', id: entry.id })}
          >
            {entry.name}
          </button>
        ))}
      </nav>
      <main className="app__main">
        <header className="app__head">
          <div className="app__title" data-testid="scheme-title">
            {scheme?.name}
          </div>
          {connectionProblem && (
            <div role="alert" data-testid="data-connection" style={connectionStyle}>
              {connectionProblem}
            </div>
          )}
          <SegmentedSwitch
            label="Режим работы со схемой"
            options={workModeOptions}
            value={mode}
            onChange={(value) => request({ kind: 'mode', mode: value })}
          />
          {pending && (
            <UnsavedEditsQuestion
              onSave={saveAndContinue}
              onDiscard={() => carryOut(pending)}
              onCancel={() => setPending(null)}
            />
          )}
        </header>
        <div className="app__stage" data-testid="stage">
          {scheme &&
            (mode === 'edit' ? (
              <SchemeEditor
                key={selectedId}
                ref={editorRef}
                initialScheme={scheme}
                previewDataSource={dataSource}
                diskFile={diskFile}
              />
            ) : (
              <div
                data-testid="runtime"
                style={{ width: `${scheme.size.width}px`, height: `${scheme.size.height}px` }}
              >
                <RuntimeView
                  key={`${selectedId}#${viewKeyOf(scheme)}`}
                  scheme={scheme}
                  dataSource={dataSource}
                />
              </div>
            ))}
        </div>
      </main>
    </div>
  );
}

interface UnsavedEditsQuestionProps {
  onSave: () => void;
  onDiscard: () => void;
  onCancel: () => void;
}

function UnsavedEditsQuestion({ onSave, onDiscard, onCancel }: UnsavedEditsQuestionProps) {
  const questionRef = useRef<HTMLDivElement>(null);
  // The question takes the focus, so that Enter saves and Escape cancels at
  // once, and gives it back to the control that asked when it goes.
  useEffect(() => {
    const question = questionRef.current;
    const before = document.activeElement;
    question?.querySelector('button')?.focus();
    return () => {
      const lost =
        document.activeElement === document.body || question?.contains(document.activeElement);
      if (lost && before instanceof HTMLElement && before.isConnected) before.focus();
    };
  }, []);
  const onKeyDown = (event: KeyboardEvent<HTMLDivElement>) => {
    if (event.key === 'Escape') onCancel();
  };
  return (
    <div
      ref={questionRef}
      role="alertdialog"
      aria-label="Несохранённые изменения"
      style={questionStyle}
      onKeyDown={onKeyDown}
    >
      <span>{UNSAVED_EDITS_TEXT}</span>
      <Button size="sm" variant="primary" onClick={onSave}>
        Сохранить и продолжить
      </Button>
      <Button size="sm" onClick={onDiscard}>
        Не сохранять
      </Button>
      <Button size="sm" onClick={onCancel}>
        Отмена
      </Button>
    </div>
  );
}
