// The desktop program reading its values from a real broker: Debian's
// mosquitto on free loopback ports, the plant simulator publishing to it, and
// the program started with --broker and --topic-prefix, the password in the
// environment.
import { spawn, spawnSync, type ChildProcess } from 'node:child_process';
import { fileURLToPath } from 'node:url';
import mqtt, { type MqttClient } from 'mqtt';
import { afterAll, beforeAll, describe, expect, it } from 'vitest';
import { pumpStation } from '../../webapp/content/pumpStation';
import type { PointValue } from '../../webapp/data';
import { formatValue } from '../../webapp/scheme/format';
import { startBroker, type TestBroker } from '../broker';
import { builtInAddress, defaultExecutable, launchHost, type HostApp } from './harness';

const PREFIX = 'e2e/host-plant';
const NO_CONNECTION = 'Нет связи с сервером данных';
const LOGIN_REFUSED = 'Сервер данных отклонил имя пользователя или пароль';
const QUALITY_BAD = 'mnemo-quality-bad';
const PASSWORD = 'right-password';

const valueElements = pumpStation.elements.filter(
  (element) => element.type === 'value' && element.pointId,
);
const boundIds = pumpStation.elements.filter((element) => element.pointId).map((e) => e.id);

let broker: TestBroker;
let locked: TestBroker;
let simulator: ChildProcess | undefined;
let recorder: MqttClient;
/** Every value the simulator published, by point. */
const published = new Map<string, { value: unknown; timestamp: number }[]>();

function startSimulator(url: string): Promise<ChildProcess> {
  const script = fileURLToPath(new URL('../../scripts/plant-sim.mjs', import.meta.url));
  const child = spawn(process.execPath, [script, '--broker', url, '--topic-prefix', PREFIX], {
    stdio: ['ignore', 'pipe', 'pipe'],
  });
  let output = '';
  return new Promise((resolve, reject) => {
    const timer = setTimeout(() => reject(new Error(`plant-sim did not start:\n${output}`)), 30_000);
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
      const value = JSON.parse(payload.toString()) as { value: unknown; timestamp: number };
      const list = published.get(id) ?? [];
      list.push(value);
      published.set(id, list);
    } catch {
      // Not one of the simulator's values.
    }
  });
  client.on('connect', () => void client.subscribe(`${PREFIX}/+`));
  await client.subscribeAsync(`${PREFIX}/+`);
  return client;
}

/** The texts of the pump station's value elements, by element id. */
function shownTexts(app: HostApp): Promise<Record<string, string>> {
  return app.page.evaluate(
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

/** The simulator's tick whose values the page shows, if one matches every text. */
function matchingTick(texts: Record<string, string>): number | undefined {
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

const connectionText = (app: HostApp) =>
  app.page.evaluate(
    () => document.querySelector('[data-testid="data-connection"]')?.textContent ?? null,
  );

beforeAll(async () => {
  broker = await startBroker();
  locked = await startBroker({ users: { operator: PASSWORD } });
  recorder = await record(broker.mqttUrl);
  simulator = await startSimulator(broker.mqttUrl);
}, 120_000);

afterAll(async () => {
  await stopProcess(simulator);
  await recorder?.endAsync(true);
  await broker?.close();
  await locked?.close();
});

describe('the desktop program on a broker', () => {
  it('shows the simulator’s values, bad while the broker is away and good again when it returns', async () => {
    const app = await launchHost({ args: ['--broker', broker.wsUrl, '--topic-prefix', PREFIX] });
    try {
      await expect
        .poll(async () => matchingTick(await shownTexts(app)), { timeout: 20_000, interval: 100 })
        .toBeDefined();
      expect(app.page.url()).toBe(builtInAddress);
      expect(await connectionText(app)).toBeNull();

      await broker.stop();
      await app.page.waitForFunction(
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
      expect(await connectionText(app)).toBe(`${NO_CONNECTION}: ${broker.wsUrl}`);

      await broker.start();
      await app.page.waitForFunction(
        (name) =>
          document.getElementsByClassName(name).length === 0 &&
          !document.querySelector('[data-testid="data-connection"]'),
        QUALITY_BAD,
        { timeout: 5_000, polling: 50 },
      );
    } finally {
      await app.close();
    }
  });

  it('logs in with the password from the environment and says so when it is refused', async () => {
    const args = ['--broker', locked.wsUrl, '--topic-prefix', PREFIX, '--broker-user', 'operator'];
    const wrong = await launchHost({ args, env: { CORVANE_BROKER_PASSWORD: 'wrong-password' } });
    try {
      await expect
        .poll(() => connectionText(wrong), { timeout: 15_000 })
        .toBe(`${LOGIN_REFUSED}: ${locked.wsUrl}`);
      const lines = wrong.consoleMessages.map((message) => message.text).join('\n');
      expect(lines).toContain('login of user "operator" was refused');
      expect(lines).not.toContain('wrong-password');
      expect(wrong.output()).not.toContain('wrong-password');
    } finally {
      await wrong.close();
    }

    const right = await launchHost({ args, env: { CORVANE_BROKER_PASSWORD: PASSWORD } });
    try {
      await expect
        .poll(
          () => right.consoleMessages.some((m) => m.text.includes(`${locked.wsUrl}: connected`)),
          { timeout: 15_000 },
        )
        .toBe(true);
      expect(await connectionText(right)).toBeNull();
      expect(await right.page.evaluate(() => 'corvaneDataSettings' in window)).toBe(false);
    } finally {
      await right.close();
    }
  });

  it('refuses an address that is not ws or wss before it opens a window', () => {
    const result = spawnSync(defaultExecutable, ['--broker', 'mqtt://127.0.0.1:1883'], {
      encoding: 'utf8',
      timeout: 10_000,
    });
    expect(result.status).not.toBe(0);
    expect(result.stderr).toContain(
      'The broker address must begin with ws:// or wss://: mqtt://127.0.0.1:1883',
    );
  });
});
