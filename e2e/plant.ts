// The plant behind a real broker, for the end-to-end tests of live values:
// Debian's mosquitto on free loopback ports with the plant simulator
// (scripts/plant-sim.mjs) publishing the pump station's points under a topic
// prefix, a second mosquitto that lets in only USER with PASSWORD, and a
// recorder that keeps every value the simulator published, so that what a
// page shows can be matched to one tick of the simulator.
//
//   const plant = await startPlant('e2e/plant');
//   await expect.poll(() => plant.shownTick(page)).toBeDefined();
//   await plant.broker.stop();
//   await waitForLoss(page);
//   await plant.broker.start();
//   await waitForRecovery(page);
//   await plant.close();

import { spawn, type ChildProcess } from 'node:child_process';
import { fileURLToPath } from 'node:url';
import mqtt, { type MqttClient } from 'mqtt';
import type { Page } from 'playwright-core';
import { pumpStation } from '../webapp/content/pumpStation';
import type { PointValue } from '../webapp/data';
import { formatValue } from '../webapp/scheme/format';
import { startBroker, type TestBroker } from './broker';

export const NO_CONNECTION = 'Нет связи с сервером данных';
export const LOGIN_REFUSED = 'Сервер данных отклонил имя пользователя или пароль';
export const CERTIFICATE_REFUSED = 'Сертификат сервера данных не прошёл проверку';
export const QUALITY_BAD = 'mnemo-quality-bad';
/** The one user the locked broker lets in. */
export const USER = 'operator';
export const PASSWORD = 'right-password';

/** The pump station's value elements bound to a point. */
export const valueElements = pumpStation.elements.filter(
  (element) => element.type === 'value' && element.pointId,
);
/** Ids of all the pump station's elements bound to a point. */
export const boundIds = pumpStation.elements
  .filter((element) => element.pointId)
  .map((element) => element.id);

export interface Published {
  value: unknown;
  timestamp: number;
}

export interface Plant {
  /** Anonymous, with TLS listeners too; the simulator publishes here. */
  broker: TestBroker;
  /** Refuses anonymous clients and every user but USER with PASSWORD. */
  locked: TestBroker;
  /** A client of `broker` that records the simulator's values; tests may publish with it. */
  recorder: MqttClient;
  /** The simulator's tick whose values the page shows, if one matches every value element. */
  shownTick(page: Page): Promise<number | undefined>;
  /** Every value the simulator published for `id` so far, oldest first. */
  published(id: string): readonly Published[];
  close(): Promise<void>;
}

export interface Simulator {
  process: ChildProcess;
  /** What it printed so far. */
  output(): string;
  /** SIGINT, as Ctrl+C: it says goodbye to the broker and ends. */
  stop(): Promise<void>;
}

/** Starts the plant simulator with `args` (besides --broker) and waits until it publishes. */
export function startSimulator(url: string, args: string[]): Promise<Simulator> {
  const script = fileURLToPath(new URL('../scripts/plant-sim.mjs', import.meta.url));
  const child = spawn(process.execPath, [script, '--broker', url, ...args], {
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
      if (/publishing|edge node/.test(output)) {
        clearTimeout(timer);
        resolve({ process: child, output: () => output, stop: () => stopProcess(child) });
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

/** Subscribes to the simulator's points and keeps every value, by point, oldest first. */
async function record(
  url: string,
  prefix: string,
  published: Map<string, Published[]>,
): Promise<MqttClient> {
  const client = await mqtt.connectAsync(url, { reconnectPeriod: 500 });
  client.on('message', (topic, payload) => {
    const id = topic.slice(prefix.length + 1);
    if (id.includes('/') || id.startsWith('$')) return;
    try {
      const value = JSON.parse(payload.toString()) as Published;
      const list = published.get(id) ?? [];
      list.push(value);
      published.set(id, list);
    } catch {
      // Not one of the simulator's values.
    }
  });
  client.on('connect', () => void client.subscribe(`${prefix}/+`));
  await client.subscribeAsync(`${prefix}/+`);
  return client;
}

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

/** The newest tick whose published values, formatted, are every text shown. */
function matchingTick(
  published: Map<string, Published[]>,
  texts: Record<string, string>,
): number | undefined {
  const ticks = new Set<number>();
  for (const list of published.values()) for (const value of list) ticks.add(value.timestamp);
  for (const tick of [...ticks].sort((a, b) => b - a)) {
    const all = valueElements.every((element) => {
      const value = published.get(element.pointId!)?.find((r) => r.timestamp === tick);
      if (!value) return false;
      const shown = { id: element.pointId!, value: value.value, status: 'good', timestamp: tick };
      return formatValue(element, shown as PointValue) === texts[element.id];
    });
    if (all) return tick;
  }
  return undefined;
}

/** Starts both brokers, the recorder and the simulator publishing under `prefix`. */
export async function startPlant(prefix: string): Promise<Plant> {
  const published = new Map<string, Published[]>();
  let broker: TestBroker | undefined;
  let locked: TestBroker | undefined;
  let recorder: MqttClient | undefined;
  let simulator: Simulator | undefined;
  const close = async () => {
    await simulator?.stop();
    await recorder?.endAsync(true);
    await broker?.close();
    await locked?.close();
  };
  try {
    broker = await startBroker({ tls: true });
    locked = await startBroker({ users: { [USER]: PASSWORD } });
    recorder = await record(broker.mqttUrl, prefix, published);
    simulator = await startSimulator(broker.mqttUrl, ['--topic-prefix', prefix]);
  } catch (error) {
    await close();
    throw error;
  }
  return {
    broker,
    locked,
    recorder,
    shownTick: async (page) => matchingTick(published, await shownTexts(page)),
    published: (id) => published.get(id) ?? [],
    close,
  };
}

/** Within 2 s: the header reports the lost connection and every bound element shows bad quality. */
export async function waitForLoss(page: Page): Promise<void> {
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
}

/** Within 5 s: no element shows bad quality and the header's connection message is gone. */
export async function waitForRecovery(page: Page): Promise<void> {
  await page.waitForFunction(
    (name) =>
      document.getElementsByClassName(name).length === 0 &&
      !document.querySelector('[data-testid="data-connection"]'),
    QUALITY_BAD,
    { timeout: 5_000, polling: 50 },
  );
}
