// Drawing and reshaping pipes on the editing canvas in Chromium, with the real
// mouse and keyboard: on the canvas test page, and once in the whole built
// application (run `npx vite build` first). Scheme points are turned into
// client points by the browser's own mapping of the canvas (getScreenCTM).
import { afterAll, afterEach, beforeAll, beforeEach, describe, expect, it } from 'vitest';
import type { Browser, Page } from 'playwright-core';
import { canvasIds, openEditor } from './editorSession';
import { launchChromium, startBrowserHarness } from './harness';
import { startCanvasPage, type CanvasPageServer } from './pages/canvas.server';

interface Point {
  x: number;
  y: number;
}

let server: CanvasPageServer;
let browser: Browser;
let page: Page;
let errors: string[];

beforeAll(async () => {
  server = await startCanvasPage();
  browser = await launchChromium();
});

afterAll(async () => {
  await browser?.close();
  await server?.close();
});

beforeEach(async () => {
  page = await browser.newPage({ viewport: { width: 1000, height: 700 } });
  errors = [];
  page.on('pageerror', (error) => errors.push(error.message));
  await page.goto(server.url);
  await page.waitForSelector('[data-testid="canvas"]');
});

afterEach(async () => {
  await page.close();
  expect(errors).toEqual([]);
});

/** Where the browser draws a scheme point, in client pixels. */
function clientPoint(x: number, y: number): Promise<Point> {
  return page.evaluate(
    ([sx, sy]) => {
      const svg = document.querySelector<SVGSVGElement>('[data-testid="canvas"]');
      const matrix = svg?.getScreenCTM();
      if (!matrix) throw new Error('no canvas');
      const p = new DOMPoint(sx, sy).matrixTransform(matrix);
      return { x: p.x, y: p.y };
    },
    [x, y],
  );
}

/** Centre of the first node matching `selector`, as the browser draws it. */
function centreOf(selector: string): Promise<Point> {
  return page.evaluate((s) => {
    const node = document.querySelector(s);
    if (!node) throw new Error(`nothing matches ${s}`);
    const { left, top, width, height } = node.getBoundingClientRect();
    return { x: left + width / 2, y: top + height / 2 };
  }, selector);
}

function editor() {
  return page.evaluate(() => {
    const state = window.canvasPage.state();
    return {
      selectedIds: state.selectedIds,
      elements: state.scheme.elements,
      history: state.past.length,
      actions: window.canvasPage.actions.map((action) => action.type),
      commits: window.canvasPage.commits,
    };
  });
}

const elementOf = async (id: string) => (await editor()).elements.find((e) => e.id === id);
const resetRecording = () => page.evaluate(() => window.canvasPage.reset());
const toolButton = () => page.getByRole('button', { name: 'Нарисовать трубу' });
const vertex = (n: number) => `[aria-label="Вершина ${n}"]`;

async function clickScheme(x: number, y: number, shift = false) {
  const p = await clientPoint(x, y);
  if (shift) await page.keyboard.down('Shift');
  await page.mouse.click(p.x, p.y);
  if (shift) await page.keyboard.up('Shift');
}

describe('the pipe tool', () => {
  it('draws a pipe with three bends vertex by vertex, snapped, Shift keeping a segment straight', async () => {
    await toolButton().click();
    expect(await toolButton().getAttribute('aria-pressed')).toBe('true');
    await resetRecording();

    await clickScheme(32, 287);
    await clickScheme(128, 293);
    // 10 right and 57 down of (130, 290): Shift keeps it vertical.
    await clickScheme(137, 347, true);
    await clickScheme(231, 352);
    // The draft follows the pointer by attributes alone: nothing is rendered per move.
    for (const [x, y] of [
      [240, 360],
      [236, 375],
      [229, 386],
    ]) {
      const p = await clientPoint(x, y);
      await page.mouse.move(p.x, p.y);
    }
    expect(await page.locator('[data-testid="pipe-draft"] polyline').getAttribute('points')).toBe(
      '30,290 130,290 130,350 230,350',
    );
    expect(await page.locator('[data-testid="pipe-draft"] line').getAttribute('y2')).toBe('390');
    expect((await editor()).commits).toBe(0);
    const end = await clientPoint(229, 388);
    await page.mouse.dblclick(end.x, end.y);

    const after = await editor();
    expect(after.actions).toEqual(['add']);
    expect(after.history).toBe(1);
    const added = after.elements[after.elements.length - 1];
    expect(added).toMatchObject({
      type: 'polyline',
      points: [30, 290, 130, 290, 130, 350, 230, 350, 230, 390],
      x: 30,
      y: 290,
      width: 200,
      height: 100,
      style: { stroke: '#4a8f4a', strokeWidth: 4, flow: true },
    });
    expect(after.selectedIds).toEqual([added.id]);
    expect(await toolButton().getAttribute('aria-pressed')).toBe('false');
    expect(await page.locator('[data-testid="pipe-tool"]').count()).toBe(0);
    expect(await page.locator('[data-testid="vertex-handles"] circle').count()).toBe(5);
  });

  it('ends a pipe with Enter, and Esc drops the one being drawn', async () => {
    await toolButton().click();
    await clickScheme(30, 300);
    await clickScheme(90, 300);
    await page.keyboard.press('Escape');
    expect(await toolButton().getAttribute('aria-pressed')).toBe('false');
    expect((await editor()).actions).toEqual([]);
    // Disarmed, a click selects again.
    await clickScheme(20, 15);
    expect((await editor()).selectedIds).toEqual(['a']);

    await toolButton().click();
    await clickScheme(30, 300);
    await clickScheme(30, 360);
    await page.keyboard.press('Enter');
    const after = await editor();
    expect(after.actions).toEqual(['select', 'add']);
    expect(after.elements[after.elements.length - 1].points).toEqual([30, 300, 30, 360]);
  });
});

