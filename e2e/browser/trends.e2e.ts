// The trends view and the faceplate in Chromium, with real mouse input on a
// built page whose history client makes up recorded values.
import { afterAll, afterEach, beforeAll, beforeEach, describe, expect, it } from 'vitest';
import type { Browser, Page } from 'playwright-core';
import { launchChromium } from './harness';
import { startTestPage, type TestPageServer } from './pages/pageServer';

let server: TestPageServer;
let browser: Browser;
let page: Page;
let errors: string[];

beforeAll(async () => {
  server = await startTestPage(
    new URL('./pages/trends.vite.config.ts', import.meta.url),
    'trends.html',
  );
  browser = await launchChromium();
});

afterAll(async () => {
  await browser?.close();
  await server?.close();
});

beforeEach(async () => {
  page = await browser.newPage({ viewport: { width: 1280, height: 800 } });
  errors = [];
  page.on('pageerror', (error) => errors.push(error.message));
  await page.goto(server.url);
  await page.waitForSelector('[data-element-id="bound"]');
});

afterEach(async () => {
  await page.close();
  expect(errors).toEqual([]);
});

async function centre(selector: string) {
  const box = await page.locator(selector).boundingBox();
  if (!box) throw new Error(`${selector} is not drawn`);
  return { x: box.x + box.width / 2, y: box.y + box.height / 2, box };
}

describe('the faceplate', () => {
  it('opens beside the scheme on a click of a bound element, covering nothing', async () => {
    const plain = await centre('[data-element-id="plain"]');
    await page.mouse.click(plain.x, plain.y);
    expect(await page.locator('aside').count()).toBe(0);

    const bound = await centre('[data-element-id="bound"]');
    await page.mouse.click(bound.x, bound.y);
    const card = page.getByRole('complementary', { name: 'Карточка точки' });
    await card.waitFor();
    expect(await card.getByRole('heading', { level: 2 }).textContent()).toBe('LT-101');
    // The recorded history is drawn at once: the trend asked for it.
    await page.waitForFunction(() => window.trendsPage.requests.some((r) => r.ids[0] === 'LT-101'));
    const stage = await page.getByTestId('stage').boundingBox();
    const aside = await card.boundingBox();
    expect(stage && aside && stage.x + stage.width <= aside.x + 0.5).toBe(true);
    await expect.poll(() => card.getByTestId('faceplate-status').textContent()).toBe('достоверно');

    await page.keyboard.press('Escape');
    expect(await page.locator('aside').count()).toBe(0);
  });

  it('opens the point in the trends view', async () => {
    const bound = await centre('[data-element-id="bound"]');
    await page.mouse.click(bound.x, bound.y, { button: 'right' });
    await page.getByRole('button', { name: 'Открыть в трендах' }).click();
    await page.getByRole('region', { name: 'Тренды' }).locator('[data-pen="LT-101"]').waitFor();
    expect(await page.getByTestId('scheme-title').textContent()).toBe('Тренды');
  });
});

describe('the trends view', () => {
  beforeEach(async () => {
    await page.getByTestId('nav-trends').click();
    const search = page.getByRole('searchbox', { name: 'Добавить точку' });
    await search.fill('LT');
    await search.press('Enter');
    await page.locator('.trend-chart canvas').waitFor();
  });

  it('follows live until a drag zooms, and follows again after a double click', async () => {
    const follow = page.getByTestId('trend-follow');
    expect(await follow.getAttribute('aria-pressed')).toBe('true');
    const over = await centre('.trend-chart .u-over');
    const asked = await page.evaluate(() => window.trendsPage.requests.length);

    await page.mouse.move(over.box.x + over.box.width * 0.3, over.y);
    await page.mouse.down();
    await page.mouse.move(over.box.x + over.box.width * 0.5, over.y, { steps: 8 });
    await page.mouse.up();
    expect(await follow.getAttribute('aria-pressed')).toBe('false');
    expect(await page.getByTestId('trend-chart').getAttribute('data-follow')).toBe('false');
    // The zoomed window is asked for anew, narrower than the hour shown before.
    await page.waitForFunction((n) => window.trendsPage.requests.length > n, asked);
    const zoomed = await page.evaluate(() => window.trendsPage.requests.at(-1));
    expect(zoomed && zoomed.to - zoomed.from).toBeLessThan(0.25 * 3_600_000);
    expect(zoomed && zoomed.to).toBeLessThan(Date.now() - 0.4 * 3_600_000);

    await page.mouse.dblclick(over.x, over.y);
    expect(await follow.getAttribute('aria-pressed')).toBe('true');
  });

  it('reads every pen at the cursor', async () => {
    const search = page.getByRole('searchbox', { name: 'Добавить точку' });
    await search.fill('NS');
    await search.press('Enter');
    const over = await centre('.trend-chart .u-over');
    await page.mouse.move(over.box.x + over.box.width * 0.4, over.y);
    const readout = page.getByTestId('trend-readout');
    await readout.locator('[data-pen="NS-101"]').waitFor();
    // Two fifths in lies in the page's doubtful stretch.
    expect(await readout.locator('[data-pen="LT-101"]').getAttribute('data-status')).toBe(
      'uncertain',
    );
    expect(await readout.locator('[data-pen="NS-101"]').textContent()).toMatch(/вкл|выкл/);
  });
});
