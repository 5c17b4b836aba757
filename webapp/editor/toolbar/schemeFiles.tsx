// Saving and loading of scheme files for one editor, with the message of the
// last attempt and the scheme as it was last opened, saved or loaded. The
// editor has unsaved edits exactly when its scheme is another record than
// that one: the history keeps scheme records, so undoing back to the saved
// state counts as no unsaved edits.

import { createContext, useContext, useState, type ReactNode } from 'react';
import type { Scheme } from '../../scheme';
import { useEditor } from '../model';
import {
  failureMessage,
  parseSchemeFile,
  readFileText,
  saveSchemeFile,
  SCHEME_FILE_MESSAGES,
} from './schemeFile';

export interface SchemeFilesValue {
  /** Message of the last failed save or load; nothing after a success. */
  fileMessage: string | undefined;
  /** Whether the editor's scheme differs from the one last opened, saved or loaded. */
  unsaved: boolean;
  /** Saves the current scheme by download; false when it fails (the message is set). */
  save(): boolean;
  /** Loads a chosen file into the editor as one undoable step. */
  load(file: Blob): Promise<void>;
}

export const SchemeFilesContext = createContext<SchemeFilesValue | null>(null);

export interface SchemeFilesProviderProps {
  children?: ReactNode;
}

export function SchemeFilesProvider({ children }: SchemeFilesProviderProps) {
  const { state, dispatch } = useEditor();
  const [savedScheme, setSavedScheme] = useState<Scheme>(state.scheme);
  const [fileMessage, setFileMessage] = useState<string | undefined>(undefined);

  const value: SchemeFilesValue = {
    fileMessage,
    unsaved: state.scheme !== savedScheme,
    save() {
      const scheme = state.scheme;
      try {
        saveSchemeFile(scheme);
      } catch (error) {
        setFileMessage(failureMessage(error, SCHEME_FILE_MESSAGES.saveFailed));
        return false;
      }
      setFileMessage(undefined);
      setSavedScheme(scheme);
      return true;
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
  };
  return <SchemeFilesContext.Provider value={value}>{children}</SchemeFilesContext.Provider>;
}

/** The scheme files of the surrounding editor, or nothing outside a `SchemeFilesProvider`. */
export function useSchemeFiles(): SchemeFilesValue | null {
  return useContext(SchemeFilesContext);
}