describe('vertex handles', () => {
  it('inserts a vertex by double click, drags it, and removes it with Delete, one step each', async () => {
    await clickScheme(440, 300);
    expect((await editor()).selectedIds).toEqual(['p']);
    await resetRecording();

    const onPipe = await clientPoint(441, 301);
    await page.mouse.dblclick(onPipe.x, onPipe.y);
    expect(await elementOf('p')).toMatchObject({ points: [400, 300, 440, 300, 480, 300] });

    const from = await centreOf(vertex(2));
    const to = await clientPoint(443, 347);
    const origin = await clientPoint(440, 300);
    await page.mouse.move(from.x, from.y);
    await page.mouse.down();
    await page.mouse.move(from.x + to.x - origin.x, from.y + to.y - origin.y, { steps: 4 });
    // During the drag only the drawing moves.
    expect(await page.locator('[data-drag-node="p"] polyline').getAttribute('points')).toBe(
      '400,300 440,350 480,300',
    );
    expect((await editor()).actions).toEqual(['select', 'select', 'insertVertex']);
    await page.mouse.up();
    expect(await elementOf('p')).toMatchObject({
      points: [400, 300, 440, 350, 480, 300],
      x: 400,
      y: 300,
      width: 80,
      height: 50,
    });

    // A click on the handle focuses it; Delete takes its vertex, not the pipe.
    await page.mouse.click(...(Object.values(await centreOf(vertex(2))) as [number, number]));
    expect(await page.evaluate(() => document.activeElement?.getAttribute('aria-label'))).toBe(
      'Вершина 2',
    );
    await page.keyboard.press('Delete');
    const after = await editor();
    expect(after.elements.find((e) => e.id === 'p')).toMatchObject({
      points: [400, 300, 480, 300],
      width: 80,
      height: 0,
    });
    expect(after.actions.filter((type) => type !== 'select')).toEqual([
      'insertVertex',
      'moveVertex',
      'removeVertex',
    ]);
    expect(after.history).toBe(3);
    // Two vertices are the least: Delete on an end keeps the pipe whole.
    await page.focus(vertex(1));
    await page.keyboard.press('Delete');
    expect((await elementOf('p'))?.points).toEqual([400, 300, 480, 300]);
  });
});

describe('the pipe tool in the editor', () => {
  it('draws a pipe from the toolbar, the editor keys working on afterwards', async () => {
    const harness = await startBrowserHarness();
    try {
      const app = await harness.browser.newPage({ viewport: { width: 1280, height: 760 } });
      app.on('pageerror', (error) => errors.push(error.message));
      await app.goto(`${harness.baseUrl}index.html`);
      await openEditor(app);
      const before = await canvasIds(app);
      const button = app.getByRole('button', { name: 'Нарисовать трубу' });
      await button.click();
      expect(await button.getAttribute('aria-pressed')).toBe('true');
      page = app;
      await clickScheme(41, 62);
      await clickScheme(139, 58);
      await clickScheme(142, 118, true);
      await page.keyboard.press('Enter');
      expect(await button.getAttribute('aria-pressed')).toBe('false');
      const ids = await canvasIds(app);
      expect(ids.slice(0, -1)).toEqual(before);
      const added = ids[ids.length - 1];
      expect(await app.locator(`[data-drag-node="${added}"] polyline`).getAttribute('points')).toBe(
        '40,60 140,60 140,120',
      );
      await app.keyboard.press('Control+z');
      expect(await canvasIds(app)).toEqual(before);
    } finally {
      await harness.close();
    }
  });
});
