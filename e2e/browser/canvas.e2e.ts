// The editing canvas in Chromium, driven by real pointer, wheel and drag
// input. Scheme points are turned into client points by the browser's own
// mapping of the canvas (getScreenCTM), so that "the point under the pointer"
// means where the browser draws it.
import { afterAll, afterEach, beforeAll, beforeEach, describe, expect, it } from 'vitest';
import type { Browser, Page } from 'playwright-core';
import { launchChromium } from './harness';
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

/** Client box of the first node matching `selector`, as the browser draws it. */
function clientBox(selector: string) {
  return page.evaluate((s) => {
    const node = document.querySelector(s);
    if (!node) throw new Error(`nothing matches ${s}`);
    const { left, top, width, height } = node.getBoundingClientRect();
    return { left, top, width, height, cx: left + width / 2, cy: top + height / 2 };
  }, selector);
}

function editor() {
  return page.evaluate(() => {
    const state = window.canvasPage.state();
    return {
      selectedIds: state.selectedIds,
      elements: state.scheme.elements,
      zoom: state.zoom,
      history: state.past.length,
      actions: window.canvasPage.actions.map((action) => action.type),
      commits: window.canvasPage.commits,
    };
  });
}

const elementOf = async (id: string) => (await editor()).elements.find((e) => e.id === id);

async function click(point: Point, shift = false) {
  if (shift) await page.keyboard.down('Shift');
  await page.mouse.click(point.x, point.y);
  if (shift) await page.keyboard.up('Shift');
}

/** Presses at `from`, moves to `to` in a few steps, runs `during`, releases. */
async function drag(from: Point, to: Point, during?: () => Promise<void>) {
  await page.mouse.move(from.x, from.y);
  await page.mouse.down();
  await page.mouse.move(to.x, to.y, { steps: 4 });
  await during?.();
  await page.mouse.up();
}

const handle = (name: string) => clientBox(`[data-resize-anchor="${name}"]`);

describe('canvas selection', () => {
  it('selects by click and Shift+click, keeps the scheme on a click, and clears on the empty canvas', async () => {
    await click(await clientPoint(20, 15));
    expect((await editor()).selectedIds).toEqual(['a']);
    await click(await clientPoint(120, 40), true);
    expect((await editor()).selectedIds).toEqual(['a', 'b']);
    await click(await clientPoint(20, 15), true);
    expect((await editor()).selectedIds).toEqual(['b']);
    await click(await clientPoint(550, 380));
    const after = await editor();
    expect(after.selectedIds).toEqual([]);
    expect(after.actions).toEqual(['select', 'select', 'select', 'select']);
    expect(after.history).toBe(0);
  });

  it('draws the marquee under the pointer and selects what it crosses, replacing the selection even with Shift', async () => {
    await click(await clientPoint(150, 220));
    expect((await editor()).selectedIds).toEqual(['r']);
    const from = await clientPoint(90, 20);
    const to = await clientPoint(110, 60);
    await page.keyboard.down('Shift');
    await drag(from, to, async () => {
      const marquee = await clientBox('[data-testid="marquee"]');
      expect(marquee.left).toBeCloseTo(from.x, 1);
      expect(marquee.top).toBeCloseTo(from.y, 1);
      expect(marquee.left + marquee.width).toBeCloseTo(to.x, 1);
      expect(marquee.top + marquee.height).toBeCloseTo(to.y, 1);
    });
    await page.keyboard.up('Shift');
    expect((await editor()).selectedIds).toEqual(['b']);
  });

  it('hits a rotated element by its enlarged bounds', async () => {
    // c covers x 300..400, y 100..150; turned by 90° it is drawn over y 75..175.
    await drag(await clientPoint(320, 60), await clientPoint(340, 95));
    expect((await editor()).selectedIds).toEqual(['c']);
  });
});

