// A page that holds the editing canvas alone, for tests in a real browser: the
// editor state, the commands the canvas dispatched and the React commits of
// the canvas are exposed on `window.canvasPage`. Beside the canvas are two
// drag sources standing in for palette tiles, and one for text from elsewhere;
// below it the toolbar's pipe tool button.
import '../../../webapp/symbols';
import '../../../webapp/styles/index.css';
import { StrictMode, useLayoutEffect, useMemo, type Dispatch } from 'react';
import { createRoot } from 'react-dom/client';
import { generateLoadScheme } from '../../../webapp/content';
import {
  EditorCanvas,
  EditorContext,
  EditorProvider,
  PipeToolButton,
  createEditorState,
  useEditor,
  type EditorAction,
  type EditorState,
} from '../../../webapp/editor';
import type { Scheme } from '../../../webapp/scheme';

export interface CanvasPage {
  state(): EditorState;
  /** Dispatches as another part of the editor would. */
  dispatch: Dispatch<EditorAction>;
  /** Commands the canvas dispatched since the last `reset`. */
  actions: EditorAction[];
  /** React commits of the canvas since the last `reset`. */
  commits: number;
  reset(): void;
}

declare global {
  interface Window {
    canvasPage: CanvasPage;
  }
}

/** The scheme of the tests: three rectangles (one turned by 90°) and a horizontal pipe. */
export const testScheme: Scheme = {
  schemaVersion: 1,
  id: 'canvas-test',
  name: 'Холст',
  size: { width: 600, height: 400 },
  elements: [
    { id: 'a', type: 'rect', x: 3, y: 7, width: 40, height: 20, style: { fill: '#cccccc' } },
    { id: 'b', type: 'rect', x: 103, y: 33, width: 40, height: 20, style: { fill: '#cccccc' } },
    { id: 'r', type: 'rect', x: 100, y: 200, width: 100, height: 50, style: { fill: '#aaccee' } },
    {
      id: 'c',
      type: 'rect',
      x: 300,
      y: 100,
      width: 100,
      height: 50,
      rotation: 90,
      style: { fill: '#eeccaa' },
    },
    {
      id: 'p',
      type: 'polyline',
      points: [400, 300, 480, 300],
      x: 400,
      y: 300,
      width: 80,
      height: 0,
      style: { stroke: '#4a8f4a', strokeWidth: 4 },
    },
  ],
};

const page: CanvasPage = {
  state: () => {
    throw new Error('the canvas is not mounted');
  },
  dispatch: () => {},
  actions: [],
  commits: 0,
  reset() {
    page.actions = [];
    page.commits = 0;
  },
};
window.canvasPage = page;

// The canvas renders only when the editor's state changes; so does this
// sibling, whose layout effect counts the commits (a production build calls no
// profiler callbacks).
function CommitCounter() {
  useEditor();
  useLayoutEffect(() => {
    page.commits += 1;
  });
  return null;
}

function Recording() {
  const editor = useEditor();
  page.state = () => editor.state;
  page.dispatch = editor.dispatch;
  const value = useMemo(
    () => ({
      state: editor.state,
      dispatch: (action: EditorAction) => {
        page.actions.push(action);
        editor.dispatch(action);
      },
    }),
    [editor],
  );
  return (
    <EditorContext.Provider value={value}>
      <CommitCounter />
      <EditorCanvas />
      {/* Below the canvas, so that the canvas keeps its place on the page. */}
      <PipeToolButton />
    </EditorContext.Provider>
  );
}

function Tile({ label, type, data }: { label: string; type: string; data: string }) {
  return (
    <div
      draggable
      data-testid={`tile-${label}`}
      style={{ width: 60, height: 30, border: '1px solid #888' }}
      onDragStart={(event) => event.dataTransfer.setData(type, data)}
    >
      {label}
    </div>
  );
}

const load = new URLSearchParams(location.search).get('load');
const scheme = load ? generateLoadScheme(Number(load)) : testScheme;

const container = document.getElementById('root');
if (container) {
  createRoot(container).render(
    <StrictMode>
      <div className="orvo-root" style={{ display: 'flex', gap: 20, padding: '23px 0 0 37px' }}>
        <div>
          <EditorProvider initial={createEditorState(scheme)}>
            <Recording />
          </EditorProvider>
        </div>
        <div style={{ display: 'grid', gap: 8, alignContent: 'start' }}>
          <Tile label="gauge" type="application/x-mnemo-add" data="symbol:gauge" />
          <Tile label="rect" type="application/x-mnemo-add" data="rect" />
          <Tile label="circle" type="application/x-mnemo-add" data="circle" />
          <Tile label="text" type="text/plain" data="Hello from a text editor" />
        </div>
      </div>
    </StrictMode>,
  );
}
