// The page of the canvas benchmark: the editing canvas alone on the load
// scheme of 2000 rectangles, driven by pointer events dispatched on its nodes.
// Every timing has two parts: `sync`, from the event to the end of the style
// and layout it causes (forced at once), and `frame`, the rendering of the next
// frame (from its animation-frame callback to a message posted there, which
// runs once the frame is done). Side by side:
//
//   one, all             - a pointer move dragging one element or all 2000;
//   write-one, write-all - a plain loop writing the same transforms onto the
//                          same groups, with the same forced layout.
//
// Commands dispatched by the canvas are recorded by a wrapper of its context;
// React commits of the canvas are counted by a sibling consumer of the same
// context, since the canvas renders only when the editor state changes.
import '../../webapp/symbols';
import '../../webapp/styles/index.css';
import { useLayoutEffect, useMemo, type Dispatch } from 'react';
import { flushSync } from 'react-dom';
import { createRoot, type Root } from 'react-dom/client';
import { generateLoadScheme } from '../../webapp/content';
import {
  EditorCanvas,
  EditorContext,
  EditorProvider,
  createEditorState,
  useEditor,
  type EditorAction,
  type EditorState,
} from '../../webapp/editor';

export interface Timing {
  sync: number;
  frame: number;
}

export type MoveVariant = 'one' | 'all' | 'write-one' | 'write-all';
export type GestureKind = 'drag-one' | 'drag-selected' | 'drag-all' | 'resize' | 'marquee';

export interface Counts {
  commits: number;
  dispatches: string[];
}

export interface CanvasBench {
  /** Mounts the canvas on load-2000 afresh; resolves with the number of drawn groups. */
  open(): Promise<Timing & { groups: number }>;
  /** Clicks the element `index`, nothing being selected before. */
  select(index: number): Promise<Timing>;
  /** Times `samples` pointer moves of a drag (or plain writes), one per frame. */
  moves(variant: MoveVariant, samples: number): Promise<Timing[]>;
  /** Commits and commands at the press, over ten moves and at the release of a gesture. */
  gesture(kind: GestureKind): Promise<{ press: Counts; moves: Counts; release: Counts }>;
}

declare global {
  interface Window {
    canvasBench: CanvasBench;
  }
}

const COUNT = 2000;
const scheme = generateLoadScheme(COUNT);
const PRESSED = `L${COUNT / 2}`;

let root: Root | undefined;
let editor: { state: EditorState; dispatch: Dispatch<EditorAction> } | undefined;
const recorded: Counts = { commits: 0, dispatches: [] };

function CommitCounter() {
  useEditor();
  useLayoutEffect(() => {
    recorded.commits += 1;
  });
  return null;
}

function Recording() {
  const context = useEditor();
  editor = context;
  const value = useMemo(
    () => ({
      state: context.state,
      dispatch: (action: EditorAction) => {
        recorded.dispatches.push(action.type);
        context.dispatch(action);
      },
    }),
    [context],
  );
  return (
    <EditorContext.Provider value={value}>
      <CommitCounter />
      <EditorCanvas />
    </EditorContext.Provider>
  );
}

const channel = new MessageChannel();
let afterFrame: (() => void) | undefined;
channel.port2.onmessage = () => {
  const callback = afterFrame;
  afterFrame = undefined;
  callback?.();
};

/** Rendering time of the next frame. */
function frame(): Promise<number> {
  return new Promise((resolve) =>
    requestAnimationFrame(() => {
      const start = performance.now();
      afterFrame = () => resolve(performance.now() - start);
      channel.port1.postMessage(null);
    }),
  );
}

function svg(): SVGSVGElement {
  const node = document.querySelector<SVGSVGElement>('[data-testid="canvas"]');
  if (!node) throw new Error('the canvas is not mounted');
  return node;
}

function forceLayout(): void {
  svg().getBoundingClientRect();
}

function clientOf(x: number, y: number): DOMPoint {
  const matrix = svg().getScreenCTM();
  if (!matrix) throw new Error('the canvas has no screen matrix');
  return new DOMPoint(x, y).matrixTransform(matrix);
}

function pointer(type: string, target: Element, x: number, y: number): void {
  const p = clientOf(x, y);
  target.dispatchEvent(
    new PointerEvent(type, {
      bubbles: true,
      cancelable: true,
      composed: true,
      clientX: p.x,
      clientY: p.y,
      pointerId: 1,
      pointerType: 'mouse',
      isPrimary: true,
      buttons: type === 'pointerup' ? 0 : 1,
    }),
  );
}

function current(): { state: EditorState; dispatch: Dispatch<EditorAction> } {
  if (!editor) throw new Error('the canvas is not mounted');
  return editor;
}

/** Dispatches as another part of the editor would, and renders at once. */
function command(action: EditorAction): void {
  flushSync(() => current().dispatch(action));
}

