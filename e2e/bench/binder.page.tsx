// The page of the binder benchmark. A load scheme is drawn by the real
// runtime view and bound by the real binder over a data source whose one
// subscriber the page calls directly, so one call is one "updates" delivery of
// the 50 generic points. Beside it, on the same scheme and the same values:
//
//   floor    - a plain loop writing fill, visibility and the blink class onto
//              the runtime view's own nodes, with the colour rule inlined;
//   compare  - the same loop writing each attribute only when the node's own
//              value differs;
//   changes  - the same loop writing a fill only when it differs from the one
//              it wrote last (kept on the script side);
//   rerender - the scheme drawn by React through the same element renderer,
//              every element's style resolved from the values passed as props.
//
// The values come from the emulator's simulator with a seeded generator,
// filtered to the scheme's points as the data-source client does.
import { cloneElement } from 'react';
import { flushSync } from 'react-dom';
import { createRoot, type Root } from 'react-dom/client';
import { generateLoadScheme } from '../../webapp/content/load';
import type { DataSource, PointValue } from '../../webapp/data';
import { createSimulator, pointCatalogue } from '../../webapp/emulator';
import { collectPointIds, resolveStyle, type Scheme } from '../../webapp/scheme';
import { RuntimeView, renderElement } from '../../webapp/shell';

export type Variant = 'binder' | 'floor' | 'compare' | 'changes' | 'rerender';

export interface BinderBench {
  /** Draws and binds the load scheme of `count` rectangles; resolves with the bound nodes' count. */
  mount(count: number): Promise<number>;
  /** Times `samples` deliveries of one variant, one by one; milliseconds each. */
  time(variant: Variant, samples: number): number[];
  /** Carries out `count` deliveries of one variant without timing them. */
  run(variant: Variant, count: number): void;
  /** Delivers the next values to the binder and the re-rendered view; whether their fills agree. */
  agree(): boolean;
}

declare global {
  interface Window {
    binderBench: BinderBench;
  }
}

const RING = 400;
const HOT = '#cc3333';
const COLD = '#88cc88';

/** Small seeded generator, so every run sees the same walk. */
function seeded(seed: number): () => number {
  let state = seed >>> 0;
  return () => {
    state = (state + 0x6d2b79f5) >>> 0;
    let t = state;
    t = Math.imul(t ^ (t >>> 15), t | 1);
    t ^= t + Math.imul(t ^ (t >>> 7), t | 61);
    return ((t ^ (t >>> 14)) >>> 0) / 4294967296;
  };
}

function deliveriesFor(scheme: Scheme): PointValue[][] {
  const wanted = new Set(collectPointIds(scheme));
  const simulator = createSimulator(pointCatalogue, seeded(20260101));
  const ring: PointValue[][] = [];
  for (let i = 0; i < RING; i++) {
    ring.push(simulator.tick(1_700_000_000_000 + i * 500).filter((point) => wanted.has(point.id)));
  }
  return ring;
}

// A stable ref, so that React never detaches and re-attaches the nodes.
const noNode = () => {};

function Rerendered({
  scheme,
  values,
}: {
  scheme: Scheme;
  values: ReadonlyMap<string, PointValue>;
}) {
  const { width, height } = scheme.size;
  return (
    <svg viewBox={`0 0 ${width} ${height}`} width={width} height={height}>
      {scheme.elements.map((element) => {
        const style = resolveStyle(element, values.get(element.pointId ?? ''));
        const drawn = renderElement({ ...element, style }, noNode);
        return (
          drawn &&
          cloneElement(drawn, {
            visibility: style.visible === false ? 'hidden' : 'visible',
            className: style.blink === true ? 'mnemo-blink' : undefined,
          })
        );
      })}
    </svg>
  );
}

interface Mounted {
  scheme: Scheme;
  ring: PointValue[][];
  deliver: (values: PointValue[]) => void;
  floorNodes: Map<string, Element[]>;
  lastFill: WeakMap<Element, string>;
  rerenderRoot: Root;
  binderRoot: Root;
  next: number;
}

let mounted: Mounted | undefined;

function fakeSource(onSubscribe: (callback: (values: PointValue[]) => void) => void): DataSource {
  return {
    subscribe(_ids, callback) {
      onSubscribe(callback);
      return () => {};
    },
    read: () => new Promise<PointValue[]>(() => {}),
    listPoints: () => Promise.resolve([]),
    writeCommand: () => Promise.resolve(),
    getHistory: () => Promise.resolve([]),
    subscribeEvents: () => () => {},
  };
}

function floorDeliver(nodes: Map<string, Element[]>, values: readonly PointValue[]): void {
  for (let i = 0; i < values.length; i++) {
    const value = values[i].value;
    const list = nodes.get(values[i].id);
    if (list === undefined) continue;
    const fill = typeof value === 'number' && value >= 70 ? HOT : COLD;
    for (let j = 0; j < list.length; j++) {
      const node = list[j];
      node.setAttribute('fill', fill);
      node.setAttribute('visibility', 'visible');
      node.classList.toggle('mnemo-blink', false);
    }
  }
}

