// The application reading its values from a real broker: Debian's mosquitto
// started by the test on free loopback ports, the plant simulator publishing
// to it, and the built application in Chromium following it.
import { spawn, type ChildProcess } from 'node:child_process';
import { fileURLToPath } from 'node:url';
import mqtt, { type MqttClient } from 'mqtt';
import type { ConsoleMessage, Page } from 'playwright-core';
import { afterAll, beforeAll, describe, expect, it } from 'vitest';
import { pumpStation } from '../../webapp/content/pumpStation';
import type { PointValue } from '../../webapp/data';
import { formatValue } from '../../webapp/scheme/format';
import { startBroker, type TestBroker } from '../broker';
import { startBrowserHarness, type BrowserHarness } from './harness';

const PREFIX = 'e2e/plant';
const NO_CONNECTION = 'Нет связи с сервером данных';
const LOGIN_REFUSED = 'Сервер данных отклонил имя пользователя или пароль';
const QUALITY_BAD = 'mnemo-quality-bad';

const valueElements = pumpStation.elements.filter(
  (element) => element.type === 'value' && element.pointId,
);
const boundIds = pumpStation.elements.filter((element) => element.pointId).map((e) => e.id);

let harness: BrowserHarness;
let broker: TestBroker;
let locked: TestBroker;
let simulator: ChildProcess | undefined;
let recorder: MqttClient;
/** Every value the simulator published, by point, oldest first. */
const published = new Map<string, { value: unknown; timestamp: number }[]>();

function startSimulator(url: string): Promise<ChildProcess> {
  const script = fileURLToPath(new URL('../../scripts/plant-sim.mjs', import.meta.url));
  const child = spawn(process.execPath, [script, '--broker', url, '--topic-prefix', PREFIX], {
    stdio: ['ignore', 'pipe', 'pipe'],
  });
  let output = '';
  return new Promise((resolve, reject) => {
    const timer = setTimeout(
      () => reject(new Error(`plant-sim did not start:\n${output}`)),
      30_000,
    );
    const read = (chunk: Buffer) => {
      output += chunk.toString();
      if (output.includes('publishing')) {
        clearTimeout(timer);
        resolve(child);
      }
    };
    child.stdout?.on('data', read);
    child.stderr?.on('data', read);
    child.once('exit', (code) => {
      clearTimeout(timer);
      reject(new Error(`plant-sim ended with ${code}:\n${output}`));
    });
  });
}

function stopProcess(child: ChildProcess | undefined): Promise<void> {
  if (!child || child.exitCode !== null) return Promise.resolve();
  return new Promise((resolve) => {
    const killer = setTimeout(() => child.kill('SIGKILL'), 5_000);
    child.once('exit', () => {
      clearTimeout(killer);
      resolve();
    });
    child.kill('SIGINT');
  });
}

async function record(url: string): Promise<MqttClient> {
  const client = await mqtt.connectAsync(url, { reconnectPeriod: 500 });
  client.on('message', (topic, payload) => {
    const id = topic.slice(PREFIX.length + 1);
    if (id.includes('/') || id.startsWith('$')) return;
    try {
      const record = JSON.parse(payload.toString()) as { value: unknown; timestamp: number };
      const list = published.get(id) ?? [];
      list.push(record);
      published.set(id, list);
    } catch {
      // Not one of the simulator's values.
    }
  });
  client.on('connect', () => void client.subscribe(`${PREFIX}/+`));
  await client.subscribeAsync(`${PREFIX}/+`);
  return client;
}

beforeAll(async () => {
  harness = await startBrowserHarness();
  broker = await startBroker();
  locked = await startBroker({ users: { operator: 'right-password' } });
  recorder = await record(broker.mqttUrl);
  simulator = await startSimulator(broker.mqttUrl);
}, 120_000);