const element = (id: string) => scheme.elements.find((candidate) => candidate.id === id);
const drawn = (id: string) => {
  const node = svg().querySelector(`[data-drag-node="${id}"] rect`);
  if (!node) throw new Error(`element ${id} is not drawn`);
  return node;
};
/** Consecutive moves write different transforms: offsets on the grid, 10 to 200 units. */
const offset = (i: number) => ({ x: ((i % 20) + 1) * 10, y: ((i % 3) + 1) * 10 });

function snapshot(): Counts {
  const counts = { commits: recorded.commits, dispatches: recorded.dispatches };
  recorded.commits = 0;
  recorded.dispatches = [];
  return counts;
}

/** Brings the scheme and selection back after a gesture that changed them. */
async function restore(): Promise<void> {
  while (current().state.past.length > 0) command({ type: 'undo' });
  command({ type: 'select', ids: [] });
  await frame();
}

async function timed(work: () => void | Promise<void>): Promise<Timing> {
  const start = performance.now();
  await work();
  forceLayout();
  const sync = performance.now() - start;
  return { sync, frame: await frame() };
}

window.canvasBench = {
  async open() {
    root?.unmount();
    await frame();
    const container = document.getElementById('stage');
    if (!container) throw new Error('no stage');
    const timing = await timed(() => {
      root = createRoot(container);
      flushSync(() =>
        root?.render(
          <EditorProvider initial={createEditorState(scheme)}>
            <Recording />
          </EditorProvider>,
        ),
      );
    });
    return { ...timing, groups: svg().querySelectorAll('[data-drag-node]').length };
  },

  async select(index) {
    command({ type: 'select', ids: [] });
    await frame();
    const id = `L${index % COUNT}`;
    const box = element(id);
    if (!box) throw new Error(`no element ${id}`);
    const target = drawn(id);
    const timing = await timed(async () => {
      pointer('pointerdown', target, box.x + 5, box.y + 5);
      // React renders a discrete event's update in a microtask queued before this one.
      await Promise.resolve();
      pointer('pointerup', svg(), box.x + 5, box.y + 5);
    });
    const selected = current().state.selectedIds;
    if (selected.length !== 1 || selected[0] !== id) {
      throw new Error(`expected ${id} selected, found ${selected.join(', ')}`);
    }
    return timing;
  },

  async moves(variant, samples) {
    const box = element(PRESSED);
    if (!box) throw new Error('no pressed element');
    const start = { x: box.x + 5, y: box.y + 5 };
    const times: Timing[] = [];
    if (variant === 'write-one' || variant === 'write-all') {
      const nodes =
        variant === 'write-one'
          ? [svg().querySelector(`[data-drag-node="${PRESSED}"]`) as Element]
          : [...svg().querySelectorAll('[data-drag-node]')];
      for (let i = 0; i < samples; i++) {
        const { x, y } = offset(i);
        times.push(
          await timed(() => {
            const transform = `translate(${x} ${y})`;
            for (const node of nodes) node.setAttribute('transform', transform);
          }),
        );
      }
      for (const node of nodes) node.removeAttribute('transform');
      await frame();
      return times;
    }
    command({
      type: 'select',
      ids: variant === 'all' ? scheme.elements.map((e) => e.id) : [],
    });
    await frame();
    pointer('pointerdown', drawn(PRESSED), start.x, start.y);
    await frame();
    for (let i = 0; i < samples; i++) {
      const { x, y } = offset(i);
      times.push(await timed(() => pointer('pointermove', svg(), start.x + x, start.y + y)));
    }
    pointer('pointerup', svg(), start.x, start.y + 1000);
    await frame();
    await restore();
    return times;
  },

  async gesture(kind) {
    const box = element(PRESSED);
    if (!box) throw new Error('no pressed element');
    const selection =
      kind === 'drag-all'
        ? scheme.elements.map((e) => e.id)
        : kind === 'drag-selected' || kind === 'resize'
          ? [PRESSED]
          : [];
    command({ type: 'select', ids: selection });
    await frame();
    // Pressed point and target of each gesture; the marquee starts in a gap of the grid.
    const from =
      kind === 'resize'
        ? { x: box.x + box.width, y: box.y + box.height }
        : kind === 'marquee'
          ? { x: box.x - 5, y: box.y - 5 }
          : { x: box.x + 5, y: box.y + 5 };
    const target =
      kind === 'resize'
        ? svg().querySelector('[data-resize-anchor="se"]')
        : kind === 'marquee'
          ? svg()
          : drawn(PRESSED);
    if (!target) throw new Error(`nothing to press for ${kind}`);
    snapshot();
    pointer('pointerdown', target, from.x, from.y);
    await frame();
    const press = snapshot();
    for (let i = 0; i < 10; i++) {
      const { x, y } = offset(i);
      pointer('pointermove', svg(), from.x + x, from.y + y);
      await frame();
    }
    const moves = snapshot();
    pointer('pointerup', svg(), from.x + 100, from.y + 100);
    await frame();
    const release = snapshot();
    await restore();
    return { press, moves, release };
  },
};
