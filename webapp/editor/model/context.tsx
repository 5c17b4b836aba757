import {
  createContext,
  useContext,
  useMemo,
  useReducer,
  type Dispatch,
  type ReactNode,
} from 'react';
import { PipeToolProvider } from './pipeTool';
import { editorReducer } from './reducer';
import type { EditorAction, EditorState } from './state';

export interface EditorContextValue {
  state: EditorState;
  dispatch: Dispatch<EditorAction>;
}

export const EditorContext = createContext<EditorContextValue | null>(null);

export interface EditorProviderProps {
  initial: EditorState;
  children?: ReactNode;
}

/** Holds one editor's state; every change is a command carried out by `editorReducer`. */
export function EditorProvider({ initial, children }: EditorProviderProps) {
  const [state, dispatch] = useReducer(editorReducer, initial);
  const value = useMemo(() => ({ state, dispatch }), [state]);
  return (
    <EditorContext.Provider value={value}>
      <PipeToolProvider>{children}</PipeToolProvider>
    </EditorContext.Provider>
  );
}

export function useEditor(): EditorContextValue {
  const value = useContext(EditorContext);
  if (value === null) {
    throw new Error('useEditor must be used within EditorProvider');
  }
  return value;
}
