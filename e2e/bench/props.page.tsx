// The page of the inspector benchmark: the editor's canvas and property
// inspector on the load scheme of 2000 bound rectangles, laid out as in the
// editor, with one keystroke being one input event in the inspector's "X"
// field. Timed from just before the event to the end of the forced style and
// layout that follow it. Variants, each in a fresh editor:
//
//   alone  - the inspector without the canvas, one element selected: the
//            inspector's own cost;
//   editor - canvas and inspector, one element selected: the keystroke should
//            cost the inspector and one element's drawing;
//   all    - canvas and inspector with all 2000 selected: every drawing moves,
//            the cost of redrawing the whole scheme.
//
// A mutation observer on the canvas counts the drawn elements whose nodes
// changed per keystroke.
import { flushSync } from 'react-dom';
import { createRoot, type Root } from 'react-dom/client';
import { generateLoadScheme } from '../../webapp/content';
import type { DataSource } from '../../webapp/data';
import {
  DataSourceContext,
  EditorCanvas,
  EditorProvider,
  PropertyInspector,
  createEditorState,
  useEditor,
  type EditorState,
} from '../../webapp/editor';
import '../../webapp/styles/index.css';
import '../../webapp/symbols';

export type Variant = 'alone' | 'editor' | 'all';

export interface InspectorBench {
  /** Mounts a fresh editor for the variant on the load scheme of `count` rectangles; the drawn count. */
  mount(variant: Variant, count: number): number;
  /** Types `samples` keystrokes into "X"; milliseconds each, and drawings changed per keystroke. */
  time(samples: number): { times: number[]; changed: number[] };
  unmount(): void;
}

declare global {
  interface Window {
    propsBench: InspectorBench;
  }
}

// The catalogue and the values never arrive, so only typing changes anything.
const silentSource: DataSource = {
  subscribe: () => () => undefined,
  read: () => new Promise(() => undefined),
  listPoints: () => new Promise(() => undefined),
  writeCommand: () => Promise.resolve(),
  getHistory: () => Promise.resolve([]),
  subscribeEvents: () => () => undefined,
};

let latest: EditorState | undefined;
function Probe() {
  latest = useEditor().state;
  return null;
}

function Layout({ canvas }: { canvas: boolean }) {
  return (
    <div className="mnemo-editor orvo-root" tabIndex={-1}>
      <div className="mnemo-editor__body">
        <div className="mnemo-editor__palette" data-zone="palette" />
        <div className="mnemo-editor__canvas" data-zone="canvas">
          {canvas ? <EditorCanvas /> : null}
        </div>
        <div className="mnemo-editor__props" data-zone="props">
          <PropertyInspector />
        </div>
      </div>
      <Probe />
    </div>
  );
}

const host = document.getElementById('editor')!;
let root: Root | undefined;
let typed = 0;
const setValue = Object.getOwnPropertyDescriptor(HTMLInputElement.prototype, 'value')!.set!;

function xField(): HTMLInputElement {
  const label = [...document.querySelectorAll('.orvo-field__label')].find(
    (node) => node.textContent === 'X',
  ) as HTMLLabelElement | undefined;
  const input = label && document.getElementById(label.htmlFor);
  if (!(input instanceof HTMLInputElement)) throw new Error('no "X" field');
  return input;
}

window.propsBench = {
  mount(variant, count) {
    root?.unmount();
    const scheme = generateLoadScheme(count);
    const selectedIds =
      variant === 'all' ? scheme.elements.map((e) => e.id) : [scheme.elements[count >> 1].id];
    const initial = { ...createEditorState(scheme), selectedIds };
    root = createRoot(host);
    const created = root;
    flushSync(() =>
      created.render(
        <EditorProvider initial={initial}>
          <DataSourceContext.Provider value={silentSource}>
            <Layout canvas={variant !== 'alone'} />
          </DataSourceContext.Provider>
        </EditorProvider>,
      ),
    );
    return document.querySelectorAll('.mnemo-editor__canvas [data-element-id]').length;
  },
  time(samples) {
    const input = xField();
    const svg = document.querySelector('.mnemo-editor__canvas svg');
    const changed: number[] = [];
    const times: number[] = [];
    const observer = new MutationObserver(() => undefined);
    if (svg) observer.observe(svg, { subtree: true, attributes: true, childList: true });
    for (let i = 0; i < samples; i++) {
      typed = (typed + 1) % 500;
      const text = String(100 + typed);
      const start = performance.now();
      setValue.call(input, text);
      input.dispatchEvent(new Event('input', { bubbles: true }));
      void document.body.offsetHeight;
      times.push(performance.now() - start);
      if (
        latest?.scheme.elements.find((e) => e.id === latest?.selectedIds[0])?.x !== Number(text)
      ) {
        throw new Error('the keystroke did not reach the editor state synchronously');
      }
      const drawn = new Set<Element>();
      for (const record of observer.takeRecords()) {
        const target =
          record.target instanceof Element ? record.target : record.target.parentElement;
        const element = target?.closest('[data-element-id]');
        if (element) drawn.add(element);
      }
      changed.push(drawn.size);
    }
    observer.disconnect();
    return { times, changed };
  },
  unmount() {
    root?.unmount();
    root = undefined;
  },
};
