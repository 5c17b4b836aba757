// The operator view of the built application in Chromium: the start-up state,
// every navigation entry, and the 2000-rectangle load scheme following the
// emulator's live values.
import { afterAll, beforeAll, describe, expect, it } from 'vitest';
import type { BrowserContext, Page } from 'playwright-core';
import { generateLoadScheme, stockSchemes } from '../../webapp/content';
import type { PointValue } from '../../webapp/data';
import type { Scheme } from '../../webapp/scheme';
import { startBrowserHarness, type BrowserHarness } from './harness';

const WORKER_PATTERN = /^emulator\.worker-[\w-]+\.js$/;

let harness: BrowserHarness;
let workerPath: string;

beforeAll(async () => {
  harness = await startBrowserHarness();
  workerPath = harness.assetPath(WORKER_PATTERN);
});

afterAll(async () => {
  await harness?.close();
});

/** A page of the application in its own context, with every console error and page error it produced. */
interface AppPage {
  context: BrowserContext;
  page: Page;
  problems: string[];
}

async function openApplication(): Promise<AppPage> {
  // Each context has its own origin storage, so each gets its own emulator.
  const context = await harness.browser.newContext({ viewport: { width: 1600, height: 1000 } });
  const page = await context.newPage();
  const problems: string[] = [];
  page.on('console', (message) => {
    // The browser asks the server root for an icon the application never offers.
    const iconProbe = message.location().url.endsWith('/favicon.ico');
    if (message.type() === 'error' && !iconProbe) {
      problems.push(`console: ${message.text()} (${message.location().url})`);
    }
  });
  page.on('pageerror', (error) => problems.push(`page: ${error.message}`));
  await page.goto(`${harness.baseUrl}index.html`);
  await page.getByTestId('runtime').waitFor();
  return { context, page, problems };
}

interface StageState {
  current: string[];
  title: string;
  box: { width: number; height: number };
  viewBox: string | null;
  views: number;
  elementIds: string[];
}

function stageState(page: Page): Promise<StageState> {
  return page.evaluate(() => {
    const runtime = document.querySelector('[data-testid="runtime"]');
    const rect = runtime?.getBoundingClientRect();
    return {
      current: Array.from(document.querySelectorAll('nav [aria-current="true"]')).map(
        (node) => node.textContent ?? '',
      ),
      title: document.querySelector('[data-testid="scheme-title"]')?.textContent ?? '',
      box: { width: rect?.width ?? 0, height: rect?.height ?? 0 },
      viewBox: runtime?.querySelector('svg')?.getAttribute('viewBox') ?? null,
      views: document.querySelectorAll('[data-testid="stage"] svg[viewBox]').length,
      elementIds: Array.from(
        document.querySelectorAll('[data-testid="runtime"] svg > [data-element-id]'),
      ).map((node) => node.getAttribute('data-element-id') ?? ''),
    };
  });
}

function schemeById(id: string): Scheme {
  const scheme = stockSchemes.find((entry) => entry.id === id)?.scheme;
  if (!scheme) throw new Error(`no stock scheme ${id}`);
  return scheme;
}