afterAll(async () => {
  await stopProcess(simulator);
  await recorder?.endAsync(true);
  await harness?.close();
  await broker?.close();
  await locked?.close();
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
  `?broker=${encodeURIComponent(broker.wsUrl)}&topic-prefix=${encodeURIComponent(PREFIX)}`;

/** The texts of the pump station's value elements, by element id. */
function shownTexts(page: Page): Promise<Record<string, string>> {
  return page.evaluate(
    (ids) => {
      const texts: Record<string, string> = {};
      for (const id of ids) {
        texts[id] = document.querySelector(`[data-element-id="${id}"]`)?.textContent ?? '';
      }
      return texts;
    },
    valueElements.map((element) => element.id),
  );
}

/** The tick of the simulator whose values the page shows, if one matches every text. */
function matchingTick(texts: Record<string, string>): number | undefined {
  const ticks = new Set<number>();
  for (const list of published.values()) for (const record of list) ticks.add(record.timestamp);
  for (const tick of [...ticks].sort((a, b) => b - a)) {
    const all = valueElements.every((element) => {
      const record = published.get(element.pointId!)?.find((r) => r.timestamp === tick);
      if (!record) return false;
      const value = { id: element.pointId!, value: record.value, status: 'good', timestamp: tick };
      return formatValue(element, value as PointValue) === texts[element.id];
    });
    if (all) return tick;
  }
  return undefined;
}

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
            tick = matchingTick(await shownTexts(page));
            return tick;
          },
          { timeout: 20_000, interval: 100 },
        )
        .toBeDefined();
      expect(tick).toBeGreaterThan(0);
      expect(await badCount(page)).toBe(0);
      expect(await page.getByTestId('data-connection').count()).toBe(0);

      await broker.stop();
      // Within 2 s: the header says so and every bound element shows bad quality.
      await page.waitForFunction(
        ([ids, name, text]) =>
          (document.querySelector('[data-testid="data-connection"]')?.textContent ?? '').includes(
            text,
          ) &&
          ids.every((id) =>
            document.querySelector(`[data-element-id="${id}"]`)?.classList.contains(name),
          ),
        [boundIds, QUALITY_BAD, NO_CONNECTION] as const,
        { timeout: 2_000, polling: 50 },
      );
      expect(await page.getByTestId('data-connection').textContent()).toBe(
        `${NO_CONNECTION}: ${broker.wsUrl}`,
      );
      // The values stay as they were, only their quality changes.
      expect(matchingTick(await shownTexts(page))).toBeDefined();

      await broker.start();
      await page.waitForFunction(
        (name) =>
          document.getElementsByClassName(name).length === 0 &&
          !document.querySelector('[data-testid="data-connection"]'),
        QUALITY_BAD,
        { timeout: 5_000, polling: 50 },
      );
      const lines = messages.map((message) => message.text());
      expect(lines.some((line) => line.includes('connection lost'))).toBe(true);
    } finally {
      await page.context().close();
    }
  });

  it('keeps the last value of a point whose payloads cannot be read, marks it bad and reports it once', async () => {
    const prefix = 'e2e/faulty';
    const level = valueElements.find((element) => element.pointId === 'LT-101')!;
    await recorder.publishAsync(`${prefix}/LT-101`, '50', { retain: true });
    await recorder.publishAsync(`${prefix}/$catalogue`, '{"not": "a list"}', { retain: true });
    const query = `?broker=${encodeURIComponent(broker.wsUrl)}&topic-prefix=${prefix}`;
    const { page, console: messages } = await open(query);
    const shown = page.locator(`[data-element-id="${level.id}"]`);
    try {
      await expect.poll(() => shown.textContent(), { timeout: 15_000 }).toBe('50.0 %');
      for (const payload of ['{"value": 5', 'on', 'x'.repeat(70 * 1024)]) {
        await recorder.publishAsync(`${prefix}/LT-101`, payload);
      }
      await expect
        .poll(() => shown.getAttribute('class'), { timeout: 5_000 })
        .toContain(QUALITY_BAD);
      expect(await shown.textContent()).toBe('50.0 %');
      // A readable value afterwards makes the point good again.
      await recorder.publishAsync(`${prefix}/LT-101`, '{"value": 51, "status": "good"}');
      await expect.poll(() => shown.textContent(), { timeout: 5_000 }).toBe('51.0 %');
      expect(await shown.getAttribute('class')).not.toContain(QUALITY_BAD);

      const warnings = messages
        .filter((message) => message.type() === 'warning')
        .map((message) => message.text());
      expect(warnings.filter((text) => text.includes('Point LT-101'))).toEqual([
        `Data server ${broker.wsUrl}: Point LT-101: payload is not JSON; the point is marked bad.`,
      ]);
      expect(warnings.filter((text) => text.includes('Catalogue'))).toEqual([
        `Data server ${broker.wsUrl}: Catalogue: the catalogue is not a list; it is ignored.`,
      ]);
    } finally {
      await page.context().close();
    }
  });

  it('shows the login message for a wrong password and connects with the right one', async () => {
    const base = { broker: locked.wsUrl, topicPrefix: PREFIX, user: 'operator' };
    const wrong = await open('', { ...base, password: 'wrong-password' });
    try {
      await expect
        .poll(() => wrong.page.getByTestId('data-connection').textContent(), { timeout: 15_000 })
        .toBe(`${LOGIN_REFUSED}: ${locked.wsUrl}`);
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

    const right = await open('', { ...base, password: 'right-password' });
    try {
      await expect
        .poll(
          () =>
            right.console.some((message) => message.text().includes(`${locked.wsUrl}: connected`)),
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
