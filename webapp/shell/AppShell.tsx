import {
  useCallback,
  useEffect,
  useMemo,
  useRef,
  useState,
  useSyncExternalStore,
  type KeyboardEvent,
} from 'react';
import { AlarmBanner, AlarmSummary, JOURNAL_TITLE, JournalView, SUMMARY_TITLE } from '../alarms';
import { connectionMessage, type ConnectionMonitor, type DataSource } from '../data';
import {
  Button,
  createNewScheme,
  linkNotFoundText,
  SchemeEditor,
  SegmentedSwitch,
  UNSAVED_EDITS_TEXT,
  type CatalogScheme,
  type SchemeDiskChange,
  type SchemeDiskFile,
  type SchemeEditorHandle,
  type SegmentedOption,
} from '../editor';
import type { Scheme } from '../scheme';
import {
  NO_ALARMS,
  NO_COMMANDS,
  NO_SESSION,
  type AlarmClient,
  type CommandClient,
  type RecordingMonitor,
  type SessionClient,
  type SettingsStore,
} from '../station';
import { startMarkerClock } from '../styles';
import {
  createMemoryTrendSettingsStore,
  createNoHostHistoryClient,
  Faceplate,
  TrendsView,
  type HistoryClient,
  type TrendSettingsStore,
} from '../trends';
import type { SchemeEntry, SchemeRegistry } from './registry';
import { RuntimeView } from '../view';
import type { FolderSchemeEntry, SchemeFolderSource } from './schemeFolder';
import { useRecordingNotice } from './recordingNotice';
import { SessionArea, useSessionState } from './SessionArea';
import { STAGE_SCALE_LABEL, stageBox, stageScaleOptions, useStageScale } from './stageScale';

export type WorkMode = 'view' | 'edit';

/** How long the reason the editor did not open stays beside the switch. */
export const EDIT_REFUSAL_MS = 8000;

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
  /** The station's history for the trends and the faceplate; none by default. */
  history?: HistoryClient;
  /** Where the trends keep their pens and range; in memory by default. */
  trendSettings?: TrendSettingsStore;
  /** Where the scheme view's settings (its scale) are kept between runs. */
  viewSettings?: SettingsStore;
  /** Whether the program records history; a pause is shown in the header. */
  recording?: RecordingMonitor;
  /** The station's alarms and journal; none outside the program. */
  alarms?: AlarmClient;
  /** Who works at the station and what they may do; no users outside the program. */
  session?: SessionClient;
  /** Commands to the plant's points; none outside the program. */
  commands?: CommandClient;
}

/** Said when the station refuses editing without a word of its own. */
export const EDIT_REFUSED_TEXT = 'Редактирование недоступно';

/** A switch the user asked for: another work mode, another scheme or a new one, or a view of its own. */
type PendingSwitch =
  { kind: 'mode'; mode: WorkMode } | { kind: 'scheme'; id: string } | { kind: 'new' } | StagePage;

/** A view in the stage in place of the schemes. */
type StagePage = { kind: 'trends'; pointId?: string } | { kind: 'alarms' } | { kind: 'journal' };

const isStagePage = (target: PendingSwitch): target is StagePage =>
  target.kind === 'trends' || target.kind === 'alarms' || target.kind === 'journal';

export const TRENDS_TITLE = 'Тренды';
const PAGE_TITLES: Readonly<Record<StagePage['kind'], string>> = {
  trends: TRENDS_TITLE,
  alarms: SUMMARY_TITLE,
  journal: JOURNAL_TITLE,
};
const NO_HOST_HISTORY = createNoHostHistoryClient();

const questionStyle = { display: 'flex', alignItems: 'center', gap: 'var(--orvo-space-2)' };
const connectionStyle = { color: 'var(--orvo-alarm)', fontWeight: 600 };
const linkProblemStyle = { color: 'var(--orvo-alarm)', marginBottom: 'var(--orvo-space-2)' };

/**
 * How long after leaving a saved new scheme its view follows once the folder
 * lists the file: the program reads the folder a moment after the file is
 * written, so the scheme is not listed yet when the save ends.
 */
const AWAIT_SAVED_MS = 10_000;

