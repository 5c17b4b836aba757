// The application reading its values from a real broker: Debian's mosquitto
// started by the test on free loopback ports, the plant simulator publishing
// to it, and the built application in Chromium following it.
import type { ConsoleMessage, Page } from 'playwright-core';
import { afterAll, beforeAll, describe, expect, it } from 'vitest';
import {
  LOGIN_REFUSED,
  NO_CONNECTION,
  PASSWORD,
  QUALITY_BAD,
  USER,
  startPlant,
  valueElements,
  waitForLoss,
  waitForRecovery,
  type Plant,
} from '../plant';
import { startBrowserHarness, type BrowserHarness } from './harness';

const PREFIX = 'e2e/plant';

let harness: BrowserHarness;
let plant: Plant;

beforeAll(async () => {
  harness = await startBrowserHarness();
  plant = await startPlant(PREFIX);
}, 120_000);

afterAll(async () => {
  await plant?.close();
  await harness?.close();
});

interface Opened {
  page: Page;
  console: ConsoleMessage[];
}

async function open(query: string, settings?: Record<string, string>): Promise<Opened> {
  const context = await harness.browser.newContext();
  const page = await context.newPage();
  const messages: ConsoleMessage[] = [];
  page.on('console', (message) => messages.push(message));
  if (settings) {
    // What the desktop program does for its built-in page.
    await page.addInitScript((injected) => {
      (window as unknown as Record<string, unknown>).corvaneDataSettings = injected;
    }, settings);
  }
  await page.goto(`${harness.baseUrl}index.html${query}`);
  await page.getByTestId('scheme-title').waitFor();
  return { page, console: messages };
}

const brokerQuery = () =>
  `?broker=${encodeURIComponent(plant.broker.wsUrl)}&topic-prefix=${encodeURIComponent(PREFIX)}`;

const badCount = (page: Page) =>
  page.evaluate((name) => document.getElementsByClassName(name).length, QUALITY_BAD);