describe('canvas drag', () => {
  it('moves the selection with the primary element snapped, without commits before the release', async () => {
    await click(await clientPoint(20, 15));
    await click(await clientPoint(120, 40), true);
    await page.evaluate(() => window.canvasPage.reset());
    const from = await clientPoint(20, 15);
    const to = await clientPoint(24, 15);
    await drag(from, to, async () => {
      const during = await editor();
      expect(during.commits).toBe(0);
      expect(during.actions).toEqual(['select']);
      expect(during.elements[0]).toMatchObject({ x: 3, y: 7 });
      // a at (3, 7) moved by 4 snaps to (10, 10): both groups shift by (7, 3).
      const transforms = await page.evaluate(() =>
        ['a', 'b'].map((id) =>
          document.querySelector(`[data-drag-node="${id}"]`)?.getAttribute('transform'),
        ),
      );
      expect(transforms).toEqual(['translate(7 3)', 'translate(7 3)']);
    });
    const after = await editor();
    expect(after.actions).toEqual(['select', 'moveTo']);
    expect(after.history).toBe(1);
    expect(after.elements.slice(0, 2).map(({ x, y }) => [x, y])).toEqual([
      [10, 10],
      [110, 36],
    ]);
    expect(
      await page.evaluate(() => document.querySelectorAll('[data-drag-node][transform]').length),
    ).toBe(0);
  });

  it('leaves whole scheme units after an unsnapped drag by whole pixels at 100 %', async () => {
    await page.evaluate(() => window.canvasPage.dispatch({ type: 'toggleSnap' }));
    const canvas = await clientBox('[data-testid="canvas"]');
    // r lies at (100, 200); press inside it at a whole pixel and move by whole pixels.
    const from = { x: Math.round(canvas.left) + 150, y: Math.round(canvas.top) + 220 };
    await drag(from, { x: from.x + 37, y: from.y + 19 });
    const moved = await elementOf('r');
    expect([moved?.x, moved?.y]).toEqual([137, 219]);
  });
});

describe('canvas resize', () => {
  it('resizes from a corner with the moved edges snapped', async () => {
    await click(await clientPoint(150, 220));
    const se = await handle('se');
    const to = await clientPoint(233, 267);
    await drag({ x: se.cx, y: se.cy }, to);
    expect(await elementOf('r')).toMatchObject({ x: 100, y: 200, width: 130, height: 70 });
    expect((await editor()).actions).toEqual(['select', 'resizeTo']);
  });

  it('resizes from an edge handle along its own axis only', async () => {
    await click(await clientPoint(150, 220));
    const n = await handle('n');
    const offset = await clientPoint(170, 177);
    const origin = await clientPoint(150, 200);
    await drag(
      { x: n.cx, y: n.cy },
      { x: n.cx + offset.x - origin.x, y: n.cy + offset.y - origin.y },
    );
    expect(await elementOf('r')).toMatchObject({ x: 100, y: 180, width: 100, height: 70 });
  });

  it('stretches a horizontal pipe from its end, keeping it flat', async () => {
    await click(await clientPoint(440, 300));
    expect(
      await page.evaluate(() =>
        [...document.querySelectorAll('[data-resize-anchor]')].map((node) =>
          node.getAttribute('data-resize-anchor'),
        ),
      ),
    ).toEqual(['w', 'e']);
    const e = await handle('e');
    const shift = (await clientPoint(517, 315)).x - (await clientPoint(480, 300)).x;
    await drag({ x: e.cx, y: e.cy }, { x: e.cx + shift, y: e.cy + 15 });
    expect(await elementOf('p')).toMatchObject({
      x: 400,
      y: 300,
      width: 120,
      height: 0,
      points: [400, 300, 520, 300],
    });
  });

  it('resizes an element turned by 90° in its own frame, its opposite handle staying put', async () => {
    await click(await clientPoint(350, 125));
    expect((await editor()).selectedIds).toEqual(['c']);
    const e = await handle('e');
    const w = await handle('w');
    // The element's x axis points down the screen: 30 down widens it to 130
    // (snapped); the "w" handle keeps its place, which moves the box by
    // (350, 75) − (365, 60).
    const down = (await clientPoint(0, 30)).y - (await clientPoint(0, 0)).y;
    let preview = await clientBox('rect[data-element-id="c"]');
    let frame = await clientBox('[data-testid="selection-outline"]');
    await drag({ x: e.cx, y: e.cy }, { x: e.cx, y: e.cy + down }, async () => {
      preview = await clientBox('rect[data-element-id="c"]');
      frame = await clientBox('[data-testid="selection-outline"]');
    });
    expect(await elementOf('c')).toMatchObject({ x: 285, y: 115, width: 130, height: 50 });
    // What was shown during the gesture is what the committed element draws.
    const drawn = await clientBox('rect[data-element-id="c"]');
    for (const key of ['left', 'top', 'width', 'height'] as const) {
      expect(preview[key]).toBeCloseTo(drawn[key], 1);
      expect(frame[key]).toBeCloseTo(drawn[key], 1);
    }
    const after = await handle('w');
    expect(after.cx).toBeCloseTo(w.cx, 0);
    expect(after.cy).toBeCloseTo(w.cy, 0);
  });
});