/** A new scheme left for viewing before the folder listed it. */
interface AwaitedSave {
  schemeId: string;
  /** What is shown meanwhile; choosing anything else ends the wait. */
  shownId: string;
  until: number;
}

/** Prefix of the selection ids of new schemes, which no entry of the navigation has. */
const NEW_SCHEME_PREFIX = 'new:';
let lastNewScheme = 0;

/**
 * The entry a link names: the one registered under the id, else the first
 * whose scheme has it (the folder's entries are registered under their files).
 */
export function findLinkedEntry<T extends SchemeEntry>(
  entries: readonly T[],
  link: string,
): T | undefined {
  return (
    entries.find((entry) => entry.id === link) ?? entries.find((entry) => entry.scheme.id === link)
  );
}

/** The schemes the editor may link to and whose ids it may not take. */
function catalogOf(
  builtIn: readonly SchemeEntry[],
  folderEntries: readonly FolderSchemeEntry[],
): CatalogScheme[] {
  const schemes: CatalogScheme[] = builtIn.map((entry) => ({ id: entry.id, name: entry.name }));
  for (const entry of folderEntries) {
    const id: unknown = entry.scheme.id;
    if (typeof id === 'string' && id !== '') {
      schemes.push({ id, name: entry.name, fileName: entry.fileName });
    }
  }
  return schemes;
}

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
  /** A new scheme, with the selection to return to when the editor closes. */
  isNew?: boolean;
  returnId?: string;
}

function useConnectionMessage(connection: ConnectionMonitor | undefined): string | undefined {
  return useSyncExternalStore(connection?.subscribe ?? NO_MONITOR_SUBSCRIBE, () =>
    connection ? connectionMessage(connection.current()) : undefined,
  );
}

