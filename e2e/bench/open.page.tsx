// The page of the opening benchmark: the application's own shell, registry and
// emulator data source, mounted as the entry module does. Beside it, the floor:
// the same elements built with plain DOM calls.
//
//   app   - a click on a scheme's navigation button; timed from just before the
//           click to the end of the first frame (a message posted from that
//           frame's animation callback runs once the frame is done), and to the
//           end of the frame that shows the first live values;
//   floor - the same elements, with the attributes the view draws, built with
//           createElementNS/setAttribute into a detached svg, put in place of
//           the stage's view in a box of the same size, timed to the end of the
//           next frame.
//
// Both ask for their frame before doing anything, so that neither waits for a
// frame boundary after its work.
import { StrictMode } from 'react';
import { createRoot } from 'react-dom/client';
import { createLoadEntries, generateLoadScheme, stockSchemes } from '../../webapp/content';
import { createEmulatorDataSource } from '../../webapp/data';
import type { DataSource, PointValue } from '../../webapp/data';
import type { Scheme } from '../../webapp/scheme';
import { AppShell, createSchemeRegistry } from '../../webapp/shell';
import '../../webapp/styles/index.css';
import '../../webapp/symbols';

export interface OpenTimes {
  /** Click (or start of the build) to the end of the first frame, ms. */
  frame: number;
  /** To the end of the frame that shows the first live values, ms (app only). */
  live?: number;
  /** Drawn elements in the stage after that frame. */
  drawn: number;
}

export type WorkMode = 'Просмотр' | 'Редактирование';

export interface OpenBench {
  /** Switches the shell's work mode by its switch. */
  mode(label: WorkMode): Promise<void>;
  /**
   * Times the plain-DOM drawing of the load scheme as the editing canvas draws
   * it (each element in its drag group and cursor group), put in place of the
   * canvas shown, to the end of the next frame.
   */
  canvasFloor(count: number, profile?: boolean): Promise<OpenTimes>;
  /** Shows the scheme of that registration id through its navigation button. */
  select(id: string): Promise<void>;
  /**
   * Times a click on the scheme's navigation button (another scheme shown
   * first); with `live` false it resolves at the end of the first frame.
   */
  app(id: string, live?: boolean, profile?: boolean, drawnSelector?: string): Promise<OpenTimes>;
  /**
   * Times the plain-DOM drawing of the load scheme of `count` rectangles. With
   * `profile` (as for `app`), a console profile "open" covers exactly the
   * timed span up to the end of the first frame.
   */
  floor(count: number, profile?: boolean): Promise<OpenTimes>;
}

declare global {
  interface Window {
    openBench: OpenBench;
  }
}

// The first values reaching a binder started after `arm`; deliveries to
// older subscriptions do not count.
let generation = 0;
let onFirstValues: (() => void) | undefined;

function watched(source: DataSource): DataSource {
  const seen = (own: number) => {
    if (own !== generation || onFirstValues === undefined) return;
    const notify = onFirstValues;
    onFirstValues = undefined;
    notify();
  };
  return {
    ...source,
    subscribe(ids, callback) {
      const own = generation;
      return source.subscribe(ids, (values: PointValue[]) => {
        callback(values);
        seen(own);
      });
    },
    read(ids) {
      const own = generation;
      const answer = source.read(ids);
      // Runs before the binder's own callback; the frame asked for here comes
      // after both.
      void answer.then(() => seen(own));
      return answer;
    },
  };
}

const entries = [...stockSchemes, ...createLoadEntries()];
const registry = createSchemeRegistry(entries);
const dataSource = watched(createEmulatorDataSource());
createRoot(document.getElementById('root')!).render(
  <StrictMode>
    <AppShell registry={registry} dataSource={dataSource} />
  </StrictMode>,
);

const channel = new MessageChannel();
let afterFrameCallback: (() => void) | undefined;
channel.port2.onmessage = () => {
  const callback = afterFrameCallback;
  afterFrameCallback = undefined;
  callback?.();
};

/** Calls `callback` once the next frame is done. */
function endOfNextFrame(callback: () => void): void {
  requestAnimationFrame(() => {
    afterFrameCallback = callback;
    channel.port1.postMessage(null);
  });
}

const nextFrame = () => new Promise<void>((resolve) => endOfNextFrame(resolve));

function stage(): Element {
  const found = document.querySelector('[data-testid="stage"]');
  if (!found) throw new Error('no stage');
  return found;
}

const drawnCount = (selector = '[data-element-id]') => stage().querySelectorAll(selector).length;

const loadSchemes = new Map<number, Scheme>();

const SVG = 'http://www.w3.org/2000/svg';

/** The load scheme's rectangles with the attributes, in the order, that the view draws. */
function buildFloor(scheme: Scheme): Element {
  const svg = document.createElementNS(SVG, 'svg');
  svg.setAttribute('viewBox', `0 0 ${scheme.size.width} ${scheme.size.height}`);
  svg.setAttribute('width', '100%');
  svg.setAttribute('height', '100%');
  svg.setAttribute('preserveAspectRatio', 'xMidYMid meet');
  const elements = scheme.elements;
  for (let i = 0; i < elements.length; i++) {
    const element = elements[i];
    const rect = document.createElementNS(SVG, 'rect');
    rect.setAttribute('data-element-id', element.id);
    rect.setAttribute('x', String(element.x));
    rect.setAttribute('y', String(element.y));
    rect.setAttribute('width', String(element.width));
    rect.setAttribute('height', String(element.height));
    rect.setAttribute('fill', element.style.fill ?? 'none');
    svg.appendChild(rect);
  }
  const box = document.createElement('div');
  box.style.width = `${scheme.size.width}px`;
  box.style.height = `${scheme.size.height}px`;
  box.appendChild(svg);
  return box;
}

