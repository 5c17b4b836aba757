// Saving and loading of scheme files for one editor, with the message of the
// last attempt and the scheme as it was last opened, saved or loaded. The
// editor has unsaved edits when its scheme's content differs from that one.
// The history keeps scheme records, so undoing back to the saved state gives
// the very record again; edits that cancel each other out (a move and the
// move back) give another record with the same content, and count as saved
// as well.

import { createContext, useContext, useRef, useState, type ReactNode } from 'react';
import type { Scheme } from '../../scheme';
import { isSchemeIdTaken, SCHEME_ID_MESSAGES, useEditor, useSchemeCatalog } from '../model';
import { useSchemeDiskFile } from './diskFileContext';
import {
  failureMessage,
  parseSchemeFile,
  readFileText,
  saveSchemeFile,
  SCHEME_FILE_MESSAGES,
} from './schemeFile';
import { awaitSaveResult, hostReportsSaves } from './saveResult';

export interface SchemeFilesValue {
  /** Message of the last failed save or load; nothing after a success. */
  fileMessage: string | undefined;
  /**
   * Whether the scheme is another record than the one last opened, saved or
   * loaded; cheap, and false whenever there are no unsaved edits.
   */
  changed: boolean;
  /** Whether the scheme's content differs from the one last opened, saved or loaded. */
  hasUnsavedEdits(): boolean;
  /**
   * Saves the current scheme by download; true once the file is written (at
   * once outside the program), false when the save fails (the message is set)
   * or is cancelled in the program's dialog.
   */
  save(): Promise<boolean>;
  /** Loads a chosen file into the editor as one undoable step. */
  load(file: Blob): Promise<void>;
  /** The scheme as it was last opened, saved or loaded. */
  savedScheme: Scheme;
  /** Takes a scheme read elsewhere (the scheme folder) as a loaded file. */
  open(scheme: Scheme): void;
}

export const SchemeFilesContext = createContext<SchemeFilesValue | null>(null);

export interface SchemeFilesProviderProps {
  children?: ReactNode;
  /** Whether the program reports what became of each save; by default inside it. */
  savesReported?: boolean;
}

export function SchemeFilesProvider({
  children,
  savesReported = hostReportsSaves(),
}: SchemeFilesProviderProps) {
  const { state, dispatch } = useEditor();
  const [savedScheme, setSavedScheme] = useState<Scheme>(state.scheme);
  const [fileMessage, setFileMessage] = useState<string | undefined>(undefined);
  const compared = useRef<{ scheme: Scheme; saved: Scheme; differs: boolean } | null>(null);
  const current = state.scheme;
  const diskFile = useSchemeDiskFile();
  const catalog = useSchemeCatalog();

  const value: SchemeFilesValue = {
    fileMessage,
    changed: current !== savedScheme,
    hasUnsavedEdits() {
      if (current === savedScheme) return false;
      const last = compared.current;
      if (last && last.scheme === current && last.saved === savedScheme) return last.differs;
      // Only asked when leaving the editor, so a full comparison is affordable here.
      const differs = JSON.stringify(current) !== JSON.stringify(savedScheme);
      compared.current = { scheme: current, saved: savedScheme, differs };
      return differs;
    },
    save() {
      const scheme = state.scheme;
      // In the scheme folder a second scheme with the id would clash with the first.
      const id: unknown = scheme.id;
      if (
        catalog.savesToFolder &&
        typeof id === 'string' &&
        isSchemeIdTaken(id, catalog.schemes, catalog.ownFileName(scheme))
      ) {
        setFileMessage(SCHEME_ID_MESSAGES.notSaved(id));
        return Promise.resolve(false);
      }
      let url: string;
      try {
        url = saveSchemeFile(scheme, diskFile?.fileName);
      } catch (error) {
        setFileMessage(failureMessage(error, SCHEME_FILE_MESSAGES.saveFailed));
        return Promise.resolve(false);
      }
      const saved = () => {
        setFileMessage(undefined);
        setSavedScheme(scheme);
        return true;
      };
      if (!savesReported) return Promise.resolve(saved());
      return awaitSaveResult(url).then((result) => {
        switch (result.outcome) {
          case 'written':
            return saved();
          case 'cancelled':
            return false;
          case 'failed':
            setFileMessage(SCHEME_FILE_MESSAGES.writeFailed(result.detail));
            return false;
          default: {
            const never: never = result.outcome;
            return never;
          }
        }
      });
    },
    async load(file) {
      let scheme: Scheme;
      try {
        scheme = parseSchemeFile(await readFileText(file));
      } catch (error) {
        setFileMessage(failureMessage(error, SCHEME_FILE_MESSAGES.loadFailed));
        return;
      }
      dispatch({ type: 'loadScheme', scheme });
      setSavedScheme(scheme);
      setFileMessage(undefined);
    },
    savedScheme,
    open(scheme) {
      dispatch({ type: 'loadScheme', scheme });
      setSavedScheme(scheme);
      setFileMessage(undefined);
    },
  };
  return <SchemeFilesContext.Provider value={value}>{children}</SchemeFilesContext.Provider>;
}

/** The scheme files of the surrounding editor, or nothing outside a `SchemeFilesProvider`. */
export function useSchemeFiles(): SchemeFilesValue | null {
  return useContext(SchemeFilesContext);
}
