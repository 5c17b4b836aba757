// History and trends in the real program, with real mouse input (the
// DevTools protocol's for clicks, the X pointer on the chart): the point's
// card opened by clicks on the scheme, the trends view's pens, zoom and
// readout, the recorded history and the views' settings across a restart
// with a gap between the two runs, and the export of the recorded file.
// The program quits as when its window is closed, and runs with its data
// folder in a temporary folder (HOME and XDG_DATA_HOME), never the user's.
// Without xdotool and python3 under a display there is no way to close the
// window, and it is skipped. With CORVANE_SCREENSHOTS set a last run records
// a few minutes and takes the pictures of the trends view and the card for
// docs/screenshots/ (ImageMagick's import).
import { execFileSync } from 'node:child_process';
import { mkdirSync, mkdtempSync, readFileSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { fileURLToPath } from 'node:url';
import type { Page } from 'playwright-core';
import { afterAll, beforeAll, describe, expect, it } from 'vitest';
import { defaultExecutable, launchHost, type HostApp } from './harness';
import { canCloseWindows, closeWindow, delay, mainWindow, realPointer } from './operator';

const docsScreenshots = fileURLToPath(new URL('../../docs/screenshots/', import.meta.url));
/** With CORVANE_SCREENSHOTS set, a last run records this long for the pictures of the docs. */
const PICTURE_RECORDING_MS = 150_000;

interface Sample {
  t: number;
  v: number | boolean | null;
  s: string;
}

/**
 * The samples the chart in `selector` draws for `id`: the recorded history of
 * its window followed by the live values. Read from the chart's feed, the
 * `feed` property React holds for the chart's box.
 */
const chartSamples = (page: Page, selector: string, id: string) =>
  page.evaluate(
    ([selector, id]) => {
      const box = document.querySelector(selector);
      if (!box) return [];
      const key = Object.keys(box).find((name) => name.startsWith('__reactFiber$'));
      type Fiber = {
        memoizedProps?: { feed?: { samples(id: string): Sample[] } };
        return: Fiber | null;
      };
      let fiber = key ? ((box as unknown as Record<string, Fiber>)[key] ?? null) : null;
      while (fiber && !fiber.memoizedProps?.feed) fiber = fiber.return;
      return (fiber?.memoizedProps?.feed?.samples(id) ?? []).map((sample) => ({ ...sample }));
    },
    [selector, id] as const,
  );

const centreOf = async (page: Page, selector: string) => {
  const box = await page.locator(selector).first().boundingBox();
  if (!box) throw new Error(`${selector} is not drawn`);
  return { x: box.x + box.width / 2, y: box.y + box.height / 2, box };
};

/** The faceplate's value "61.234 %" as the number shown. */
const shownNumber = (text: string) => Number(text.replace(/\s.*$/, ''));

const rounded = (v: number) => Number(v.toFixed(3));

describe.skipIf(!canCloseWindows)('history and trends in the program', () => {
  let root: string;
  let dataHome: string;
  let historyFile: string;
  let env: Record<string, string>;
  let app: HostApp | undefined;
  let firstStart = 0;
  let firstEnd = 0;
  let secondStart = 0;
  let noted = Number.NaN;

  beforeAll(() => {
    root = mkdtempSync(join(tmpdir(), 'corvane-history-'));
    dataHome = join(root, 'data');
    mkdirSync(join(root, 'home'));
    mkdirSync(join(root, 'schemes'));
    historyFile = join(root, 'history.sqlite');
    env = {
      HOME: join(root, 'home'),
      XDG_DATA_HOME: dataHome,
      XDG_CONFIG_HOME: join(root, 'config'),
      XDG_CACHE_HOME: join(root, 'cache'),
    };
  });

  afterAll(async () => {
    await app?.close();
    if (root) rmSync(root, { recursive: true, force: true });
  });

  const start = async () => {
    // A run a failed test left open must not be taken for this one.
    await app?.close();
    app = await launchHost({
      args: ['--history', historyFile, '--schemes', join(root, 'schemes')],
      env,
    });
    await app.page.locator('[data-element-id="tank-1"]').waitFor();
    return app.page;
  };

  // As the window manager's close button: the page is asked, the window
  // closes, the program leaves its event loop and closes the history.
  const quit = async () => {
    const running = app;
    if (!running) throw new Error('the program is not running');
    closeWindow(mainWindow());
    await expect.poll(() => running.running(), { timeout: 20_000 }).toBe(false);
    expect(running.exitCode()).toBe(0);
    await running.close();
    app = undefined;
  };

  // `corvane-ui --history FILE --export-history LT-101 --from … --to …`.
  const exported = (from: number, to: number) => {
    const iso = (t: number) => new Date(t).toISOString();
    const csv = execFileSync(
      defaultExecutable,
      ['--history', historyFile, '--export-history', 'LT-101', '--from', iso(from), '--to', iso(to)],
      { encoding: 'utf8', env: { ...process.env, ...env } },
    );
    const [header, ...lines] = csv.trim().split('\n');
    expect(header).toBe('time,point,value,status');
    return lines.map((line) => {
      const [time, point, value, status] = line.split(',');
      return { t: Date.parse(time), point, value, status };
    });
  };

  const card = (page: Page) => page.getByRole('complementary', { name: 'Карточка точки' });

  it('opens the card of a bound element only, with the live value, and closes it', async () => {
    firstStart = Date.now();
    const page = await start();

    // The scheme's background and an element bound to nothing open nothing.
    const stage = await centreOf(page, '[data-testid="stage"] svg');
    const empty = await page.evaluate(
      ({ x, y, width, height }) => {
        for (let fy = 0.95; fy > 0.05; fy -= 0.05) {
          for (let fx = 0.05; fx < 0.95; fx += 0.05) {
            const at = { x: x + width * fx, y: y + height * fy };
            const hit = document.elementFromPoint(at.x, at.y);
            if (hit?.closest('svg') && !hit.closest('[data-element-id]')) return at;
          }
        }
        return null;
      },
      stage.box,
    );
    expect(empty).not.toBeNull();
    await page.mouse.click(empty!.x, empty!.y);
    const panel = await centreOf(page, '[data-element-id="panel"]');
    const corner = { x: panel.box.x + 6, y: panel.box.y + panel.box.height - 6 };
    expect(
      await page.evaluate(
        ({ x, y }) =>
          document.elementFromPoint(x, y)?.closest('[data-element-id]')?.getAttribute('data-element-id'),
        corner,
      ),
    ).toBe('panel');
    await page.mouse.click(corner.x, corner.y);
    // Two frames: whatever the clicks would open is drawn by then.
    await page.evaluate(
      () => new Promise((done) => requestAnimationFrame(() => requestAnimationFrame(done))),
    );
    expect(await page.locator('aside').count()).toBe(0);

    const tank = await centreOf(page, '[data-element-id="tank-1"]');
    await page.mouse.click(tank.x, tank.y);
    await card(page).waitFor();
    expect(await card(page).getByRole('heading', { level: 2 }).textContent()).toBe('LT-101');
    expect(await card(page).textContent()).toContain('уровень в Б-1');
    expect(await card(page).getByTestId('faceplate-unit').textContent()).toBe('%');
    const status = card(page).getByTestId('faceplate-status');
    await expect.poll(() => status.textContent()).toBe('достоверно');
    const value = card(page).getByTestId('faceplate-value');
    const first = (await value.textContent()) ?? '';
    expect(first).toMatch(/^\d+(\.\d+)? %$/);
    // Live: the emulator moves the level on every tick.
    await expect.poll(() => value.textContent(), { timeout: 10_000 }).not.toBe(first);

    await page.keyboard.press('Escape');
    await expect.poll(() => page.locator('aside').count()).toBe(0);

    await page.mouse.click(tank.x, tank.y);
    await card(page).waitFor();
    await expect.poll(() => status.textContent()).toBe('достоверно');
    noted = shownNumber((await value.textContent()) ?? '');
    expect(Number.isFinite(noted)).toBe(true);
    await card(page).getByRole('button', { name: 'Закрыть' }).click();
    await expect.poll(() => page.locator('aside').count()).toBe(0);
  });

  it('trends two pens over 15 minutes, zooms by a drag, returns by a double click, reads both', async () => {
    const page = app!.page;
    await page.getByTestId('nav-trends').click();
    const search = page.getByRole('searchbox', { name: 'Добавить точку' });
    await search.fill('LT-101');
    await page.getByRole('list', { name: 'Найденные точки' }).getByRole('button').first().click();
    await search.fill('PT-102');
    await search.press('Enter');
    const penList = page.getByRole('list', { name: 'Перья' });
    await expect
      .poll(() => penList.locator('[data-pen]').evaluateAll((pens) => pens.map((p) => p.dataset.pen)))
      .toEqual(['LT-101', 'PT-102']);
    await page.getByRole('button', { name: '15 мин' }).click();
    expect(await page.getByRole('button', { name: '15 мин' }).getAttribute('aria-pressed')).toBe(
      'true',
    );
    await page.locator('.trend-chart canvas').waitFor();

    const follow = page.getByTestId('trend-follow');
    const chart = page.getByTestId('trend-chart');
    expect(await follow.getAttribute('aria-pressed')).toBe('true');
    const over = await centreOf(page, '.trend-chart .u-over');
    const pointer = await realPointer(page);
    pointer.move(over.box.x + over.box.width * 0.3, over.y);
    pointer.down();
    for (let step = 1; step <= 8; step++) {
      pointer.move(over.box.x + over.box.width * (0.3 + 0.3 * (step / 8)), over.y);
    }
    pointer.up();
    await expect.poll(() => chart.getAttribute('data-follow')).toBe('false');
    expect(await follow.getAttribute('aria-pressed')).toBe('false');

    pointer.doubleClick();
    await expect.poll(() => chart.getAttribute('data-follow')).toBe('true');
    expect(await follow.getAttribute('aria-pressed')).toBe('true');

    // A few pixels from the right edge: the last seconds, live values, drawn
    // once a pixel's time has passed. The readout is of the time under the
    // pointer when it moved, so the pointer moves again for each look: a time
    // read once stays, and may lie before the program's first sample.
    const readout = page.getByTestId('trend-readout');
    // The program may have run for a few seconds only: wait until the chart
    // holds more than the pixels read.
    await expect
      .poll(
        async () => {
          const samples = await chartSamples(page, '[data-testid="trend-chart"]', 'PT-102');
          return samples.length > 0 ? Date.now() - samples[0].t : 0;
        },
        { timeout: 15_000 },
      )
      .toBeGreaterThan(8_000);
    let nudge = 0;
    for (const id of ['LT-101', 'PT-102']) {
      const row = readout.locator(`[data-pen="${id}"]`);
      await expect
        .poll(
          () => {
            nudge = 1 - nudge;
            pointer.move(over.box.x + over.box.width - 4 - nudge, over.y);
            return row.getAttribute('data-status');
          },
          { timeout: 10_000, interval: 300 },
        )
        .toBe('good');
      expect(await row.textContent()).toMatch(
        new RegExp(`^${id}\\d+(\\.\\d+)? (%|бар)достоверно$`),
      );
    }
    pointer.move(over.box.x + over.box.width / 2, over.box.y - 40);

    // The program keeps them in its data folder.
    const views = join(dataHome, 'corvane-ui', 'views.json');
    await expect
      .poll(() => {
        try {
          const trends = (
            JSON.parse(readFileSync(views, 'utf8')) as {
              trends?: { pens: { id: string }[]; range: unknown };
            }
          ).trends;
          return trends && { pens: trends.pens.map((pen) => pen.id), range: trends.range };
        } catch {
          return null;
        }
      })
      .toEqual({ pens: ['LT-101', 'PT-102'], range: { kind: 'preset', preset: '15m' } });

    await quit();
    firstEnd = Date.now();
    // Closed, the program has recorded the end of its source and closed the file.
    expect(exported(firstStart, firstEnd).at(-1)).toMatchObject({ value: '', status: 'bad' });
  });

  it('keeps the recorded history, the pens and the range across a restart, with a gap between', async () => {
    secondStart = Date.now();
    const page = await start();

    const tank = await centreOf(page, '[data-element-id="tank-1"]');
    await page.mouse.click(tank.x, tank.y);
    await card(page).waitFor();
    const chart = '.faceplate .trend-chart';
    await expect
      .poll(
        async () => {
          const samples = await chartSamples(page, chart, 'LT-101');
          return (
            samples.some((s) => s.t < firstEnd && typeof s.v === 'number') &&
            samples.some((s) => s.t > secondStart && typeof s.v === 'number')
          );
        },
        { timeout: 15_000 },
      )
      .toBe(true);
    const samples = await chartSamples(page, chart, 'LT-101');
    const before = samples.filter((s) => s.t <= firstEnd);
    const after = samples.filter((s) => s.t > firstEnd);
    // What the first run recorded, the value seen in its card among it.
    expect(before.filter((s) => s.t < firstStart)).toEqual([]);
    expect(
      before.some((s) => typeof s.v === 'number' && rounded(s.v) === rounded(noted)),
    ).toBe(true);
    // The first run ends in a gap: nothing is drawn across the stretch
    // without a program, and the second run starts after it.
    expect(before.at(-1)).toMatchObject({ v: null, s: 'bad' });
    expect(after[0].t).toBeGreaterThanOrEqual(secondStart);
    expect(samples.map((s) => s.t)).toEqual([...samples.map((s) => s.t)].sort((a, b) => a - b));
    await page.keyboard.press('Escape');

    await page.getByTestId('nav-trends').click();
    await expect
      .poll(() =>
        page
          .getByRole('list', { name: 'Перья' })
          .locator('[data-pen]')
          .evaluateAll((pens) => pens.map((p) => p.dataset.pen)),
      )
      .toEqual(['LT-101', 'PT-102']);
    expect(await page.getByRole('button', { name: '15 мин' }).getAttribute('aria-pressed')).toBe(
      'true',
    );
    // The second run is recorded while it runs (the file is read beside the program).
    await expect
      .poll(() => exported(secondStart, Date.now()).some((row) => row.value !== ''), {
        timeout: 10_000,
      })
      .toBe(true);
    await quit();
  });

  it('exports the recorded samples of both runs as CSV once the program has quit', () => {
    const rows = exported(firstStart - 60_000, Date.now());
    expect(new Set(rows.map((row) => row.point))).toEqual(new Set(['LT-101']));
    expect(rows.every((row) => Number.isFinite(row.t))).toBe(true);
    expect(rows.some((row) => row.value !== '' && rounded(Number(row.value)) === rounded(noted))).toBe(
      true,
    );
    // A gap (empty value) ends the first run; both runs hold values.
    const lastOfFirst = rows.filter((row) => row.t <= firstEnd).at(-1);
    expect(lastOfFirst).toMatchObject({ value: '', status: 'bad' });
    expect(rows.some((row) => row.t >= secondStart && row.value !== '')).toBe(true);
  });

  it.runIf(Boolean(process.env.CORVANE_SCREENSHOTS))(
    'takes the pictures of the trends view and the card',
    async () => {
      const page = await start();
      const picture = async (name: string) => {
        // Two frames drawn, and a moment for the window to show the last one.
        await page.evaluate(
          () => new Promise((done) => requestAnimationFrame(() => requestAnimationFrame(done))),
        );
        await delay(300);
        execFileSync('import', ['-window', mainWindow(), join(docsScreenshots, name)]);
      };
      await page.getByTestId('nav-trends').click();
      const search = page.getByRole('searchbox', { name: 'Добавить точку' });
      for (const id of ['LT-102', 'FT-103', 'NS-101']) {
        await search.fill(id);
        await search.press('Enter');
      }
      await page.getByRole('list', { name: 'Перья' }).locator('[data-pen="NS-101"]').waitFor();
      await delay(PICTURE_RECORDING_MS);
      // The recorded minutes across the chart, read in their middle.
      const over = await centreOf(page, '.trend-chart .u-over');
      const pointer = await realPointer(page);
      const shown = (PICTURE_RECORDING_MS + 20_000) / (15 * 60_000);
      pointer.move(over.box.x + over.box.width * (1 - shown), over.y);
      pointer.down();
      for (let step = 1; step <= 8; step++) {
        pointer.move(over.box.x + over.box.width * (1 - shown + (shown * step) / 8) - 1, over.y);
      }
      pointer.up();
      await expect.poll(() => page.getByTestId('trend-chart').getAttribute('data-follow')).toBe(
        'false',
      );
      await delay(1000);
      pointer.move(over.box.x + over.box.width * 0.62, over.y);
      await page.getByTestId('trend-cursor-time').waitFor();
      await picture('trends.png');

      await page.getByRole('button', { name: 'Насосная станция' }).click();
      await page.getByRole('button', { name: 'По размеру окна' }).click();
      const tank = await centreOf(page, '[data-element-id="tank-1"]');
      await page.mouse.click(tank.x, tank.y);
      await card(page).waitFor();
      await delay(1500);
      await picture('faceplate.png');
      await quit();
    },
    PICTURE_RECORDING_MS + 60_000,
  );
});
