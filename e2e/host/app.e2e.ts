// The operator view inside the desktop program: the built-in page from the
// resources, its emulator worker started from the resources, every scheme of
// the navigation drawn by the engine the program carries.
import { afterAll, beforeAll, describe, expect, it } from 'vitest';
import type { Page } from 'playwright-core';
import { builtInAddress, launchHost, type HostApp } from './harness';

interface StageState {
  current: string[];
  title: string;
  box: { width: number; height: number };
  viewBox: string | null;
  drawn: number;
}

// Plain DOM reads: the engine inside the program lacks some of what newer
// locator checks rely on.
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
      drawn: runtime?.querySelectorAll('svg > [data-element-id]').length ?? 0,
    };
  });
}

describe('operator view in the desktop program', () => {
  let app: HostApp;
  const pageErrors: string[] = [];

  beforeAll(async () => {
    app = await launchHost();
    app.page.on('pageerror', (error) => pageErrors.push(error.message));
    // Once more, so that errors of the start-up itself are heard as well.
    await app.page.reload({ waitUntil: 'load' });
    await app.page.waitForFunction(() => document.querySelector('[data-testid="runtime"]'));
  });

  afterAll(async () => {
    await app?.close();
  });

  it('starts on the pump station', async () => {
    expect(app.page.url()).toBe(builtInAddress);
    const first = await app.page.evaluate(() => {
      const button = document.querySelector('nav button');
      return [button?.textContent, button?.getAttribute('aria-current')];
    });
    expect(first).toEqual(['Насосная станция', 'true']);
    expect(await stageState(app.page)).toEqual({
      current: ['Насосная станция'],
      title: 'Насосная станция №1',
      box: { width: 960, height: 560 },
      viewBox: '0 0 960 560',
      drawn: 36,
    });
  });

  it('runs the emulator from the resources and shows its values', async () => {
    const levelText = () =>
      app.page.evaluate(
        () => document.querySelector('[data-element-id="tank-1-value"]')?.textContent,
      );
    await expect.poll(levelText, { timeout: 10_000 }).toMatch(/^\d+\.\d %$/);

    const cdp = await app.browser.newBrowserCDPSession();
    try {
      const { targetInfos } = await cdp.send('Target.getTargets');
      const workers = targetInfos.filter((target) => target.type === 'shared_worker');
      expect(workers.map((target) => target.url)).toEqual([
        expect.stringMatching(/^qrc:\/mvp\/assets\/emulator\.worker-[\w-]+\.js$/),
      ]);
    } finally {
      await cdp.detach();
    }
  });

  it.each([
    ['Газотурбинный агрегат', 'Газотурбинный агрегат ГТУ-1', 960, 560, 36],
    ['Тепловой пункт', 'Тепловой пункт ТП-3', 960, 560, 36],
    ['Нагрузка 1000', 'Нагрузка 1000', 1280, 1280, 1000],
    ['Нагрузка 2000', 'Нагрузка 2000', 1800, 1800, 2000],
  ])('shows "%s" as "%s", %i × %i', async (entry, title, width, height, drawn) => {
    await app.page.evaluate((name) => {
      const buttons = Array.from(document.querySelectorAll<HTMLButtonElement>('nav button'));
      buttons.find((button) => button.textContent === name)?.click();
    }, entry);
    await expect.poll(async () => (await stageState(app.page)).title).toBe(title);
    expect(await stageState(app.page)).toEqual({
      current: [entry],
      title,
      box: { width, height },
      viewBox: `0 0 ${width} ${height}`,
      drawn,
    });
  });

  it('colours the load rectangles from live values and stays free of errors', async () => {
    // Shown by the previous case; after a few ticks some points are at 70 or above.
    await expect
      .poll(
        () =>
          app.page.evaluate(() =>
            Array.from(document.querySelectorAll('[data-element-id^="L"]'), (node) =>
              node.getAttribute('fill'),
            ).filter((fill, i, all) => all.indexOf(fill) === i),
          ),
        { timeout: 10_000 },
      )
      .toEqual(expect.arrayContaining(['#88cc88', '#cc3333']));
    await app.page.waitForTimeout(1000);
    const problems = app.consoleMessages.filter((m) => m.type === 'error' || m.type === 'warning');
    expect(problems).toEqual([]);
    expect(pageErrors).toEqual([]);
  });
});
