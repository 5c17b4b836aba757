// The built stylesheet in Chromium: the blink and flow markers driven by the
// marker clock, and the theme's frame and controls. The pages are small
// fixtures under the theme root with the built CSS; the clock is the module's
// own source, compiled here.
import { readFile } from 'node:fs/promises';
import { afterAll, beforeAll, describe, expect, it } from 'vitest';
import type { Page } from 'playwright-core';
import ts from 'typescript';
import { startBrowserHarness, type BrowserHarness } from './harness';

declare global {
  interface Window {
    startMarkerClock: (root: Element) => () => void;
  }
}

let harness: BrowserHarness;
let stylesheetUrl: string;
let clockScript: string;

beforeAll(async () => {
  harness = await startBrowserHarness();
  stylesheetUrl = new URL(harness.assetPath(/^index-[\w-]+\.css$/), harness.baseUrl).href;
  const source = await readFile(
    new URL('../../webapp/styles/markerClock.ts', import.meta.url),
    'utf8',
  );
  const compiled = ts.transpileModule(source, {
    compilerOptions: { module: ts.ModuleKind.ESNext, target: ts.ScriptTarget.ES2021 },
  }).outputText;
  clockScript = `${compiled}\nwindow.startMarkerClock = startMarkerClock;`;
});

afterAll(async () => {
  await harness?.close();
});

/** A page with an empty 960 × 560 scheme inside the theme root and the clock loaded. */
async function openScheme(reducedMotion: 'reduce' | 'no-preference'): Promise<Page> {
  const page = await harness.browser.newPage();
  await page.emulateMedia({ reducedMotion });
  await page.setContent(
    `<link rel="stylesheet" href="${stylesheetUrl}">
     <div class="orvo-root app" id="root">
       <svg id="scheme" viewBox="0 0 960 560" width="960" height="560"></svg>
     </div>`,
  );
  await page.addScriptTag({ type: 'module', content: clockScript });
  await page.waitForFunction(() => typeof window.startMarkerClock === 'function');
  return page;
}

describe('blinking markers', () => {
  it('blink together although they got the class 300 ms apart', async () => {
    const page = await openScheme('no-preference');
    const samples = await page.evaluate(async () => {
      const svg = document.getElementById('scheme')!;
      const ns = 'http://www.w3.org/2000/svg';
      const sleep = (ms: number) => new Promise((done) => setTimeout(done, ms));
      window.startMarkerClock(document.getElementById('root')!);

      // An alarm lamp as the binder leaves it: fill and visibility attributes.
      const lamp = document.createElementNS(ns, 'circle');
      Object.entries({ cx: 40, cy: 40, r: 7, fill: '#d04545', visibility: 'visible' }).forEach(
        ([name, value]) => lamp.setAttribute(name, String(value)),
      );
      svg.append(lamp);
      lamp.classList.add('mnemo-blink');
      await sleep(300);

      // A symbol group that starts blinking later.
      const group = document.createElementNS(ns, 'g');
      group.append(document.createElementNS(ns, 'rect'));
      svg.append(group);
      group.classList.add('mnemo-blink');

      const rows: { lamp: string; group: string }[] = [];
      for (let i = 0; i < 60; i += 1) {
        rows.push({ lamp: getComputedStyle(lamp).opacity, group: getComputedStyle(group).opacity });
        await sleep(40);
      }
      return rows;
    });
    await page.close();

    expect(samples.filter((row) => row.lamp !== row.group)).toEqual([]);
    expect(new Set(samples.map((row) => row.lamp))).toEqual(new Set(['1', '0.2']));
  });

  it('leave an element that the binder hid hidden in the lit phase', async () => {
    const page = await openScheme('no-preference');
    const seen = await page.evaluate(async () => {
      const lamp = document.createElementNS('http://www.w3.org/2000/svg', 'circle');
      lamp.setAttribute('visibility', 'hidden');
      lamp.classList.add('mnemo-blink');
      document.getElementById('scheme')!.append(lamp);
      window.startMarkerClock(document.getElementById('root')!);
      const values = new Set<string>();
      for (let i = 0; i < 30; i += 1) {
        values.add(getComputedStyle(lamp).visibility);
        await new Promise((done) => setTimeout(done, 40));
      }
      return [...values];
    });
    await page.close();
    expect(seen).toEqual(['hidden']);
  });
});