function compareDeliver(nodes: Map<string, Element[]>, values: readonly PointValue[]): void {
  for (let i = 0; i < values.length; i++) {
    const value = values[i].value;
    const list = nodes.get(values[i].id);
    if (list === undefined) continue;
    const fill = typeof value === 'number' && value >= 70 ? HOT : COLD;
    for (let j = 0; j < list.length; j++) {
      const node = list[j];
      if (node.getAttribute('fill') !== fill) node.setAttribute('fill', fill);
      if (node.getAttribute('visibility') !== 'visible') node.setAttribute('visibility', 'visible');
      node.classList.toggle('mnemo-blink', false);
    }
  }
}

function changesDeliver(
  nodes: Map<string, Element[]>,
  lastFill: WeakMap<Element, string>,
  values: readonly PointValue[],
): void {
  for (let i = 0; i < values.length; i++) {
    const value = values[i].value;
    const list = nodes.get(values[i].id);
    if (list === undefined) continue;
    const fill = typeof value === 'number' && value >= 70 ? HOT : COLD;
    for (let j = 0; j < list.length; j++) {
      const node = list[j];
      if (lastFill.get(node) === fill) continue;
      lastFill.set(node, fill);
      node.setAttribute('fill', fill);
    }
  }
}

function deliverOnce(state: Mounted, variant: Variant): void {
  const values = state.ring[state.next];
  state.next = (state.next + 1) % state.ring.length;
  switch (variant) {
    case 'binder':
      state.deliver(values);
      break;
    case 'floor':
      floorDeliver(state.floorNodes, values);
      break;
    case 'compare':
      compareDeliver(state.floorNodes, values);
      break;
    case 'changes':
      changesDeliver(state.floorNodes, state.lastFill, values);
      break;
    case 'rerender': {
      const byId = new Map(values.map((value) => [value.id, value]));
      flushSync(() =>
        state.rerenderRoot.render(<Rerendered scheme={state.scheme} values={byId} />),
      );
      break;
    }
    default: {
      const unknown: never = variant;
      throw new Error(`unknown variant ${String(unknown)}`);
    }
  }
}

function need(): Mounted {
  if (!mounted) throw new Error('mount a scheme first');
  return mounted;
}

window.binderBench = {
  async mount(count) {
    mounted?.binderRoot.unmount();
    mounted?.rerenderRoot.unmount();
    mounted = undefined;
    const scheme = generateLoadScheme(count);
    let deliver: ((values: PointValue[]) => void) | undefined;
    const source = fakeSource((callback) => (deliver = callback));
    const binderRoot = createRoot(document.getElementById('binder-view')!);
    flushSync(() => binderRoot.render(<RuntimeView scheme={scheme} dataSource={source} />));
    while (deliver === undefined) await new Promise((resolve) => setTimeout(resolve, 10));
    const rerenderRoot = createRoot(document.getElementById('rerender-view')!);
    flushSync(() => rerenderRoot.render(<Rerendered scheme={scheme} values={new Map()} />));

    const floorNodes = new Map<string, Element[]>();
    for (const element of scheme.elements) {
      const node = document.querySelector(`#binder-view [data-element-id="${element.id}"]`);
      const pointId = element.pointId ?? '';
      if (!node) throw new Error(`element ${element.id} is not drawn`);
      floorNodes.set(pointId, [...(floorNodes.get(pointId) ?? []), node]);
    }
    mounted = {
      scheme,
      ring: deliveriesFor(scheme),
      deliver,
      floorNodes,
      lastFill: new WeakMap(),
      rerenderRoot,
      binderRoot,
      next: 0,
    };
    return document.querySelectorAll('#binder-view [data-element-id]').length;
  },

  time(variant, samples) {
    const state = need();
    const times: number[] = [];
    for (let i = 0; i < samples; i++) {
      const started = performance.now();
      deliverOnce(state, variant);
      times.push(performance.now() - started);
      // Style the written nodes outside the timed part, so that every sample
      // starts from a clean document.
      document.body.getBoundingClientRect();
    }
    return times;
  },

  run(variant, count) {
    const state = need();
    for (let i = 0; i < count; i++) deliverOnce(state, variant);
  },

  agree() {
    const state = need();
    deliverOnce(state, 'binder');
    state.next = (state.next + state.ring.length - 1) % state.ring.length;
    deliverOnce(state, 'rerender');
    const fills = (view: string) =>
      Array.from(document.querySelectorAll(`#${view} [data-element-id]`), (node) =>
        node.getAttribute('fill'),
      ).join();
    return fills('binder-view') === fills('rerender-view');
  },
};
