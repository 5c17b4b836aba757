// Commands from a point's card in the real program, with real clicks: an
// operator logs in through the station's dialog and starts the reserve pump
// of the emulator after confirming; then the plant simulator behind a real
// mosquitto follows a command ("Выполнено"), a plant that never follows
// leaves it unconfirmed ("Нет подтверждения от объекта"), and a value out of
// range is refused in place. Every step is looked for in the journal.
import { execFileSync } from 'node:child_process';
import { join } from 'node:path';
import { fileURLToPath } from 'node:url';
import type { Page } from 'playwright-core';
import { afterAll, beforeAll, describe, expect, it } from 'vitest';
import { startBroker, type TestBroker } from '../broker';
import { startSimulator, type Simulator } from '../plant';
import {
  defaultExecutable,
  launchHost,
  stationFolder,
  type HostApp,
  type StationFolder,
} from './harness';
import { answerLoginDialog, canDrive, delay } from './operator';

const docsScreenshots = fileURLToPath(new URL('../../docs/screenshots/', import.meta.url));
const PASSWORD = 'Nasos-Rezerv-2';
const card = (page: Page) => page.getByRole('complementary', { name: 'Карточка точки' });
const commands = (page: Page) => card(page).getByRole('region', { name: 'Управление' });

describe.skipIf(!canDrive)('commands from the card in the program', () => {
  let station: StationFolder;
  let app: HostApp | undefined;
  let broker: TestBroker | undefined;
  const simulators: Simulator[] = [];

  const journal = () =>
    execFileSync(defaultExecutable, ['--history', station.historyFile, '--export-journal'], {
      encoding: 'utf8',
      env: { ...process.env, ...station.env },
    })
      .trim()
      .split('\n')
      .slice(1)
      .map((line) => {
        const [, , event, , point, , value, user, station, ...text] = line.split(',');
        return { event, point, value, user, station, text: text.join(',') };
      })
      .filter((record) => record.event === 'command');

  const start = async (args: string[] = []) => {
    await app?.close();
    app = await launchHost({
      args: ['--history', station.historyFile, '--station', 'ОС-2', '--schemes', station.schemes, ...args],
      env: station.env,
    });
    await app.page.locator('[data-element-id="pump-2"]').waitFor();
    return app.page;
  };

  /** "Войти" in the header, and the station's dialog answered as ivanov. */
  const logIn = async (page: Page) => {
    await page.getByRole('button', { name: 'Войти' }).click();
    await answerLoginDialog('ivanov', PASSWORD);
    await expect.poll(() => page.getByTestId('session-user').count(), { timeout: 10_000 }).toBe(1);
  };

  const openCard = async (page: Page, element: string) => {
    await page.locator(`[data-element-id="${element}"]`).first().click();
    await card(page).waitFor();
  };

  beforeAll(async () => {
    station = stationFolder('corvane-commands-');
    broker = await startBroker();
  });

  afterAll(async () => {
    await app?.close();
    for (const simulator of simulators) await simulator.stop();
    await broker?.close();
    station?.remove();
  });

  it('lets an operator start the reserve pump of the emulator after confirming, and records who', async () => {
    execFileSync(
      defaultExecutable,
      ['--history', station.historyFile, '--add-user', 'ivanov', '--role', 'operator'],
      { input: `${PASSWORD}\n`, env: { ...process.env, ...station.env } },
    );
    const page = await start();
    const pump = page.locator('[data-element-id="pump-2"]');
    // Running, the pump is drawn green.
    const running = () => pump.evaluate((element) => element.outerHTML.toLowerCase().includes('#3fb54a'));

    // Nobody logged in: the card says why there are no buttons.
    await openCard(page, 'pump-2');
    expect(await commands(page).textContent()).toContain(
      'Нужно войти: действие доступно роли «оператор»',
    );
    expect(await commands(page).getByRole('button').count()).toBe(0);
    await page.keyboard.press('Escape');

    // "Войти" opens the station's own dialog.
    await logIn(page);
    const session = page.getByTestId('session-user');
    await expect.poll(() => session.textContent(), { timeout: 10_000 }).toBe('ivanovоператор');

    // "Редактирование" is for engineers: the switch says so and stays.
    await page.locator('[aria-label="Режим работы со схемой"] button:text-is("Редактирование")').click();
    await expect
      .poll(() => page.getByTestId('edit-refusal').textContent())
      .toBe('Недостаточно прав: нужна роль «инженер»');

    await openCard(page, 'pump-2');
    expect(await running()).toBe(false);
    await commands(page).getByRole('button', { name: 'Включить' }).click();
    // Not sent on the first click: old and new value, to confirm.
    expect(await commands(page).getByTestId('command-from').textContent()).toMatch(/^Было: /);
    expect(await commands(page).getByTestId('command-to').textContent()).toMatch(/^Станет: /);
    expect(journal()).toEqual([]);
    await commands(page).getByRole('button', { name: 'Подтвердить' }).click();
    await expect
      .poll(() => commands(page).getByRole('status').textContent(), { timeout: 12_000 })
      .toBe('Выполнено');
    await page.keyboard.press('Escape');
    // The pump runs on the scheme, and keeps running.
    await expect.poll(running, { timeout: 5000 }).toBe(true);
    await delay(2000);
    expect(await running()).toBe(true);
    await expect
      .poll(() => journal().map((record) => record.text), { timeout: 5000 })
      .toEqual([expect.stringMatching(/; отправлена$/), expect.stringMatching(/; выполнена$/)]);
    expect(journal()[1]).toMatchObject({ point: 'NS-102', user: 'ivanov', station: 'ОС-2' });
  });

  it.runIf(Boolean(process.env.CORVANE_SCREENSHOTS))(
    'takes the picture of a command to confirm',
    async () => {
      const page = app!.page;
      await openCard(page, 'pump-2');
      await commands(page).getByRole('button', { name: 'Отключить' }).click();
      await delay(300);
      await page.screenshot({ path: join(docsScreenshots, 'commands.png') });
      await commands(page).getByRole('button', { name: 'Отмена' }).click();
      await page.keyboard.press('Escape');
    },
  );

  it('waits for the plant behind the broker to follow, and refuses a value out of range in place', async () => {
    simulators.push(await startSimulator(broker!.mqttUrl, ['--topic-prefix', 'plant/follows']));
    const page = await start(['--broker', broker!.mqttUrl, '--topic-prefix', 'plant/follows']);
    await logIn(page);

    await openCard(page, 'pump-2');
    await commands(page).getByRole('button', { name: 'Включить' }).click();
    await commands(page).getByRole('button', { name: 'Подтвердить' }).click();
    await expect
      .poll(() => commands(page).getByRole('status').textContent(), { timeout: 12_000 })
      .toBe('Выполнено');
    await page.keyboard.press('Escape');

    await page.getByTestId('scheme-gas-turbine').click();
    await openCard(page, 'valve-fuel');
    const field = commands(page).getByRole('spinbutton', { name: 'Новое значение' });
    await field.fill('150');
    await commands(page).getByRole('button', { name: 'Задать' }).click();
    expect(await commands(page).getByRole('alert').textContent()).toBe(
      'Значение вне диапазона 0–100',
    );
    await field.fill('55');
    await commands(page).getByRole('button', { name: 'Задать' }).click();
    await commands(page).getByRole('button', { name: 'Подтвердить' }).click();
    await expect
      .poll(() => commands(page).getByRole('status').textContent(), { timeout: 12_000 })
      .toBe('Выполнено');
    await expect
      .poll(() => journal().filter((record) => record.point === 'HV-203').map((r) => r.text), {
        timeout: 5000,
      })
      .toEqual([expect.stringMatching(/→ 55; отправлена$/), expect.stringMatching(/→ 55; выполнена$/)]);
  });

  it('says when the plant does not follow within 10 s', async () => {
    simulators.push(
      await startSimulator(broker!.mqttUrl, ['--topic-prefix', 'plant/deaf', '--ignore-commands']),
    );
    const page = await start(['--broker', broker!.mqttUrl, '--topic-prefix', 'plant/deaf']);
    await logIn(page);

    await openCard(page, 'pump-2');
    await commands(page).getByRole('button', { name: 'Включить' }).click();
    const sent = Date.now();
    await commands(page).getByRole('button', { name: 'Подтвердить' }).click();
    expect(await commands(page).getByRole('status').textContent()).toBe('Команда отправлена…');
    await expect
      .poll(() => commands(page).getByRole('alert').textContent(), { timeout: 15_000 })
      .toBe('Нет подтверждения от объекта');
    expect(Date.now() - sent).toBeGreaterThanOrEqual(9_500);
    await expect
      .poll(() => journal().at(-1)?.text, { timeout: 5000 })
      .toMatch(/; нет подтверждения от объекта$/);
  });
});