describe('canvas zoom', () => {
  it('zooms with Ctrl+wheel and leaves a plain wheel to the page', async () => {
    const centre = await clientPoint(300, 200);
    await page.mouse.move(centre.x, centre.y);
    await page.keyboard.down('Control');
    await page.mouse.wheel(0, -100);
    await page.waitForFunction(() => window.canvasPage.state().zoom !== 1);
    expect((await editor()).zoom).toBe(1.25);
    expect(await page.getAttribute('[data-testid="canvas"]', 'width')).toBe('750');
    await page.mouse.wheel(0, 100);
    await page.waitForFunction(() => window.canvasPage.state().zoom === 1);
    await page.keyboard.up('Control');
    await page.mouse.wheel(0, -100);
    await page.waitForTimeout(100);
    expect((await editor()).actions).toEqual(['setZoom', 'setZoom']);
  });

  it('keeps the drawing under the pointer when zoomed', async () => {
    await page.evaluate(() => window.canvasPage.dispatch({ type: 'setZoom', zoom: 2 }));
    await click(await clientPoint(150, 220));
    const se = await handle('se');
    const expected = await clientPoint(200, 250);
    expect(se.cx).toBeCloseTo(expected.x, 1);
    const to = await clientPoint(240, 280);
    await drag({ x: se.cx, y: se.cy }, to);
    expect(await elementOf('r')).toMatchObject({ x: 100, y: 200, width: 140, height: 80 });
  });
});

describe('canvas drop', () => {
  async function dropTile(label: string, at: Point) {
    const tile = await clientBox(`[data-testid="tile-${label}"]`);
    await page.mouse.move(tile.cx, tile.cy);
    await page.mouse.down();
    await page.mouse.move(at.x, at.y, { steps: 5 });
    await page.mouse.up();
  }

  it('adds a palette element with its corner exactly under the pointer and selects it', async () => {
    // Near the top-left corner, where a mapping over a box inset by a border would be a pixel off.
    const near = await clientPoint(4, 4);
    const at = { x: Math.round(near.x), y: Math.round(near.y) };
    await dropTile('rect', at);
    const state = await editor();
    const added = state.elements[state.elements.length - 1];
    expect(added).toMatchObject({ type: 'rect', width: 80, height: 40 });
    expect(state.selectedIds).toEqual([added.id]);
    const drawn = await clientBox(`rect[data-element-id="${added.id}"]`);
    expect(Math.abs(drawn.left - at.x)).toBeLessThan(0.1);
    expect(Math.abs(drawn.top - at.y)).toBeLessThan(0.1);
  });

  it('lands a drop at a whole pixel on whole scheme units at 100 %', async () => {
    const canvas = await clientBox('[data-testid="canvas"]');
    expect([canvas.width, canvas.height]).toEqual([600, 400]);
    await dropTile('rect', { x: Math.round(canvas.left) + 283, y: Math.round(canvas.top) + 141 });
    const state = await editor();
    const added = state.elements[state.elements.length - 1];
    expect([added.x, added.y]).toEqual([
      Math.round(canvas.left) + 283 - canvas.left,
      Math.round(canvas.top) + 141 - canvas.top,
    ]);
    expect(Number.isInteger(added.x) && Number.isInteger(added.y)).toBe(true);
  });

  it('adds a gauge of its default size', async () => {
    await dropTile('gauge', await clientPoint(300, 200));
    const state = await editor();
    expect(state.elements).toHaveLength(6);
    expect(state.elements[5]).toMatchObject({
      type: 'symbol',
      symbolId: 'gauge',
      width: 96,
      height: 96,
    });
    expect(state.elements[5].x).toBeCloseTo(300, 0);
  });

  it('adds nothing for data that is no palette key', async () => {
    await dropTile('circle', await clientPoint(300, 200));
    await dropTile('text', await clientPoint(300, 200));
    const state = await editor();
    expect(state.elements).toHaveLength(5);
    expect(state.actions).toEqual([]);
  });
});
