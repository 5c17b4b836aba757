// Users and roles in the real program: the users made with the program's
// own commands, the bridge spoken to straight from a script in the page (as
// an attacker with the page would), the station's login dialog typed into
// with the X keyboard, the lock after failed logins, and the password looked
// for in everything the program writes or shows. The program runs with its
// data folder in a temporary folder, never the user's.
import { execFileSync } from 'node:child_process';
import { existsSync, readFileSync } from 'node:fs';
import { join } from 'node:path';
import { afterAll, beforeAll, describe, expect, it } from 'vitest';
import { speak } from './channel';
import {
  defaultExecutable,
  launchHost,
  stationFolder,
  type HostApp,
  type StationFolder,
} from './harness';
import {
  answerLoginDialog,
  canDrive,
  delay,
  loginWindowName,
  newWindowNamed,
  readLog,
  visibleWindows,
  windowsNamed,
  xdotool,
} from './operator';

const PASSWORD = 'Pusk-Nasosa-42';
const ENGINEER_PASSWORD = 'Shema-Redaktor-7';

interface Session {
  configured: boolean;
  user: string | null;
  role: string | null;
  allowed: Record<string, boolean>;
  reasons: Record<string, string>;
}

describe.skipIf(!canDrive)('users and roles in the program', () => {
  let station: StationFolder;
  let app: HostApp | undefined;

  const cli = (args: string[], input?: string) =>
    execFileSync(
      defaultExecutable,
      ['--history', station.historyFile, '--station', 'ОС-1', ...args],
      {
        encoding: 'utf8',
        env: { ...process.env, ...station.env },
      input,
    });

  const journal = () =>
    cli(['--export-journal'])
      .trim()
      .split('\n')
      .slice(1)
      .map((line) => {
        const [time, , event, , point, , value, user, station, ...text] = line.split(',');
        return { time, event, point, value, user, station, text: text.join(',') };
      });

  const start = async () => {
    await app?.close();
    app = await launchHost({
      args: ['--history', station.historyFile, '--station', 'ОС-1', '--schemes', station.schemes],
      env: station.env,
    });
    await app.page.locator('[data-element-id]').first().waitFor();
    return app;
  };

  const call = async (object: string, method: string, ...args: unknown[]) => {
    const { results } = await app!.page.evaluate(speak, [{ object, method, args }]);
    return results[0];
  };

  const session = () => call('session', 'state', []).then((state) => state as Session);

  /** Opens the station's login dialog (as a script in the page may) and answers it. */
  const logIn = async (name: string, password: string) => {
    expect(await call('session', 'login')).toEqual({ ok: true });
    return answerLoginDialog(name, password);
  };

  beforeAll(() => {
    station = stationFolder('corvane-access-');
  });

  afterAll(async () => {
    await app?.close();
    station?.remove();
  });

  it('is open without users, and says so', async () => {
    await start();
    const state = await session();
    expect(state).toMatchObject({ configured: false, user: null, role: null });
    expect(Object.values(state.allowed).every(Boolean)).toBe(true);
    expect(await call('alarms', 'silence')).toEqual({ ok: true });
    await app!.close();
    app = undefined;
  });

  it('refuses every change at the bridge while nobody is logged in, and journals it', async () => {
    cli(['--add-user', 'ivanov', '--role', 'operator'], `${PASSWORD}\n`);
    cli(['--add-user', 'petrova', '--role', 'engineer'], `${ENGINEER_PASSWORD}\n`);
    await start();
    expect(await session()).toMatchObject({
      configured: true,
      user: null,
      allowed: { alarms: false, commands: false, edit: false, outOfService: false },
      reasons: { edit: 'Нужно войти: действие доступно роли «инженер»' },
    });
    const { results, signals } = await app!.page.evaluate(speak, [
      { object: 'alarms', method: 'acknowledge', args: [['LT-102.lo'], ''] },
      { object: 'alarms', method: 'silence', args: [] },
      { object: 'alarms', method: 'outOfService', args: ['LT-102.lo', 'ремонт'] },
      { object: 'plant', method: 'write', args: ['NS-102', true] },
      { object: 'plant', method: 'command', args: [7, 'NS-102', true] },
    ]);
    const operatorNeeded = { error: 'Нужно войти: действие доступно роли «оператор»' };
    expect(results.slice(0, 4)).toEqual([
      operatorNeeded,
      operatorNeeded,
      { error: 'Нужно войти: действие доступно роли «инженер»' },
      operatorNeeded,
    ]);
    expect(signals).toContainEqual([7, operatorNeeded]);
    await expect
      .poll(() => journal().filter((record) => record.event === 'refused').length, {
        timeout: 5000,
      })
      .toBe(5);
  });

  it('logs in through its own dialog, and the operator may do what an operator may', async () => {
    await logIn('ivanov', PASSWORD);
    await expect.poll(() => session().then((state) => state.user), { timeout: 10_000 }).toBe(
      'ivanov',
    );
    expect(windowsNamed(loginWindowName)).toEqual([]);
    const state = await session();
    expect(state).toMatchObject({
      role: 'operator',
      allowed: { alarms: true, commands: true, edit: false, outOfService: false },
      reasons: {
        edit: 'Недостаточно прав: нужна роль «инженер»',
        outOfService: 'Недостаточно прав: нужна роль «инженер»',
      },
    });
    expect(await call('alarms', 'silence')).toEqual({ ok: true });
    expect(await call('alarms', 'outOfService', 'LT-102.lo', 'ремонт')).toEqual({
      error: 'Недостаточно прав: нужна роль «инженер»',
    });
    expect(await call('session', 'logout')).toEqual({ ok: true });
    expect((await session()).user).toBeNull();
    // The journal is written once a second.
    await expect
      .poll(() => journal().filter((record) => record.event === 'logout'), { timeout: 5000 })
      .toEqual([expect.objectContaining({ user: 'ivanov', station: 'ОС-1' })]);
    const records = journal();
    expect(records.find((record) => record.event === 'login')).toMatchObject({
      user: 'ivanov',
      station: 'ОС-1',
    });
    expect(records.filter((record) => record.event === 'silence').at(-1)).toMatchObject({
      user: 'ivanov',
    });
  });

  it('saves into the scheme folder for an engineer only, whatever the page asks', async () => {
    const page = app!.page;
    const target = join(station.schemes, 'probe.json');
    // As a script in the page would: a download of its own, answered in the save dialog.
    const save = async () => {
      const result = page.evaluate(
        () =>
          new Promise<{ outcome: string; detail: string }>((resolve) => {
            addEventListener('corvane-save-result', (event) =>
              resolve((event as CustomEvent<{ outcome: string; detail: string }>).detail),
            );
            const link = document.createElement('a');
            link.href = URL.createObjectURL(new Blob(['{"schemaVersion": 1}']));
            link.download = 'probe.json';
            link.click();
          }),
      );
      const before = visibleWindows();
      const dialog = await newWindowNamed(before, /file|файл|save|сохран/i);
      await delay(500);
      xdotool('windowfocus', '--sync', dialog);
      xdotool('key', '--clearmodifiers', 'ctrl+a');
      xdotool('type', '--delay', '10', target);
      xdotool('key', 'Return');
      return result;
    };
    expect(await save()).toMatchObject({
      outcome: 'failed',
      detail: 'Нужно войти: действие доступно роли «инженер»',
    });
    expect(existsSync(target)).toBe(false);

    await logIn('petrova', ENGINEER_PASSWORD);
    await expect.poll(() => session().then((state) => state.role), { timeout: 10_000 }).toBe(
      'engineer',
    );
    expect(await save()).toMatchObject({ outcome: 'written' });
    expect(readFileSync(target, 'utf8')).toBe('{"schemaVersion": 1}');
    expect(await call('session', 'logout')).toEqual({ ok: true });
    await expect
      .poll(() => journal().filter((record) => record.event === 'save'), { timeout: 5000 })
      .toEqual([expect.objectContaining({ user: 'petrova', text: 'probe.json' })]);
    expect(
      journal().filter((record) => record.event === 'refused' && record.text.includes('probe.json')),
    ).toHaveLength(1);
  });

  it('locks a name for 30 s after five failed logins within a minute', async () => {
    const dialog = await logIn('petrova', 'wrong-1');
    for (let attempt = 2; attempt <= 5; attempt++) {
      await delay(400);
      xdotool('windowfocus', '--sync', dialog);
      xdotool('key', '--clearmodifiers', 'ctrl+a');
      xdotool('type', '--delay', '5', `wrong-${attempt}`);
      xdotool('key', 'Return');
    }
    await delay(500);
    // Locked: the right password is refused too.
    xdotool('windowfocus', '--sync', dialog);
    xdotool('key', '--clearmodifiers', 'ctrl+a');
    xdotool('type', '--delay', '5', ENGINEER_PASSWORD);
    xdotool('key', 'Return');
    await delay(500);
    expect((await session()).user).toBeNull();
    await expect
      .poll(() => journal().filter((record) => record.event === 'login-failed').length, {
        timeout: 5000,
      })
      .toBe(6);
    const records = journal();
    expect(records.filter((record) => record.event === 'locked')).toEqual([
      expect.objectContaining({ user: 'petrova' }),
    ]);
    xdotool('windowfocus', '--sync', dialog);
    xdotool('key', 'Escape');
  });

  it('has the passwords in no log, console, journal, page or command line', async () => {
    const page = app!.page;
    const log = await readLog(page);
    const everything = [
      log,
      app!.output(),
      app!.consoleMessages.map((message) => message.text).join('\n'),
      cli(['--export-journal']),
      await page.content(),
      await page.evaluate(() => JSON.stringify(localStorage) + document.body.innerText),
      execFileSync('ps', ['-eo', 'args'], { encoding: 'utf8' }),
    ];
    for (const text of everything) {
      for (const secret of [PASSWORD, ENGINEER_PASSWORD, 'wrong-3', '$argon2']) {
        expect(text.includes(secret), secret).toBe(false);
      }
    }
  });
});
