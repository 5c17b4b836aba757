// The desktop program on a real broker: Debian's mosquitto on free loopback
// ports (plain, WebSocket and TLS listeners, certificates made by openssl),
// the plant simulator publishing to it as plain topics or as a Sparkplug B
// edge node, and the program following it with its own client.
import { spawnSync } from 'node:child_process';
import { chmodSync, mkdtempSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { fileURLToPath } from 'node:url';
import mqtt from 'mqtt';
import type { Page } from 'playwright-core';
import protobuf from 'protobufjs';
import { afterAll, beforeAll, describe, expect, it } from 'vitest';
import {
  boundIds,
  CERTIFICATE_REFUSED,
  LOGIN_REFUSED,
  NO_CONNECTION,
  PASSWORD,
  QUALITY_BAD,
  startPlant,
  startSimulator,
  USER,
  valueElements,
  waitForLoss,
  waitForRecovery,
  type Plant,
} from '../plant';
import { speak } from './channel';
import { builtInAddress, defaultExecutable, launchHost, type HostApp } from './harness';
import { processIds } from './processes';

const PREFIX = 'e2e/host-plant';

let plant: Plant;
let dir: string;

const connectionText = (app: HostApp) =>
  app.page.evaluate(
    () => document.querySelector('[data-testid="data-connection"]')?.textContent ?? null,
  );

const said = (app: HostApp, text: string) => app.output().includes(text);

/** Every element bound to a point shows bad quality, whatever the header says. */
const allBad = (page: Page, timeout: number) =>
  page.waitForFunction(
    ([ids, name]) =>
      ids.every((id) =>
        document.querySelector(`[data-element-id="${id}"]`)?.classList.contains(name),
      ),
    [boundIds, QUALITY_BAD] as const,
    { timeout, polling: 50 },
  );

beforeAll(async () => {
  plant = await startPlant(PREFIX);
  dir = mkdtempSync(join(tmpdir(), 'corvane-broker-e2e-'));
}, 120_000);

afterAll(async () => {
  await plant?.close();
  if (dir) rmSync(dir, { recursive: true, force: true });
});

describe('the desktop program on a broker', () => {
  it('shows the simulator’s values, bad at once while the broker is away and good again when it returns', async () => {
    const app = await launchHost({
      args: ['--broker', plant.broker.mqttUrl, '--topic-prefix', PREFIX],
    });
    try {
      await expect
        .poll(() => plant.shownTick(app.page), { timeout: 20_000, interval: 100 })
        .toBeDefined();
      expect(app.page.url()).toBe(builtInAddress);
      expect(await connectionText(app)).toBeNull();
      // The page holds no broker settings: the program keeps the connection.
      expect(await app.page.evaluate(() => 'corvaneDataSettings' in window)).toBe(false);

      await plant.broker.stop();
      await waitForLoss(app.page);
      expect(await connectionText(app)).toBe(`${NO_CONNECTION}: ${plant.broker.mqttUrl}`);
      // The values stay, only their quality changes.
      const texts = await app.page.evaluate(
        (ids) => ids.map((id) => document.querySelector(`[data-element-id="${id}"]`)?.textContent),
        valueElements.map((element) => element.id),
      );
      expect(texts.every((text) => /\d/.test(text ?? ''))).toBe(true);

      await plant.broker.start();
      await waitForRecovery(app.page);
      expect(said(app, `Data server ${plant.broker.mqttUrl}: connection lost; reconnecting.`)).toBe(
        true,
      );
    } finally {
      await app.close();
    }
  });

  it('records every value while the renderer is killed and comes back', async () => {
    const history = join(dir, 'kill.sqlite');
    const app = await launchHost({
      args: ['--broker', plant.broker.wsUrl, '--topic-prefix', PREFIX, '--history', history],
    });
    let from = 0;
    let to = 0;
    try {
      await expect
        .poll(() => plant.shownTick(app.page), { timeout: 20_000, interval: 100 })
        .toBeDefined();
      from = Date.now();
      await new Promise((resolve) => setTimeout(resolve, 1500));
      const { renderers } = await processIds(app.browser);
      expect(renderers.length).toBeGreaterThan(0);
      for (const pid of renderers) process.kill(pid, 'SIGKILL');
      await new Promise((resolve) => setTimeout(resolve, 3000));
      to = Date.now();
      // The history is written from the host's own connection.
      await new Promise((resolve) => setTimeout(resolve, 1500));
    } finally {
      await app.close();
    }
    const point = 'LT-101';
    const exported = spawnSync(
      defaultExecutable,
      ['--history', history, '--export-history', point, '--from', new Date(from).toISOString(),
        '--to', new Date(to).toISOString()],
      { encoding: 'utf8', timeout: 20_000 },
    );
    expect(exported.status, exported.stderr).toBe(0);
    const recorded = new Set(
      exported.stdout
        .trim()
        .split('\n')
        .slice(1)
        .map((line) => Date.parse(line.split(',')[0])),
    );
    // Every change the simulator published in the stretch is in the history.
    const published = plant.published(point).filter((v) => v.timestamp >= from && v.timestamp <= to);
    expect(published.length).toBeGreaterThanOrEqual(6);
    const changes = published.filter(
      (value, index, all) => index === 0 || all[index - 1].value !== value.value,
    );
    expect(changes.filter((value) => !recorded.has(value.timestamp))).toEqual([]);
  });

  it('keeps the last value of a point whose payloads cannot be read, marks it bad and reports it once', async () => {
    const prefix = 'e2e/faulty';
    const level = valueElements.find((element) => element.pointId === 'LT-101')!;
    await plant.recorder.publishAsync(`${prefix}/LT-101`, '50', { retain: true });
    await plant.recorder.publishAsync(`${prefix}/$catalogue`, '{"not": "a list"}', {
      retain: true,
    });
    const app = await launchHost({
      args: ['--broker', plant.broker.mqttUrl, '--topic-prefix', prefix],
    });
    const shown = app.page.locator(`[data-element-id="${level.id}"]`);
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

      const lines = app.output().split('\n');
      const server = `Data server ${plant.broker.mqttUrl}:`;
      expect(lines.filter((line) => line.includes(`${server} Point LT-101`))).toHaveLength(1);
      expect(app.output()).toContain(
        `${server} Point LT-101: payload is not JSON; the point is marked bad.`,
      );
      expect(app.output()).toContain(
        `${server} Catalogue: the catalogue is not a list; it is ignored.`,
      );
    } finally {
      await app.close();
      await plant.recorder.publishAsync(`${prefix}/LT-101`, '', { retain: true });
      await plant.recorder.publishAsync(`${prefix}/$catalogue`, '', { retain: true });
    }
  });

  it('sends a command to the point’s set topic', async () => {
    const app = await launchHost({
      args: ['--broker', plant.broker.mqttUrl, '--topic-prefix', PREFIX, '--station', 'ОС-3'],
    });
    const commands: { topic: string; payload: string; qos: number; retain: boolean }[] = [];
    const listener = await mqtt.connectAsync(plant.broker.mqttUrl);
    try {
      listener.on('message', (topic, payload, packet) =>
        commands.push({ topic, payload: payload.toString(), qos: packet.qos, retain: packet.retain }),
      );
      await listener.subscribeAsync(`${PREFIX}/+/set`, { qos: 1 });
      await expect
        .poll(() => plant.shownTick(app.page), { timeout: 20_000, interval: 100 })
        .toBeDefined();
      const { results } = await app.page.evaluate(speak, [
        { object: 'plant', method: 'write', args: ['HV-203', 42.5] },
        { object: 'plant', method: 'write', args: ['a/b', 1] },
        // Only the points the catalogue says take commands, within their range.
        { object: 'plant', method: 'write', args: ['LT-101', 1] },
        { object: 'plant', method: 'write', args: ['HV-203', 101] },
        // The page cannot slip values of its own in beside the plant's.
        {
          object: 'points',
          method: 'forward',
          args: [[{ id: 'LT-101', value: 1, status: 'good', timestamp: 1 }]],
        },
      ]);
      expect(results).toEqual([
        { ok: true },
        { error: 'Точка «a/b» не найдена' },
        { error: 'Точка «LT-101» не принимает команд' },
        { error: 'Значение вне диапазона 0–100' },
        false,
      ]);
      // Who sent it goes along: the station (an open one has no user).
      await expect.poll(() => commands, { timeout: 5_000 }).toEqual([
        {
          topic: `${PREFIX}/HV-203/set`,
          payload: '{"station":"ОС-3","value":42.5}',
          qos: 1,
          retain: false,
        },
      ]);
    } finally {
      await listener.endAsync(true);
      await app.close();
    }
  });

  it('logs in with the password from the environment or its file and says so when it is refused', async () => {
    const args = ['--broker', plant.locked.mqttUrl, '--topic-prefix', PREFIX, '--broker-user', USER];
    const wrong = await launchHost({ args, env: { CORVANE_BROKER_PASSWORD: 'wrong-password' } });
    try {
      await expect
        .poll(() => connectionText(wrong), { timeout: 15_000 })
        .toBe(`${LOGIN_REFUSED}: ${plant.locked.mqttUrl}`);
      expect(wrong.output()).toContain('the login of user "operator" was refused');
      expect(wrong.output()).not.toContain('wrong-password');
    } finally {
      await wrong.close();
    }

    const file = join(dir, 'password');
    writeFileSync(file, `${PASSWORD}\n`);
    chmodSync(file, 0o600);
    const right = await launchHost({ args: [...args, '--broker-password-file', file] });
    try {
      await expect
        .poll(() => said(right, `${plant.locked.mqttUrl}: connected.`), { timeout: 15_000 })
        .toBe(true);
      expect(await connectionText(right)).toBeNull();
      expect(right.output()).not.toContain(PASSWORD);
    } finally {
      await right.close();
    }

    chmodSync(file, 0o644);
    const shared = spawnSync(defaultExecutable, [...args, '--broker-password-file', file], {
      encoding: 'utf8',
      timeout: 10_000,
    });
    expect(shared.status).not.toBe(0);
    expect(shared.stderr).toContain('may be read by others than its owner: chmod 600 it');
  });

  it('connects over TLS to a broker whose certificate verifies, and refuses one that does not', async () => {
    const tls = plant.broker.tls!;
    const secure = await launchHost({
      args: ['--broker', tls.mqttsUrl, '--broker-ca', tls.ca, '--topic-prefix', PREFIX],
    });
    try {
      await expect
        .poll(() => plant.shownTick(secure.page), { timeout: 20_000, interval: 100 })
        .toBeDefined();
    } finally {
      await secure.close();
    }

    for (const args of [
      ['--broker', tls.wssUrl, '--broker-ca', tls.ca],
      ['--broker', tls.clientCertUrl, '--broker-ca', tls.ca, '--broker-cert', tls.cert,
        '--broker-key', tls.key],
    ]) {
      const app = await launchHost({ args: [...args, '--topic-prefix', PREFIX] });
      try {
        await expect
          .poll(() => said(app, `${args[1]}: connected.`), { timeout: 15_000 })
          .toBe(true);
      } finally {
        await app.close();
      }
    }

    const other = await launchHost({
      args: ['--broker', tls.mqttsUrl, '--broker-ca', tls.otherCa, '--topic-prefix', PREFIX],
    });
    try {
      await expect
        .poll(() => connectionText(other), { timeout: 15_000 })
        .toBe(`${CERTIFICATE_REFUSED}: ${tls.mqttsUrl}`);
      expect(other.output()).toContain(
        `Data server ${tls.mqttsUrl}: the encrypted connection was refused (certificate verify failed)`,
      );
      expect(await plant.shownTick(other.page)).toBeUndefined();
    } finally {
      await other.close();
    }

    // Signed by the right authority, but for another host.
    const elsewhere = await launchHost({
      args: ['--broker', tls.wrongHostUrl, '--broker-ca', tls.ca, '--topic-prefix', PREFIX],
    });
    try {
      await expect
        .poll(() => connectionText(elsewhere), { timeout: 15_000 })
        .toBe(`${CERTIFICATE_REFUSED}: ${tls.wrongHostUrl}`);
      expect(elsewhere.output()).toContain('(the certificate is not for this host name)');
    } finally {
      await elsewhere.close();
    }
  });

  it('refuses an address it cannot use before it opens a window', () => {
    const result = spawnSync(defaultExecutable, ['--broker', 'http://127.0.0.1:1883'], {
      encoding: 'utf8',
      timeout: 10_000,
    });
    expect(result.status).not.toBe(0);
    expect(result.stderr).toContain(
      'The broker address must begin with mqtt://, mqtts://, ws:// or wss://: http://127.0.0.1:1883',
    );
  });
});