describe('values from a broker', () => {
  it('shows the simulator’s published values, turns them bad while the broker is away and back when it returns', async () => {
    const { page, console: messages } = await open(brokerQuery());
    try {
      let tick: number | undefined;
      await expect
        .poll(
          async () => {
            tick = await plant.shownTick(page);
            return tick;
          },
          { timeout: 20_000, interval: 100 },
        )
        .toBeDefined();
      expect(tick).toBeGreaterThan(0);
      expect(await badCount(page)).toBe(0);
      expect(await page.getByTestId('data-connection').count()).toBe(0);

      await plant.broker.stop();
      await waitForLoss(page);
      expect(await page.getByTestId('data-connection').textContent()).toBe(
        `${NO_CONNECTION}: ${plant.broker.wsUrl}`,
      );
      // The values stay as they were, only their quality changes.
      expect(await plant.shownTick(page)).toBeDefined();

      await plant.broker.start();
      await waitForRecovery(page);
      const lines = messages.map((message) => message.text());
      expect(lines.some((line) => line.includes('connection lost'))).toBe(true);
    } finally {
      await page.context().close();
    }
  });

  it('keeps the last value of a point whose payloads cannot be read, marks it bad and reports it once', async () => {
    const prefix = 'e2e/faulty';
    const level = valueElements.find((element) => element.pointId === 'LT-101')!;
    await plant.recorder.publishAsync(`${prefix}/LT-101`, '50', { retain: true });
    await plant.recorder.publishAsync(`${prefix}/$catalogue`, '{"not": "a list"}', {
      retain: true,
    });
    const query = `?broker=${encodeURIComponent(plant.broker.wsUrl)}&topic-prefix=${prefix}`;
    const { page, console: messages } = await open(query);
    const shown = page.locator(`[data-element-id="${level.id}"]`);
    try {
      await expect.poll(() => shown.textContent(), { timeout: 15_000 }).toBe('50.0 %');
      for (const payload of ['{"value": 5', 'on', 'x'.repeat(70 * 1024)]) {
        await plant.recorder.publishAsync(`${prefix}/LT-101`, payload);
      }
      await expect
        .poll(() => shown.getAttribute('class'), { timeout: 5_000 })
        .toContain(QUALITY_BAD);
      expect(await shown.textContent()).toBe('50.0 %');
      // A readable value afterwards makes the point good again.
      await plant.recorder.publishAsync(`${prefix}/LT-101`, '{"value": 51, "status": "good"}');
      await expect.poll(() => shown.textContent(), { timeout: 5_000 }).toBe('51.0 %');
      expect(await shown.getAttribute('class')).not.toContain(QUALITY_BAD);

      const warnings = messages
        .filter((message) => message.type() === 'warning')
        .map((message) => message.text());
      expect(warnings.filter((text) => text.includes('Point LT-101'))).toEqual([
        `Data server ${plant.broker.wsUrl}: Point LT-101: payload is not JSON; the point is marked bad.`,
      ]);
      expect(warnings.filter((text) => text.includes('Catalogue'))).toEqual([
        `Data server ${plant.broker.wsUrl}: Catalogue: the catalogue is not a list; it is ignored.`,
      ]);
    } finally {
      await page.context().close();
    }
  });

  it('shows the login message for a wrong password and connects with the right one', async () => {
    const base = { broker: plant.locked.wsUrl, topicPrefix: PREFIX, user: USER };
    const wrong = await open('', { ...base, password: 'wrong-password' });
    try {
      await expect
        .poll(() => wrong.page.getByTestId('data-connection').textContent(), { timeout: 15_000 })
        .toBe(`${LOGIN_REFUSED}: ${plant.locked.wsUrl}`);
      const lines = wrong.console.map((message) => message.text());
      expect(lines.some((line) => line.includes('login of user "operator" was refused'))).toBe(
        true,
      );
      expect(lines.join('\n')).not.toContain('wrong-password');
      expect(harness.requests.join('\n')).not.toContain('wrong-password');
      // The settings do not stay behind in the page's globals.
      expect(await wrong.page.evaluate(() => 'corvaneDataSettings' in window)).toBe(false);
    } finally {
      await wrong.page.context().close();
    }

    const right = await open('', { ...base, password: PASSWORD });
    try {
      await expect
        .poll(
          () =>
            right.console.some((message) =>
              message.text().includes(`${plant.locked.wsUrl}: connected`),
            ),
          { timeout: 15_000 },
        )
        .toBe(true);
      expect(await right.page.getByTestId('data-connection').count()).toBe(0);
    } finally {
      await right.page.context().close();
    }
  });

  it('refuses an address that is not ws or wss, in the header and the console', async () => {
    const { page, console: messages } = await open('?broker=http%3A%2F%2F127.0.0.1%3A1');
    try {
      await expect
        .poll(() => page.getByTestId('data-connection').textContent())
        .toBe('Адрес сервера данных должен начинаться с ws:// или wss://: http://127.0.0.1:1');
      expect(messages.some((message) => message.type() === 'warning')).toBe(true);
    } finally {
      await page.context().close();
    }
  });

  it('runs on the emulator as before without settings', async () => {
    const before = harness.requests.length;
    const { page } = await open('');
    try {
      const levelText = page.locator(`[data-element-id="${valueElements[0].id}"]`);
      await expect.poll(() => levelText.textContent(), { timeout: 15_000 }).toMatch(/\d/);
      const requested = harness.requests.slice(before);
      expect(requested.some((path) => /emulator\.worker-/.test(path))).toBe(true);
      expect(requested.some((path) => /mqtt\.worker-/.test(path))).toBe(false);
      expect(await page.getByTestId('data-connection').count()).toBe(0);
      expect(await badCount(page)).toBe(0);
    } finally {
      await page.context().close();
    }
  });
});