describe('operator view in the built application', () => {
  it('starts on the pump station, live, without console or page errors', async () => {
    const { context, page, problems } = await openApplication();
    try {
      const first = page.locator('nav button').first();
      expect(await first.textContent()).toBe('Насосная станция');
      expect(await first.getAttribute('aria-current')).toBe('true');
      const state = await stageState(page);
      expect(state.current).toEqual(['Насосная станция']);
      expect(state.title).toBe('Насосная станция №1');
      expect(state.box).toEqual({ width: 960, height: 560 });
      expect(state.viewBox).toBe('0 0 960 560');
      expect(state.elementIds).toEqual(schemeById('pump-station').elements.map((e) => e.id));

      // The emulator of the built bundle feeds the view: the dash gives way to a level.
      const level = page.locator('[data-element-id="tank-1-value"]');
      await expect.poll(() => level.textContent(), { timeout: 10_000 }).toMatch(/^\d+\.\d %$/);
      expect(problems).toEqual([]);
    } finally {
      await context.close();
    }
  });

  describe('navigation', () => {
    let app: AppPage;

    beforeAll(async () => {
      app = await openApplication();
    });

    afterAll(async () => {
      await app?.context.close();
    });

    // Registration name in the navigation, the scheme's own name as the title.
    it.each([
      ['Газотурбинный агрегат', 'Газотурбинный агрегат ГТУ-1', 960, 560, schemeById('gas-turbine')],
      ['Нагрузка 1000', 'Нагрузка 1000', 1280, 1280, generateLoadScheme(1000)],
      ['Тепловой пункт', 'Тепловой пункт ТП-3', 960, 560, schemeById('heat-point')],
      ['Нагрузка 2000', 'Нагрузка 2000', 1800, 1800, generateLoadScheme(2000)],
      ['Насосная станция', 'Насосная станция №1', 960, 560, schemeById('pump-station')],
    ])('"%s" shows "%s" in a %i × %i view', async (entry, title, width, height, scheme) => {
      await app.page.getByRole('button', { name: entry, exact: true }).click();
      await expect.poll(async () => (await stageState(app.page)).title).toBe(title);
      const state = await stageState(app.page);
      expect(state.current).toEqual([entry]);
      expect(state.views).toBe(1);
      expect(state.viewBox).toBe(`0 0 ${width} ${height}`);
      expect(state.box).toEqual({ width, height });
      expect(state.elementIds).toEqual(scheme.elements.map((element) => element.id));
      expect(app.problems).toEqual([]);
    });
  });

  it('fits the scheme to the stage "По размеру окна" without scroll bars', async () => {
    const { context, page, problems } = await openApplication();
    try {
      await page.getByRole('button', { name: 'По размеру окна' }).click();
      await expect.poll(() => page.getByTestId('runtime').getAttribute('data-scale')).toBe('fit');
      for (const entry of ['Насосная станция', 'Нагрузка 2000']) {
        await page.getByRole('button', { name: entry, exact: true }).click();
        await page.getByTestId('runtime').locator('svg').first().waitFor();
        const stage = await page.getByTestId('stage').evaluate((node) => ({
          overflowX: node.scrollWidth - node.clientWidth,
          overflowY: node.scrollHeight - node.clientHeight,
        }));
        expect(stage, entry).toEqual({ overflowX: 0, overflowY: 0 });
      }
      expect(problems).toEqual([]);
    } finally {
      await context.close();
    }
  });

  it('colours the 2000 rectangles by the live values of their points', async () => {
    const { context, page, problems } = await openApplication();
    try {
      await page.getByRole('button', { name: 'Нагрузка 2000', exact: true }).click();
      await page.locator('[data-element-id="L1999"]').waitFor({ state: 'attached' });

      // A second port on the same emulator. The view's port and this one get
      // each tick as separate messages, so the fills are read a little after
      // this port's "updates" (the view has applied the same tick by then) and
      // kept only when no newer tick has arrived meanwhile.
      const samples = await page.evaluate(
        ({ path, wanted }) =>
          new Promise<{ values: PointValue[]; fills: (string | null)[] }[]>((resolve, reject) => {
            const worker = new SharedWorker(new URL(path, location.href), {
              type: 'module',
              name: 'orvo-emulator',
            });
            const taken: { values: PointValue[]; fills: (string | null)[] }[] = [];
            let latest = 0;
            const giveUp = setTimeout(() => reject(new Error('too few ticks')), 30_000);
            worker.port.onmessage = (event: MessageEvent) => {
              if (event.data?.type !== 'updates') return;
              const tick = (latest += 1);
              const values: PointValue[] = event.data.points;
              setTimeout(() => {
                if (tick !== latest || taken.length >= wanted) return;
                const fills: (string | null)[] = [];
                for (let i = 0; i < 2000; i += 1) {
                  fills.push(
                    document.querySelector(`[data-element-id="L${i}"]`)?.getAttribute('fill') ??
                      null,
                  );
                }
                taken.push({ values, fills });
                if (taken.length === wanted) {
                  clearTimeout(giveUp);
                  worker.port.close();
                  resolve(taken);
                }
              }, 120);
            };
          }),
        { path: workerPath, wanted: 3 },
      );

      const seen = new Set<string>();
      for (const { values, fills } of samples) {
        const byId = new Map(values.map((point) => [point.id, point]));
        const expected = fills.map((_, i) => {
          const point = byId.get(`p${(i % 50) + 1}`);
          if (!point) throw new Error(`no value of p${(i % 50) + 1}`);
          if (i % 5 === 0) expect(typeof point.value).toBe('boolean');
          return typeof point.value === 'number' && point.value >= 70 ? '#cc3333' : '#88cc88';
        });
        expect(fills).toEqual(expected);
        fills.forEach((fill) => seen.add(fill ?? ''));
      }
      // Forty random walks over 0 to 100 all on one side of 70 is next to impossible.
      expect([...seen].sort()).toEqual(['#88cc88', '#cc3333']);
      expect(problems).toEqual([]);
    } finally {
      await context.close();
    }
  });
});