describe('the desktop program as a Sparkplug B host application', () => {
  const proto = fileURLToPath(new URL('../../host/station/sparkplug_b.proto', import.meta.url));

  /** Everything published on the group's topics, decoded where it is a payload. */
  async function watchGroup(group: string) {
    const root = await protobuf.load(proto);
    const Payload = root.lookupType('org.eclipse.tahu.protobuf.Payload');
    const seen: { topic: string; payload: Record<string, unknown> | string }[] = [];
    const client = await mqtt.connectAsync(plant.broker.mqttUrl);
    client.on('message', (topic, payload) => {
      try {
        seen.push({
          topic,
          payload: topic.includes('/STATE/')
            ? payload.toString()
            : (Payload.toObject(Payload.decode(payload), { longs: Number }) as Record<
                string,
                unknown
              >),
        });
      } catch {
        seen.push({ topic, payload: 'unreadable' });
      }
    });
    await client.subscribeAsync([`spBv1.0/${group}/#`, 'spBv1.0/STATE/#']);
    return { seen, close: () => client.endAsync(true) };
  }

  it('shows a node’s metrics, says it is online, and turns them bad at once when the node dies', async () => {
    const group = 'e2e-death';
    const watch = await watchGroup(group);
    const node = await startSimulator(plant.broker.mqttUrl, ['--sparkplug', group]);
    const app = await launchHost({
      args: ['--broker', plant.broker.mqttUrl, '--sparkplug', group, '--host-id', 'e2e-station'],
    });
    try {
      await expect
        .poll(() => plant.shownTick(app.page), { timeout: 20_000, interval: 100 })
        .toBeUndefined(); // plain topics are not followed
      await app.page.waitForFunction(
        (id) => /\d/.test(document.querySelector(`[data-element-id="${id}"]`)?.textContent ?? ''),
        valueElements[0].id,
        { timeout: 20_000 },
      );
      await expect
        .poll(() => watch.seen.find((m) => m.topic === 'spBv1.0/STATE/e2e-station')?.payload, {
          timeout: 5_000,
        })
        .toMatch(/^\{"online":true,"timestamp":\d+\}$/);
      expect(await app.page.evaluate(() => document.getElementsByClassName('mnemo-quality-bad').length)).toBe(0);

      await node.stop();
      await allBad(app.page, 2_000);
      // The broker is still there: the header has nothing to say.
      expect(await connectionText(app)).toBeNull();
    } finally {
      await app.close();
      await node.stop();
      await watch.close();
    }
    // A clean end says offline, as the will would have.
    await expect
      .poll(
        () =>
          watch.seen.filter((m) => m.topic === 'spBv1.0/STATE/e2e-station').at(-1)?.payload,
        { timeout: 5_000 },
      )
      .toMatch(/^\{"online":false,"timestamp":\d+\}$/);
  });

  it('asks a node that skipped a sequence number to be born again, and sends it commands by alias', async () => {
    const group = 'e2e-seq';
    const watch = await watchGroup(group);
    // The station first, so that it hears the node's birth and then the jump.
    const app = await launchHost({
      args: ['--broker', plant.broker.mqttUrl, '--sparkplug', group],
    });
    await expect
      .poll(() => said(app, `${plant.broker.mqttUrl}: connected.`), { timeout: 15_000 })
      .toBe(true);
    const node = await startSimulator(plant.broker.mqttUrl, [
      '--sparkplug',
      group,
      '--edge-node',
      'pumps',
      '--skip-seq-at',
      '3',
      '--interval',
      '300',
    ]);
    const births = () => watch.seen.filter((m) => m.topic === `spBv1.0/${group}/NBIRTH/pumps`);
    const commands = () => watch.seen.filter((m) => m.topic === `spBv1.0/${group}/NCMD/pumps`);
    const rebirths = () =>
      commands().filter((m) => JSON.stringify(m.payload).includes('"name":"Node Control/Rebirth"'));
    try {
      // The third data message jumps a number: after the 2 s wait, one rebirth is asked, and answered.
      await expect
        .poll(() => said(app, 'Sparkplug node pumps: seq jumped from 2 to 4'), { timeout: 10_000 })
        .toBe(true);
      expect(app.output()).toContain('rebirth asked');
      await expect.poll(() => rebirths().length, { timeout: 5_000 }).toBe(1);
      await expect.poll(() => births().length, { timeout: 5_000 }).toBe(2);

      const birth = births().at(-1)!.payload as { metrics: { name: string; alias?: number }[] };
      const alias = birth.metrics.find((metric) => metric.name === 'HV-203')?.alias;
      expect(alias).toBeDefined();
      const { results } = await app.page.evaluate(speak, [
        { object: 'plant', method: 'write', args: ['HV-203', 42] },
      ]);
      expect(results).toEqual([{ ok: true }]);
      await expect
        .poll(
          () =>
            commands()
              .map((m) => (m.payload as { metrics?: { alias?: number; doubleValue?: number }[] }).metrics?.[0])
              .find((metric) => metric?.alias === alias),
          { timeout: 5_000 },
        )
        .toMatchObject({ alias, doubleValue: 42 });
      expect(node.output()).not.toContain('no metric of this node');
    } finally {
      await app.close();
      await node.stop();
      await watch.close();
    }
  });
});