describe('flowing pipes', () => {
  it('run their dashes from the first point towards the last, in their own colour', async () => {
    const page = await openScheme('no-preference');
    const result = await page.evaluate(async () => {
      const svg = document.getElementById('scheme') as unknown as SVGSVGElement;
      const root = document.getElementById('root')!;
      const ns = 'http://www.w3.org/2000/svg';
      const pipe = (points: string) => {
        const line = document.createElementNS(ns, 'polyline');
        line.setAttribute('class', 'mnemo-pipe mnemo-flow');
        line.setAttribute('points', points);
        line.setAttribute('fill', 'none');
        line.setAttribute('stroke', '#4a90c0');
        line.setAttribute('stroke-width', '6');
        svg.append(line);
        return line;
      };
      const forward = pipe('20,20 220,20');
      const backward = pipe('220,60 20,60');

      // Distance from the pipe's first point to the leading edge of its
      // first whole dash, found by probing the dashed stroke's geometry.
      const dashStart = (line: SVGPolylineElement, x0: number, y: number, dir: number) => {
        const inStroke = (s: number) => {
          const point = svg.createSVGPoint();
          point.x = x0 + dir * s;
          point.y = y;
          return line.isPointInStroke(point);
        };
        for (let s = 1; s < 40; s += 1) if (!inStroke(s - 0.5) && inStroke(s + 0.5)) return s;
        return -1;
      };

      const stop = window.startMarkerClock(root);
      const rows: { phase: string | null; forward: number; backward: number }[] = [];
      for (let i = 0; i < 5; i += 1) {
        const before = root.getAttribute('data-flow-phase');
        while (root.getAttribute('data-flow-phase') === before) {
          await new Promise((done) => setTimeout(done, 10));
        }
        rows.push({
          phase: root.getAttribute('data-flow-phase'),
          forward: dashStart(forward, 20, 20, 1),
          backward: dashStart(backward, 220, 60, -1),
        });
      }
      stop();
      return { rows, stroke: getComputedStyle(forward).stroke };
    });
    await page.close();

    const advances = (key: 'forward' | 'backward') =>
      result.rows.slice(1).map((row, i) => (row[key] - result.rows[i][key] + 20) % 20);
    // One 5-unit step along the pipe per phase, whichever way the pipe is drawn.
    expect(advances('forward')).toEqual([5, 5, 5, 5]);
    expect(advances('backward')).toEqual([5, 5, 5, 5]);
    expect(result.stroke).toBe('rgb(74, 144, 192)');
  });
});

describe('with reduced motion', () => {
  it('keeps still dashes and marks blinking elements steadily', async () => {
    const page = await openScheme('reduce');
    const seen = await page.evaluate(async () => {
      const svg = document.getElementById('scheme')!;
      const ns = 'http://www.w3.org/2000/svg';
      const line = document.createElementNS(ns, 'polyline');
      line.setAttribute('class', 'mnemo-pipe mnemo-flow');
      line.setAttribute('points', '20,20 220,20');
      const lamp = document.createElementNS(ns, 'circle');
      lamp.setAttribute('class', 'mnemo-blink');
      svg.append(line, lamp);
      window.startMarkerClock(document.getElementById('root')!);

      const looks = new Set<string>();
      for (let i = 0; i < 30; i += 1) {
        const pipe = getComputedStyle(line);
        const mark = getComputedStyle(lamp);
        looks.add(
          [pipe.strokeDasharray, pipe.strokeDashoffset, mark.opacity, mark.outlineStyle].join(
            ' | ',
          ),
        );
        await new Promise((done) => setTimeout(done, 40));
      }
      return [...looks];
    });
    await page.close();
    expect(seen).toEqual(['12px, 8px | 0px | 1 | dashed']);
  });
});

