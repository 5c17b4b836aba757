// The station's scheme folder in the real program: files dropped in, edited
// and broken on disk while it runs, a scheme saved from the editor through the
// program's save dialog, and an external application that tries to read the
// folder. The folder is a temporary one given with --schemes.
//
// Needs an X display (xvfb-run) and xdotool for the dialogs; without them it
// is skipped.
import { execFileSync } from 'node:child_process';
import { existsSync, mkdtempSync, renameSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { afterAll, beforeAll, describe, expect, it } from 'vitest';
import type { Page } from 'playwright-core';
import { builtInAddress, launchHost, type HostApp } from './harness';

function hasTool(name: string): boolean {
  try {
    execFileSync('sh', ['-c', `command -v ${name}`], { stdio: 'ignore' });
    return true;
  } catch {
    return false;
  }
}

const canDrive = Boolean(process.env.DISPLAY) && hasTool('xdotool');
const xdotool = (...args: string[]) => execFileSync('xdotool', args, { encoding: 'utf8' }).trim();
const delay = (ms: number) => new Promise((resolve) => setTimeout(resolve, ms));

function visibleWindows(): string[] {
  try {
    return xdotool('search', '--onlyvisible', '--name', '.').split('\n').filter(Boolean);
  } catch {
    return [];
  }
}

async function newDialog(before: readonly string[]): Promise<string> {
  const deadline = Date.now() + 15_000;
  for (;;) {
    const added = visibleWindows().filter((id) => {
      if (before.includes(id)) return false;
      try {
        return /file|файл|save|сохран/i.test(xdotool('getwindowname', id));
      } catch {
        return false;
      }
    });
    if (added.length > 0) return added[added.length - 1];
    if (Date.now() > deadline) throw new Error('no save dialog appeared');
    await delay(200);
  }
}

/** A scheme with one live value (the emulator's LT-101) and a caption. */
function demoScheme(caption: string) {
  return {
    schemaVersion: 1,
    id: 'folder-demo',
    name: 'Demo from folder',
    size: { width: 400, height: 200 },
    elements: [
      { id: 'caption', type: 'text', x: 10, y: 10, width: 200, height: 20, content: caption, style: {} },
      {
        id: 'level',
        type: 'value',
        x: 10,
        y: 60,
        width: 200,
        height: 20,
        fractionDigits: 3,
        pointId: 'LT-101',
        style: {},
      },
    ],
  };
}

/** Writes a file whole, as an editor saving in place would leave it. */
function writeWhole(path: string, text: string) {
  writeFileSync(`${path}.part`, text);
  renameSync(`${path}.part`, path);
}

const navTestIds = (page: Page) =>
  page.evaluate(() =>
    Array.from(document.querySelectorAll('.app__nav-item[data-scheme]')).map((b) =>
      b.getAttribute('data-testid'),
    ),
  );
const elementText = (page: Page, id: string) =>
  page.evaluate(
    (elementId) => document.querySelector(`[data-element-id="${elementId}"]`)?.textContent ?? null,
    id,
  );

/** Two different live texts of an element, a few emulator ticks apart. */
async function expectLive(page: Page, id: string) {
  await expect.poll(() => elementText(page, id), { timeout: 5000 }).toMatch(/\d/);
  const first = await elementText(page, id);
  await expect.poll(() => elementText(page, id), { timeout: 5000 }).not.toBe(first);
}

describe.skipIf(!canDrive)('the scheme folder in the desktop program', () => {
  let app: HostApp;
  let page: Page;
  let folder = '';
  let outside = '';
  const pageErrors: string[] = [];

  beforeAll(async () => {
    folder = mkdtempSync(join(tmpdir(), 'corvane-schemes-'));
    outside = mkdtempSync(join(tmpdir(), 'corvane-outside-'));
    app = await launchHost({ args: ['--schemes', folder] });
    page = app.page;
    page.on('pageerror', (error) => pageErrors.push(error.message));
    await page.waitForFunction(() => document.querySelector('[data-testid="runtime"]'));
  });

  afterAll(async () => {
    await app?.close();
    for (const path of [folder, outside]) if (path) rmSync(path, { recursive: true, force: true });
  });

  it('lists a file dropped into the folder within 2 s and shows it live', async () => {
    const started = Date.now();
    writeWhole(join(folder, 'demo.json'), JSON.stringify(demoScheme('first'), null, 2));
    await page.waitForSelector('[data-testid="scheme-file:demo.json"]', { timeout: 5000 });
    expect(Date.now() - started).toBeLessThan(2000);
    // After the five built-in schemes.
    expect((await navTestIds(page)).slice(5)).toEqual(['scheme-file:demo.json']);

    await page.getByTestId('scheme-file:demo.json').click();
    await expect.poll(() => page.getByTestId('scheme-title').textContent()).toBe('Demo from folder');
    expect(await elementText(page, 'caption')).toBe('first');
    await expectLive(page, 'level');
  });

  it('redraws the open view when its file changes on disk, and stays live', async () => {
    const started = Date.now();
    writeWhole(join(folder, 'demo.json'), JSON.stringify(demoScheme('second'), null, 2));
    await expect.poll(() => elementText(page, 'caption'), { timeout: 5000 }).toBe('second');
    expect(Date.now() - started).toBeLessThan(2000);
    expect(await page.getByTestId('scheme-file:demo.json').getAttribute('aria-current')).toBe(
      'true',
    );
    await expectLive(page, 'level');
  });

  it('reports a bad file once and does not list it', async () => {
    writeWhole(join(folder, 'broken.json'), '{ "schemaVersion": 1, ');
    writeWhole(join(folder, 'no-size.json'), JSON.stringify({ ...demoScheme('x'), size: null }));
    const reports = (name: string) =>
      app.consoleMessages.filter((m) => m.text.includes(`"${name}"`)).map((m) => m.text);
    await expect.poll(() => reports('broken.json'), { timeout: 5000 }).toHaveLength(1);
    await expect.poll(() => reports('no-size.json'), { timeout: 5000 }).toHaveLength(1);
    expect(reports('broken.json')[0]).toBe('Scheme file "broken.json" not listed: invalid JSON');
    expect(reports('no-size.json')[0]).toContain(
      'invalid scheme: scheme size must have positive finite width and height',
    );

    // Another change of the folder reads the listing again without a second report.
    writeWhole(join(folder, 'other.json'), JSON.stringify(demoScheme('other'), null, 2));
    await page.waitForSelector('[data-testid="scheme-file:other.json"]', { timeout: 5000 });
    await delay(500);
    expect(reports('broken.json')).toHaveLength(1);
    expect(await navTestIds(page)).not.toContain('scheme-file:broken.json');
    expect(await navTestIds(page)).not.toContain('scheme-file:no-size.json');
    // The second file with the same id is listed too, and the log says so.
    expect(
      app.consoleMessages.filter((m) => m.text.includes('the id "folder-demo" is already used')),
    ).toHaveLength(1);
  });

  it('saves a scheme from the editor into the folder through the save dialog', async () => {
    await page.getByTestId('scheme-pump-station').click();
    await page
      .locator('[aria-label="Режим работы со схемой"] button:text-is("Редактирование")')
      .click();
    await page.waitForSelector('[data-testid="canvas"]');
    // The built-in scheme holds its own id: saving a copy into the folder is
    // refused until the copy has an id of its own.
    const save = page.locator('button[aria-label="Сохранить схему в файл"]');
    await save.click();
    expect(await page.getByTestId('import-error').textContent()).toBe(
      'Схема не сохранена: идентификатор «pump-station» уже занят',
    );
    await page.getByLabel('Идентификатор', { exact: true }).fill('pump-station-copy');

    const before = visibleWindows();
    const click = save.click();
    const dialog = await newDialog(before);
    // The dialog proposes the folder and the scheme's name: accept it as it is.
    await delay(500);
    xdotool('windowfocus', '--sync', dialog);
    xdotool('key', 'Return');
    await click;
    const saved = join(folder, 'Насосная станция №1.json');
    await expect.poll(() => existsSync(saved), { timeout: 10_000 }).toBe(true);

    const entry = 'scheme-file:Насосная станция №1.json';
    await page.waitForSelector(`[data-testid="${entry}"]`, { timeout: 5000 });
    await page.locator('[aria-label="Режим работы со схемой"] button:text-is("Просмотр")').click();
    await page.getByTestId(entry).click();
    await expect
      .poll(() => page.getByTestId('scheme-title').textContent())
      .toBe('Насосная станция №1');
    expect(await page.getByTestId(entry).getAttribute('aria-current')).toBe('true');
    // Live: the drawn texts change from one emulator tick to the next.
    const texts = () =>
      page.evaluate(() =>
        Array.from(document.querySelectorAll('[data-testid="runtime"] text'))
          .map((node) => node.textContent)
          .join('|'),
      );
    const first = await texts();
    await expect.poll(texts, { timeout: 5000 }).not.toBe(first);
  });

  it('keeps the folder from an external application opened from a directory', async () => {
    writeFileSync(
      join(outside, 'index.html'),
      `<!doctype html><meta charset="utf-8"><title>prying app</title>
<p id="result">…</p>
<script>
  const results = [];
  for (const address of ['corvane-schemes://folder/', 'corvane-schemes://folder/demo.json']) {
    const request = new XMLHttpRequest();
    try {
      request.open('GET', address, false);
      request.send();
      results.push(request.status + ':' + request.responseText);
    } catch (error) {
      results.push('refused');
    }
  }
  document.getElementById('result').textContent = results.join('|');
</script>`,
    );
    const window = xdotool('search', '--sync', '--name', '^corvane-ui ').split('\n')[0];
    xdotool('windowfocus', '--sync', window);
    xdotool('mousemove', '--window', window, '20', '10', 'click', '1');
    await delay(500);
    xdotool('key', 'Down', 'Return');
    await delay(1000);
    xdotool('key', 'ctrl+a');
    xdotool('type', '--delay', '20', join(outside, 'index.html'));
    xdotool('key', 'Return');

    const external = await app.pageAt('corvane://content/mvp/index.html');
    await expect
      .poll(() => external.evaluate(() => document.getElementById('result')?.textContent), {
        timeout: 15_000,
      })
      .toBe('refused|refused');
    expect(page.url()).toBe(builtInAddress);
  });

  it('stayed free of page errors', () => {
    expect(pageErrors).toEqual([]);
  });
});