function loadScheme(count: number): Scheme {
  let scheme = loadSchemes.get(count);
  if (!scheme) {
    scheme = generateLoadScheme(count);
    loadSchemes.set(count, scheme);
  }
  return scheme;
}

/** The canvas's svg with each rectangle in its drag group and cursor group, as the canvas draws them. */
function buildCanvasFloor(scheme: Scheme): Element {
  const { width, height } = scheme.size;
  const svg = document.createElementNS(SVG, 'svg');
  svg.setAttribute('data-testid', 'canvas');
  svg.setAttribute('class', 'mnemo-canvas');
  svg.setAttribute('width', String(width));
  svg.setAttribute('height', String(height));
  svg.setAttribute('viewBox', `0 0 ${width} ${height}`);
  svg.setAttribute('preserveAspectRatio', 'none');
  const elements = scheme.elements;
  for (let i = 0; i < elements.length; i++) {
    const element = elements[i];
    const drag = document.createElementNS(SVG, 'g');
    drag.setAttribute('data-drag-node', element.id);
    const cursor = document.createElementNS(SVG, 'g');
    cursor.setAttribute('cursor', 'move');
    const rect = document.createElementNS(SVG, 'rect');
    rect.setAttribute('data-element-id', element.id);
    rect.setAttribute('x', String(element.x));
    rect.setAttribute('y', String(element.y));
    rect.setAttribute('width', String(element.width));
    rect.setAttribute('height', String(element.height));
    rect.setAttribute('fill', element.style.fill ?? 'none');
    cursor.appendChild(rect);
    drag.appendChild(cursor);
    svg.appendChild(drag);
  }
  return svg;
}

window.openBench = {
  async select(id) {
    const button = document.querySelector<HTMLElement>(`[data-testid="scheme-${id}"]`);
    if (!button) throw new Error(`no navigation button for ${id}`);
    button.click();
    await nextFrame();
    await nextFrame();
  },

  async mode(label) {
    const button = Array.from(document.querySelectorAll<HTMLElement>('.orvo-seg button')).find(
      (candidate) => candidate.textContent === label,
    );
    if (!button) throw new Error(`no work mode ${label}`);
    button.click();
    await nextFrame();
    await nextFrame();
  },

  app(id, waitLive = true, profile = false, drawnSelector = '[data-element-id]') {
    const button = document.querySelector<HTMLElement>(`[data-testid="scheme-${id}"]`);
    if (!button) return Promise.reject(new Error(`no navigation button for ${id}`));
    return new Promise<OpenTimes>((resolve) => {
      let frame: number | undefined;
      let live: number | undefined;
      let drawn = 0;
      const done = () => {
        if (frame !== undefined && (live !== undefined || !waitLive))
          resolve({ frame, live, drawn });
      };
      const timeout = setTimeout(() => {
        onFirstValues = undefined;
        live = Number.NaN;
        done();
      }, 5000);
      generation++;
      if (profile) console.profile('open');
      const started = performance.now();
      onFirstValues = () =>
        endOfNextFrame(() => {
          live = performance.now() - started;
          clearTimeout(timeout);
          done();
        });
      endOfNextFrame(() => {
        frame = performance.now() - started;
        if (profile) console.profileEnd('open');
        drawn = drawnCount(drawnSelector);
        done();
      });
      button.click();
    });
  },

  canvasFloor(count, profile = false) {
    const drawing = loadScheme(count);
    const shown = document.querySelector('[data-testid="canvas"]');
    if (!shown) return Promise.reject(new Error('no canvas in the stage'));
    return new Promise<OpenTimes>((resolve) => {
      if (profile) console.profile('open');
      const started = performance.now();
      const built: { node?: Element } = {};
      endOfNextFrame(() => {
        const frame = performance.now() - started;
        if (profile) console.profileEnd('open');
        const drawn = drawnCount('[data-drag-node]');
        built.node?.replaceWith(shown);
        resolve({ frame, drawn });
      });
      built.node = buildCanvasFloor(drawing);
      shown.replaceWith(built.node);
    });
  },

  floor(count, profile = false) {
    let scheme = loadSchemes.get(count);
    if (!scheme) {
      scheme = generateLoadScheme(count);
      loadSchemes.set(count, scheme);
    }
    const shown = document.querySelector('[data-testid="runtime"]');
    if (!shown) return Promise.reject(new Error('no view in the stage'));
    const drawing = scheme;
    return new Promise<OpenTimes>((resolve) => {
      if (profile) console.profile('open');
      const started = performance.now();
      const box: { node?: Element } = {};
      endOfNextFrame(() => {
        const frame = performance.now() - started;
        if (profile) console.profileEnd('open');
        const drawn = drawnCount();
        // Put the application's own view back, untimed.
        box.node?.replaceWith(shown);
        resolve({ frame, drawn });
      });
      box.node = buildFloor(drawing);
      shown.replaceWith(box.node);
    });
  },
};