export function AppShell({
  registry,
  dataSource,
  connection,
  folder,
  history = NO_HOST_HISTORY,
  trendSettings,
  viewSettings,
  recording,
  alarms = NO_ALARMS,
  session = NO_SESSION,
  commands = NO_COMMANDS,
}: AppShellProps) {
  const sessionState = useSessionState(session);
  // Why the editor did not open; shown beside the switch while the right is missing.
  const [editRefused, setEditRefused] = useState(false);
  const editRefusal =
    editRefused && !sessionState.allowed.edit
      ? (sessionState.reasons.edit ?? EDIT_REFUSED_TEXT)
      : undefined;
  // The word stays a while, then leaves the header to what matters.
  useEffect(() => {
    if (!editRefused) return;
    const timer = setTimeout(() => setEditRefused(false), EDIT_REFUSAL_MS);
    return () => clearTimeout(timer);
  }, [editRefused]);
  const recordingNotice = useRecordingNotice(recording);
  const [stageScale, setStageScale] = useStageScale(viewSettings);
  const [memorySettings] = useState(createMemoryTrendSettingsStore);
  const settingsStore = trendSettings ?? memorySettings;
  // The view in the stage in place of the schemes: the trends (with the point
  // they were opened for), the alarms or the journal.
  const [page, setPage] = useState<StagePage | null>(null);
  const trends = page?.kind === 'trends' ? page : null;
  // The point whose card stands beside the scheme in viewing.
  const [faceplate, setFaceplate] = useState<string | null>(null);
  const closeFaceplate = useCallback(() => setFaceplate(null), []);
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
  const catalog = useMemo(
    () => catalogOf(registry.list(), folderEntries),
    [registry, folderEntries],
  );
  // The title follows the edited scheme's name.
  const [editedName, setEditedName] = useState<{ id: string; name: string } | null>(null);
  const schemeTitle =
    mode === 'edit' && editedName?.id === selectedId ? editedName.name : scheme?.name;
  const title = page ? PAGE_TITLES[page.kind] : schemeTitle;
  const [linkProblem, setLinkProblem] = useState<{ id: string; text: string } | null>(null);
  const [awaitedSave, setAwaitedSave] = useState<AwaitedSave | null>(null);
  if (awaitedSave) {
    const listed = folderEntries.find((entry) => entry.scheme.id === awaitedSave.schemeId);
    if (mode !== 'view' || selectedId !== awaitedSave.shownId) {
      setAwaitedSave(null);
    } else if (listed) {
      setAwaitedSave(null);
      if (Date.now() <= awaitedSave.until) setSelectedId(listed.id);
    }
  }

  // One clock for every blinking and flowing element of the page.
  useEffect(() => {
    const root = rootRef.current;
    return root ? startMarkerClock(root) : undefined;
  }, []);

  /** Carries out a switch; `justSaved` once the editor's save has written its file. */
  const carryOut = (target: PendingSwitch, justSaved = false) => {
    setPending(null);
    setLinkProblem(null);
    setPage(isStagePage(target) ? target : null);
    if (isStagePage(target)) {
      setFaceplate(null);
      setMode('view');
    } else if (target.kind === 'new') {
      const id = `${NEW_SCHEME_PREFIX}${++lastNewScheme}`;
      const returnId = opened?.isNew ? opened.returnId : selectedId;
      setOpened({ id, scheme: createNewScheme(), isNew: true, returnId });
      setSelectedId(id);
    } else if (target.kind === 'mode') {
      if (target.mode === 'view' && opened?.isNew) {
        // Back to the new scheme as saved into the folder, else to where it was started.
        const editor = editorRef.current;
        const savedId = editor?.scheme().id;
        const saved = folderEntries.find((entry) => entry.scheme.id === savedId);
        const shownId = saved?.id ?? opened.returnId ?? entries[0]?.id ?? '';
        setSelectedId(shownId);
        // Just saved, the file is listed a moment later.
        const unsaved = !justSaved && (editor?.hasUnsavedEdits() ?? false);
        if (!saved && folder && typeof savedId === 'string' && !unsaved) {
          setAwaitedSave({ schemeId: savedId, shownId, until: Date.now() + AWAIT_SAVED_MS });
        }
      }
      setMode(target.mode);
    } else {
      setSelectedId(target.id);
    }
  };

  /** Whether the switch would end the open editor. */
  const endsEditor = (target: PendingSwitch): boolean => {
    if (mode !== 'edit' || !scheme) return false;
    if (target.kind === 'new' || isStagePage(target)) return true;
    if (target.kind === 'mode') return target.mode === 'view';
    return target.id !== selectedId;
  };
  const openTrends = useCallback(
    (pointId: string) => latestRequest.current({ kind: 'trends', pointId }),
    [],
  );

  // Edits would be lost: ask first, in place, and switch nothing yet. The
  // editor opens only for a user who may edit; the switch stays where it is.
  const request = (target: PendingSwitch) => {
    const opensEditor = target.kind === 'mode' && target.mode === 'edit' && mode !== 'edit';
    if (opensEditor && !session.current().allowed.edit) {
      setEditRefused(true);
      return;
    }
    setEditRefused(false);
    if (endsEditor(target) && editorRef.current?.hasUnsavedEdits()) setPending(target);
    else carryOut(target);
  };

  // The editor's context takes the handler: one function for the editor's life.
  const latestRequest = useRef(request);
  latestRequest.current = request;
  const newScheme = useCallback(() => latestRequest.current({ kind: 'new' }), []);
  const openAlarms = useCallback(() => latestRequest.current({ kind: 'alarms' }), []);

  /** Opens the scheme a link names; false when there is none. */
  const openLinked = (link: string): boolean => {
    const target = findLinkedEntry(entries, link);
    if (!target) return false;
    setLinkProblem(null);
    request({ kind: 'scheme', id: target.id });
    return true;
  };
  const latestOpenLinked = useRef(openLinked);
  latestOpenLinked.current = openLinked;
  const openScheme = useCallback((link: string) => latestOpenLinked.current(link), []);

  const followLink = (link: string) => {
    if (!openLinked(link)) setLinkProblem({ id: selectedId, text: linkNotFoundText(link) });
  };

  const saveAndContinue = () => {
    if (!pending) return;
    // A failed or cancelled save keeps the editor and the question; the
    // toolbar tells why a save failed.
    const editor = editorRef.current;
    if (!editor) {
      carryOut(pending);
      return;
    }
    void editor.save().then((written) => {
      if (written) carryOut(pending, true);
    });
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
            aria-current={!page && entry.id === selectedId ? 'true' : 'false'}
            onClick={() => request({ kind: 'scheme', id: entry.id })}
          >
            {entry.name}
          </button>
        ))}
        <div className="app__nav-gap" />
        <button
          type="button"
          className="app__nav-item"
          data-testid="nav-trends"
          aria-current={trends ? 'true' : 'false'}
          onClick={() => request({ kind: 'trends' })}
        >
          {TRENDS_TITLE}
        </button>
        <button
          type="button"
          className="app__nav-item"
          data-testid="nav-alarms"
          aria-current={page?.kind === 'alarms' ? 'true' : 'false'}
          onClick={() => request({ kind: 'alarms' })}
        >
          {SUMMARY_TITLE}
        </button>
        <button
          type="button"
          className="app__nav-item"
          data-testid="nav-journal"
          aria-current={page?.kind === 'journal' ? 'true' : 'false'}
          onClick={() => request({ kind: 'journal' })}
        >
          {JOURNAL_TITLE}
        </button>
      </nav>
      <main className="app__main">
        <header className="app__head">
          <div className="app__title" data-testid="scheme-title">
            {title}
          </div>
          {recordingNotice && (
            <div role="status" data-testid="recording-notice" style={connectionStyle}>
              {recordingNotice}
            </div>
          )}
          {connectionProblem && (
            <div role="alert" data-testid="data-connection" style={connectionStyle}>
              {connectionProblem}
            </div>
          )}
          {!page && (
            <SegmentedSwitch
              label="Режим работы со схемой"
              options={workModeOptions}
              value={mode}
              onChange={(value) => request({ kind: 'mode', mode: value })}
            />
          )}
          {!page && editRefusal && (
            <div role="alert" className="app__refusal" data-testid="edit-refusal">
              {editRefusal}
            </div>
          )}
          {!page && mode === 'view' && (
            <SegmentedSwitch
              label={STAGE_SCALE_LABEL}
              options={stageScaleOptions}
              value={stageScale}
              onChange={setStageScale}
            />
          )}
          <SessionArea session={session} />
          <AlarmBanner alarms={alarms} onOpen={openAlarms} />
          {pending && (
            <UnsavedEditsQuestion
              onSave={saveAndContinue}
              onDiscard={() => carryOut(pending)}
              onCancel={() => setPending(null)}
            />
          )}
        </header>
        <div className="app__body">
          <div className="app__stage" data-testid="stage">
            {page?.kind === 'alarms' ? (
              <AlarmSummary alarms={alarms} dataSource={dataSource} />
            ) : page?.kind === 'journal' ? (
              <JournalView alarms={alarms} />
            ) : trends ? (
              <TrendsView
                dataSource={dataSource}
                history={history}
                settings={settingsStore}
                addPoint={trends.pointId}
              />
            ) : (
              scheme &&
              (mode === 'edit' ? (
                <SchemeEditor
                  key={selectedId}
                  ref={editorRef}
                  initialScheme={scheme}
                  previewDataSource={dataSource}
                  diskFile={diskFile}
                  schemes={catalog}
                  savesToFolder={folder !== undefined}
                  isNew={editing?.isNew}
                  onNewScheme={newScheme}
                  onOpenScheme={openScheme}
                  onNameChange={(name) => setEditedName({ id: selectedId, name })}
                />
              ) : (
                <>
                  {linkProblem?.id === selectedId && (
                    <div role="status" data-testid="link-problem" style={linkProblemStyle}>
                      {linkProblem.text}
                    </div>
                  )}
                  <div
                    data-testid="runtime"
                    data-scale={stageScale}
                    style={stageBox(stageScale, scheme.size)}
                  >
                    <RuntimeView
                      key={`${selectedId}#${viewKeyOf(scheme)}`}
                      scheme={scheme}
                      dataSource={dataSource}
                      onLink={followLink}
                      onPoint={setFaceplate}
                      alarms={alarms}
                    />
                  </div>
                </>
              ))
            )}
          </div>
          {faceplate !== null && mode === 'view' && !page && (
            <Faceplate
              pointId={faceplate}
              dataSource={dataSource}
              history={history}
              onClose={closeFaceplate}
              onOpenTrends={openTrends}
              alarms={alarms}
              session={session}
              commands={commands}
            />
          )}
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
