import {
  forwardRef,
  useEffect,
  useImperativeHandle,
  useMemo,
  useRef,
  useState,
  type ForwardedRef,
} from 'react';
import type { DataSource } from '../../data';
import type { Scheme } from '../../scheme';
import { DataSourceContext } from '../properties';
import {
  createEditorState,
  EditorProvider,
  SchemeCatalogContext,
  useEditor,
  type CatalogScheme,
  type SchemeCatalog,
} from '../model';
import {
  schemeFileName,
  SchemeDiskFileContext,
  SchemeFilesProvider,
  useSchemeFiles,
  type SchemeDiskFile,
} from '../toolbar';
import { EditorLayout } from './EditorLayout';

export const UNSAVED_EDITS_TEXT = 'Схема изменена и не сохранена в файл.';

/** What the application shell may ask of an open editor. */
export interface SchemeEditorHandle {
  /** Whether the scheme differs from the one last opened, saved or loaded. */
  hasUnsavedEdits(): boolean;
  /**
   * Saves the scheme as the toolbar's save does; true once written, false when
   * that fails (the toolbar shows why) or the save is cancelled.
   */
  save(): Promise<boolean>;
  /** The scheme as it is now, edits included. */
  scheme(): Scheme;
}

export interface SchemeEditorProps {
  initialScheme: Scheme;
  previewDataSource: DataSource;
  /** The scheme folder's file the scheme came from, if it came from there. */
  diskFile?: SchemeDiskFile;
  /** The station's schemes: what links may name and which ids are taken. */
  schemes?: readonly CatalogScheme[];
  /** Whether saving puts the scheme into the station's scheme folder. */
  savesToFolder?: boolean;
  /** Whether the scheme is a new one, whose id follows its name until edited. */
  isNew?: boolean;
  /** Offers "Новая схема": the application replaces this editor by one of a new scheme. */
  onNewScheme?: () => void;
  /** Opens the scheme a link of the preview names; false when there is none. */
  onOpenScheme?: (id: string) => boolean;
  /** Told the scheme's name whenever it changes, for the title above the editor. */
  onNameChange?: (name: string) => void;
}

const NO_SCHEMES: readonly CatalogScheme[] = [];

/** An editor of one scheme; its edits live only here until saved to a file. */
export const SchemeEditor = forwardRef<SchemeEditorHandle, SchemeEditorProps>(function SchemeEditor(
  {
    initialScheme,
    previewDataSource,
    diskFile,
    schemes = NO_SCHEMES,
    savesToFolder = false,
    isNew = false,
    onNewScheme,
    onOpenScheme,
    onNameChange,
  },
  ref,
) {
  const [initial] = useState(() => createEditorState(initialScheme, { idFollowsName: isNew }));
  const fileName = diskFile?.fileName;
  const catalog = useMemo<SchemeCatalog>(
    () => ({
      schemes,
      savesToFolder,
      // Saving proposes the scheme's own file, else a file named after it.
      ownFileName: (scheme) => fileName ?? schemeFileName(scheme),
      newScheme: onNewScheme,
      openScheme: onOpenScheme,
    }),
    [schemes, savesToFolder, fileName, onNewScheme, onOpenScheme],
  );
  return (
    <EditorProvider initial={initial}>
      <DataSourceContext.Provider value={previewDataSource}>
        <SchemeCatalogContext.Provider value={catalog}>
          <SchemeDiskFileContext.Provider value={diskFile}>
            <SchemeFilesProvider>
              <UnsavedEdits handleRef={ref} />
              {onNameChange && <NameReport onNameChange={onNameChange} />}
              <EditorLayout previewDataSource={previewDataSource} />
            </SchemeFilesProvider>
          </SchemeDiskFileContext.Provider>
        </SchemeCatalogContext.Provider>
      </DataSourceContext.Provider>
    </EditorProvider>
  );
});

function NameReport({ onNameChange }: { onNameChange: (name: string) => void }) {
  const name = useEditor().state.scheme.name;
  const latest = useRef(onNameChange);
  latest.current = onNameChange;
  useEffect(() => {
    latest.current(name);
  }, [name]);
  return null;
}

interface UnsavedEditsProps {
  handleRef: ForwardedRef<SchemeEditorHandle>;
}

/**
 * Guards unsaved edits: offers the shell the save and the unsaved state, and
 * while edits are unsaved makes the page ask before it is closed or reloaded.
 */
function UnsavedEdits({ handleRef }: UnsavedEditsProps) {
  const files = useSchemeFiles();
  const { scheme } = useEditor().state;
  const latest = useRef(files);
  latest.current = files;
  const current = useRef(scheme);
  current.current = scheme;
  const changed = files?.changed ?? false;

  useImperativeHandle(
    handleRef,
    () => ({
      hasUnsavedEdits: () => latest.current?.hasUnsavedEdits() ?? false,
      save: () => latest.current?.save() ?? Promise.resolve(false),
      scheme: () => current.current,
    }),
    [],
  );

  useEffect(() => {
    if (!changed) return undefined;
    const ask = (event: BeforeUnloadEvent) => {
      if (!latest.current?.hasUnsavedEdits()) return;
      event.preventDefault();
      // Older engines ask only when a return value is set; the text itself is not shown.
      event.returnValue = UNSAVED_EDITS_TEXT;
    };
    window.addEventListener('beforeunload', ask);
    return () => window.removeEventListener('beforeunload', ask);
  }, [changed]);

  return null;
}
