// The emulator shared worker running from the built bundle in Chromium.
import { afterAll, beforeAll, describe, expect, it } from 'vitest';
import type { Page } from 'playwright-core';
import type { PointValue } from '../../webapp/data';
import { startBrowserHarness, type BrowserHarness } from './harness';

interface Received {
  type: string;
  reqId?: number;
  points: PointValue[];
  /** performance.now() in the page when the message arrived. */
  at: number;
}

declare global {
  interface Window {
    emulatorMessages: Received[];
    emulatorPort: MessagePort;
  }
}

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

/** Opens the application and waits until its entry module has fetched the worker script. */
async function openApplication(page: Page): Promise<void> {
  await page.goto(`${harness.baseUrl}index.html`);
  await expect
    .poll(() => harness.requests.filter((path) => path === workerPath).length)
    .toBeGreaterThan(0);
}

/** Joins the page's emulator with a port of its own that records every message. */
async function listen(page: Page): Promise<void> {
  await page.evaluate((path) => {
    window.emulatorMessages = [];
    const worker = new SharedWorker(new URL(path, location.href), {
      type: 'module',
      name: 'orvo-emulator',
    });
    worker.port.onmessage = (event: MessageEvent) => {
      window.emulatorMessages.push({ ...event.data, at: performance.now() });
    };
    window.emulatorPort = worker.port;
  }, workerPath);
}

async function updates(page: Page, count: number): Promise<Received[]> {
  await page.waitForFunction(
    (n) => window.emulatorMessages.filter((m) => m.type === 'updates').length >= n,
    count,
    { timeout: 20_000 },
  );
  return page.evaluate(() => window.emulatorMessages.filter((m) => m.type === 'updates'));
}

describe('emulator worker in the built application', () => {
  it('starts from the hashed script and sends all 73 points about every 500 ms', async () => {
    const context = await harness.browser.newContext();
    try {
      const page = await context.newPage();
      await openApplication(page);
      await listen(page);
      const received = await updates(page, 8);

      const [first, ...ticks] = received;
      expect(first.points).toHaveLength(73);
      expect(new Set(first.points.map((point) => point.id)).size).toBe(73);
      expect(first.points.slice(0, 2).map((point) => point.id)).toEqual(['LT-101', 'LT-102']);
      expect(first.points.at(-1)?.id).toBe('p50');
      expect(first.points.every((point) => point.status === 'good')).toBe(true);
      expect(typeof first.points[0].value).toBe('number');
      expect(typeof first.points.find((point) => point.id === 'NS-101')?.value).toBe('boolean');

      for (const tick of ticks) {
        expect(tick.points).toHaveLength(73);
        expect(new Set(tick.points.map((point) => point.timestamp)).size).toBe(1);
      }
      // Single expiries may come late under load; the rate over several ticks may not.
      const stamps = ticks.map((tick) => tick.points[0].timestamp);
      const arrivals = ticks.map((tick) => tick.at);
      for (let i = 1; i < ticks.length; i += 1) {
        expect(stamps[i]).toBeGreaterThan(stamps[i - 1]);
      }
      const meanStampGap = (stamps.at(-1)! - stamps[0]) / (stamps.length - 1);
      const meanArrivalGap = (arrivals.at(-1)! - arrivals[0]) / (arrivals.length - 1);
      expect(meanStampGap).toBeGreaterThan(380);
      expect(meanStampGap).toBeLessThan(700);
      expect(meanArrivalGap).toBeGreaterThan(380);
      expect(meanArrivalGap).toBeLessThan(700);
    } finally {
      await context.close();
    }
  });

  it('shows two pages of the origin the same values from one emulator', async () => {
    const context = await harness.browser.newContext();
    try {
      const [left, right] = [await context.newPage(), await context.newPage()];
      await openApplication(left);
      await openApplication(right);
      await listen(left);
      await listen(right);
      const leftTicks = (await updates(left, 4)).slice(1);
      const rightTicks = (await updates(right, 4)).slice(1);
      const rightByStamp = new Map(rightTicks.map((tick) => [tick.points[0].timestamp, tick]));
      const shared = leftTicks.filter((tick) => rightByStamp.has(tick.points[0].timestamp));
      expect(shared.length).toBeGreaterThan(0);
      for (const tick of shared) {
        expect(rightByStamp.get(tick.points[0].timestamp)?.points).toEqual(tick.points);
      }
    } finally {
      await context.close();
    }
  });

  it('answers requests and keeps ticking after malformed messages', async () => {
    const context = await harness.browser.newContext();
    try {
      const page = await context.newPage();
      await openApplication(page);
      await listen(page);
      await updates(page, 1);
      await page.evaluate(() => {
        const port = window.emulatorPort;
        for (const message of [
          null,
          42,
          'read',
          [1, 2],
          { type: 'read', reqId: 7, pointIds: 'LT-101' },
          { type: 'list' },
          { type: 'write', pointId: 'NS-101', value: false },
        ]) {
          port.postMessage(message);
        }
        port.postMessage({ type: 'read', reqId: 8, pointIds: ['NS-101', 'LT-101', 'XX-1'] });
        port.postMessage({ type: 'list', reqId: 9 });
      });
      const before = (await updates(page, 1)).length;
      await updates(page, before + 2);
      const answers = await page.evaluate(() =>
        window.emulatorMessages.filter((m) => m.type !== 'updates'),
      );
      expect(answers.map((answer) => [answer.type, answer.reqId])).toEqual([
        ['read-result', 8],
        ['list-result', 9],
      ]);
      expect(answers[0].points.map((point) => point.id)).toEqual(['LT-101', 'NS-101']);
      expect(answers[1].points).toHaveLength(73);
      expect(answers[1].points[3]).toEqual({
        id: 'FT-103',
        kind: 'analog',
        unit: 'м³/ч',
        description: 'расход на выходе',
      });
    } finally {
      await context.close();
    }
  });
});