describe('theme', () => {
  const ACCENT = 'rgb(28, 100, 209)';
  const ACCENT_SOFT = 'rgb(232, 240, 251)';
  const SURFACE = 'rgb(255, 255, 255)';
  const SUNKEN = 'rgb(248, 250, 252)';
  const NONE = 'rgba(0, 0, 0, 0)';

  let page: Page;

  beforeAll(async () => {
    page = await harness.browser.newPage({ viewport: { width: 1200, height: 700 } });
    await page.setContent(
      `<link rel="stylesheet" href="${stylesheetUrl}">
       <div class="orvo-root app">
         <nav class="app__nav">
           <div class="app__nav-title">Мнемосхемы</div>
           <button class="app__nav-item" data-testid="current" aria-current="true">Насосная станция</button>
           <button class="app__nav-item" data-testid="other" aria-current="false">Тепловой пункт</button>
         </nav>
         <main class="app__main">
           <header class="app__head">
             <div class="app__title">Насосная станция №1</div>
             <div class="orvo-seg" role="group">
               <button class="orvo-btn" data-testid="seg-1" aria-pressed="true">Просмотр</button>
               <button class="orvo-btn" data-testid="seg-2" aria-pressed="false">Редактирование</button>
               <button class="orvo-btn" data-testid="seg-3" aria-pressed="false">Третий</button>
             </div>
             <button class="orvo-btn" data-testid="disabled" disabled>Отменить</button>
           </header>
           <div class="app__stage">
             <div class="mnemo-editor orvo-root" style="width: 1000px; height: 400px">
               <div class="mnemo-editor__body" data-testid="body"><div></div><div></div><div></div></div>
               <div class="mnemo-editor__body mnemo-editor__body--preview" data-testid="preview"><div></div></div>
               <div style="width: 288px">
                 <div class="orvo-field" data-testid="field">
                   <label class="orvo-field__label">Ширина</label>
                   <div class="orvo-field__control"><input class="orvo-input"></div>
                 </div>
                 <div class="orvo-field__hint" data-testid="hint">Подсказка</div>
               </div>
             </div>
           </div>
         </main>
       </div>`,
    );
  });

  afterAll(async () => {
    await page?.close();
  });

  const style = (testId: string, ...names: string[]) =>
    page
      .getByTestId(testId)
      .evaluate(
        (node, keys) => keys.map((key) => getComputedStyle(node).getPropertyValue(key)),
        names,
      );

  const pointAt = async (testId: string) => {
    const box = (await page.getByTestId(testId).boundingBox())!;
    await page.mouse.move(box.x + box.width / 2, box.y + box.height / 2);
  };

  it('fills the window with the frame, the page itself not scrolling', async () => {
    const frame = await page.evaluate(() => ({
      box: document.querySelector('.app')!.getBoundingClientRect().toJSON(),
      scrollHeight: document.scrollingElement!.scrollHeight,
      bodyMargin: getComputedStyle(document.body).margin,
    }));
    expect(frame).toEqual({
      box: expect.objectContaining({ x: 0, y: 0, width: 1200, height: 700 }),
      scrollHeight: 700,
      bodyMargin: '8px',
    });
  });

  it('marks the current navigation entry and sinks the others under the pointer', async () => {
    await page.mouse.move(1190, 690);
    expect(await style('current', 'color', 'background-color', 'font-weight')).toEqual([
      ACCENT,
      ACCENT_SOFT,
      '600',
    ]);
    expect(await style('other', 'background-color', 'font-weight')).toEqual([NONE, '400']);
    await pointAt('other');
    expect(await style('other', 'background-color')).toEqual([SUNKEN]);
    await pointAt('current');
    expect(await style('current', 'background-color')).toEqual([ACCENT_SOFT]);
  });

  it('draws a disabled button faded, keeping its background under the pointer', async () => {
    await pointAt('disabled');
    expect(await style('disabled', 'opacity', 'background-color', 'cursor')).toEqual([
      '0.45',
      SURFACE,
      'default',
    ]);
  });

  it('rounds only the outer corners of a segmented switch and fills the pressed button', async () => {
    await page.mouse.move(1190, 690);
    const corners = ['border-top-left-radius', 'border-top-right-radius', 'border-left-width'];
    expect(await style('seg-1', ...corners)).toEqual(['6px', '0px', '0px']);
    expect(await style('seg-2', ...corners)).toEqual(['0px', '0px', '1px']);
    expect(await style('seg-3', ...corners)).toEqual(['0px', '6px', '1px']);
    expect(await style('seg-1', 'background-color', 'color')).toEqual([ACCENT, SURFACE]);
    expect(await style('seg-2', 'background-color')).toEqual([SURFACE]);
  });

  it('lays the editor body out in three columns, the preview in one', async () => {
    expect(await style('body', 'grid-template-columns')).toEqual(['208px 504px 288px']);
    expect(await style('preview', 'grid-template-columns')).toEqual(['1000px']);
  });

  it('starts a field hint under the control, 100px into the row', async () => {
    const row = (await page.getByTestId('field').boundingBox())!;
    const hint = (await page.getByTestId('hint').boundingBox())!;
    expect(hint.x - row.x).toBe(100);
  });
});
