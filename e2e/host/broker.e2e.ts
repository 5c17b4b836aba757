// The desktop program reading its values from a real broker: Debian's
// mosquitto on free loopback ports, the plant simulator publishing to it, and
// the program started with --broker and --topic-prefix, the password in the
// environment.
import { spawnSync } from 'node:child_process';
import { afterAll, beforeAll, describe, expect, it } from 'vitest';
import {
  LOGIN_REFUSED,
  NO_CONNECTION,
  PASSWORD,
  USER,
  startPlant,
  waitForLoss,
  waitForRecovery,
  type Plant,
} from '../plant';
import { builtInAddress, defaultExecutable, launchHost, type HostApp } from './harness';

const PREFIX = 'e2e/host-plant';

let plant: Plant;

const connectionText = (app: HostApp) =>
  app.page.evaluate(
    () => document.querySelector('[data-testid="data-connection"]')?.textContent ?? null,
  );

beforeAll(async () => {
  plant = await startPlant(PREFIX);
}, 120_000);

afterAll(async () => {
  await plant?.close();
});

describe('the desktop program on a broker', () => {
  it('shows the simulator’s values, bad while the broker is away and good again when it returns', async () => {
    const app = await launchHost({
      args: ['--broker', plant.broker.wsUrl, '--topic-prefix', PREFIX],
    });
    try {
      await expect
        .poll(() => plant.shownTick(app.page), { timeout: 20_000, interval: 100 })
        .toBeDefined();
      expect(app.page.url()).toBe(builtInAddress);
      expect(await connectionText(app)).toBeNull();

      await plant.broker.stop();
      await waitForLoss(app.page);
      expect(await connectionText(app)).toBe(`${NO_CONNECTION}: ${plant.broker.wsUrl}`);

      await plant.broker.start();
      await waitForRecovery(app.page);
    } finally {
      await app.close();
    }
  });

  it('logs in with the password from the environment and says so when it is refused', async () => {
    const args = ['--broker', plant.locked.wsUrl, '--topic-prefix', PREFIX, '--broker-user', USER];
    const wrong = await launchHost({ args, env: { CORVANE_BROKER_PASSWORD: 'wrong-password' } });
    try {
      await expect
        .poll(() => connectionText(wrong), { timeout: 15_000 })
        .toBe(`${LOGIN_REFUSED}: ${plant.locked.wsUrl}`);
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
          () => right.consoleMessages.some((m) => m.text.includes(`${plant.locked.wsUrl}: connected`)),
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
