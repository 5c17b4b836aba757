// The scheme editor inside the desktop program: the same editing session as
// in Chromium, driven over the DevTools protocol with real mouse and keyboard
// input, saving through the program's save dialog and loading through its
// file dialog (both driven with xdotool), with screenshots of the window, and
// the question the program asks before a reload would drop unsaved edits.
//
// Needs an X display (xvfb-run), xdotool and ImageMagick; without them it is
// skipped. The screenshots go to docs/screenshots/ when CORVANE_SCREENSHOTS is
// set, else to a temporary folder.
import { execFileSync } from 'node:child_process';
import { existsSync, mkdirSync, mkdtempSync, readFileSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { fileURLToPath } from 'node:url';
import { afterAll, beforeAll, describe, expect, it } from 'vitest';
import type { Page } from 'playwright-core';
import {
  addPipeByClick,
  addTankByDrag,
  backToEditing,
  bindTankAndAddRule,
  canvasIds,
  canvasPoint,
  copyAndPaste,
  inspected,
  loadBack,
  meetUnsavedQuestion,
  moveAndResizeTank,
  openEditor,
  previewLive,
  saveToFile,
  undoAndRedo,
  type SessionFiles,
} from '../browser/editorSession';
import { launchHost, type HostApp } from './harness';

const docsScreenshots = fileURLToPath(new URL('../../docs/screenshots/', import.meta.url));

function hasTool(name: string): boolean {
  try {
    execFileSync('sh', ['-c', `command -v ${name}`], { stdio: 'ignore' });
    return true;
  } catch {
    return false;
  }
}

const canDrive = Boolean(process.env.DISPLAY) && hasTool('xdotool') && hasTool('import');

function xdotool(...args: string[]): string {
  return execFileSync('xdotool', args, { encoding: 'utf8' }).trim();
}

/** Ids of the visible top-level windows of the display. */
function visibleWindows(): string[] {
  try {
    return xdotool('search', '--onlyvisible', '--name', '.').split('\n').filter(Boolean);
  } catch {
    // xdotool exits with 1 when nothing matches.
    return [];
  }
}

const delay = (ms: number) => new Promise((resolve) => setTimeout(resolve, ms));

function windowName(id: string): string {
  try {
    return xdotool('getwindowname', id);
  } catch {
    return '';
  }
}

/** Waits for a window named like `name` that was not there before and returns its id. */
async function newWindowNamed(before: readonly string[], name: RegExp, what: string) {
  const deadline = Date.now() + 15_000;
  for (;;) {
    // Tooltips are windows too; the dialogs are known by their names.
    const added = visibleWindows().filter((id) => !before.includes(id) && name.test(windowName(id)));
    if (added.length > 0) return added[added.length - 1];
    if (Date.now() > deadline) throw new Error(`no ${what} appeared`);
    await delay(200);
  }
}

/** Waits for a dialog for saving or opening a file. */
const newDialog = (before: readonly string[], what: string) =>
  newWindowNamed(before, /file|файл|open|откр/i, what);

/** Types a path into the file dialog's name field, which has the focus, and confirms. */
async function chooseInDialog(dialog: string, path: string): Promise<void> {
  // Let the dialog finish laying out and take the focus.
  await delay(500);
  xdotool('windowfocus', '--sync', dialog);
  xdotool('key', '--clearmodifiers', 'ctrl+a');
  xdotool('type', '--delay', '20', path);
  xdotool('key', 'Return');
}

async function waitForFile(path: string): Promise<void> {
  const deadline = Date.now() + 15_000;
  for (;;) {
    if (existsSync(path)) {
      try {
        JSON.parse(readFileSync(path, 'utf8'));
        return;
      } catch {
        // Still being written.
      }
    }
    if (Date.now() > deadline) throw new Error(`${path} was not written`);
    await delay(200);
  }
}

function screenshot(window: string, folder: string, name: string): void {
  const target = process.env.CORVANE_SCREENSHOTS ? docsScreenshots : folder;
  mkdirSync(target, { recursive: true });
  execFileSync('import', ['-window', window, join(target, name)]);
  expect(existsSync(join(target, name))).toBe(true);
}

describe.skipIf(!canDrive)('a whole editing session in the desktop program', () => {
  let app: HostApp;
  let page: Page;
  let folder: string;
  let mainWindow: string;
  const pageErrors: string[] = [];
  const dialogNames: string[] = [];
  let tankId = '';
  let copyId = '';
  let saved = '';

  const files: SessionFiles = {
    schemeId: 'pump-station-edited',
    async save(current) {
      const path = join(folder, 'pump-station.json');
      const before = visibleWindows();
      // The dialog holds the program until it is answered, the click's reply included.
      const click = current.locator('button[aria-label="Сохранить схему в файл"]').click();
      const dialog = await newDialog(before, 'save dialog');
      dialogNames.push(windowName(dialog));
      await chooseInDialog(dialog, path);
      await click;
      await waitForFile(path);
      return path;
    },
    async load(current, path) {
      const before = visibleWindows();
      const click = current.locator('button[aria-label="Загрузить схему из файла"]').click();
      const dialog = await newDialog(before, 'file dialog');
      dialogNames.push(windowName(dialog));
      await chooseInDialog(dialog, path);
      await click;
    },
  };

  beforeAll(async () => {
    folder = mkdtempSync(join(tmpdir(), 'corvane-editor-'));
    app = await launchHost();
    page = app.page;
    page.on('pageerror', (error) => pageErrors.push(error.message));
    await page.waitForFunction(() => document.querySelector('[data-testid="runtime"]'));
    mainWindow = xdotool('search', '--onlyvisible', '--name', '^corvane-ui ');
  });

  afterAll(async () => {
    await app?.close();
    if (folder) rmSync(folder, { recursive: true, force: true });
  });

  it('opens the pump station in the editor', () => openEditor(page));

  it('adds a tank from the palette by drag and a pipe by click', async () => {
    tankId = await addTankByDrag(page);
    await addPipeByClick(page);
  });

  it('moves and resizes the tank with snapping', () => moveAndResizeTank(page, tankId));

  it('binds the tank to a tag, shows its live value and adds a rule', async () => {
    await bindTankAndAddRule(page);
    screenshot(mainWindow, folder, 'editor-edit.png');
  });

  it('copies and pastes by keyboard', async () => {
    copyId = await copyAndPaste(page, tankId);
  });

  it('undoes and redoes by keyboard and toolbar', () => undoAndRedo(page, copyId));

  it('previews the edited scheme live', async () => {
    await previewLive(page, tankId);
    screenshot(mainWindow, folder, 'editor-preview.png');
    await backToEditing(page);
  });

  it('saves the scheme through the save dialog', async () => {
    saved = await saveToFile(page, files, tankId);
  });

  it('loads the file back through the file dialog', () => loadBack(page, files, saved, tankId));

  it('asks before "Просмотр" drops unsaved edits', () => meetUnsavedQuestion(page));

  it('copies to and pastes from the system clipboard with the toolbar buttons', async () => {
    await openEditor(page);
    const tank = await canvasPoint(page, 100, 150);
    await page.mouse.click(tank.x, tank.y);
    expect((await inspected(page)).id).toBe('tank-1');
    await page.locator('button[aria-label="Копировать"]').click();
    await expect
      .poll(() => page.evaluate(() => navigator.clipboard.readText()))
      .toContain('"id": "tank-1"');
    await page.locator('button[aria-label="Вставить"]').click();
    await expect.poll(() => canvasIds(page)).toHaveLength(37);
    expect(await inspected(page)).toMatchObject({ x: 70, y: 110, width: 104, height: 200 });
    // Read from the system clipboard: no fallback hint.
    expect(await page.locator('[data-testid="clipboard-hint"]').count()).toBe(0);
  });

  it('asks before the page is reloaded with unsaved edits, and stays when told so', async () => {
    // The program asks with its own window; answered there, not through the protocol.
    const reported: string[] = [];
    page.once('dialog', (dialog) => reported.push(dialog.type()));
    const before = visibleWindows();
    const reload = page.reload({ timeout: 5000 }).catch(() => undefined);
    const question = await newWindowNamed(before, /confirm|подтвер/i, 'leave question');
    xdotool('windowfocus', '--sync', question);
    xdotool('key', 'Escape');
    await reload;
    expect(reported).toEqual(['beforeunload']);
    expect(visibleWindows()).not.toContain(question);
    expect(await canvasIds(page)).toHaveLength(37);
  });

  it('reloads at once once the edits are undone', async () => {
    const corner = await canvasPoint(page, 5, 5);
    await page.mouse.click(corner.x, corner.y);
    await page.keyboard.press('Control+z');
    await expect.poll(() => canvasIds(page)).toHaveLength(36);
    const before = visibleWindows();
    await page.reload({ timeout: 10_000 });
    await page.waitForFunction(() => document.querySelector('[data-testid="runtime"]'));
    expect(visibleWindows().filter((id) => !before.includes(id))).toEqual([]);
  });

  it('stayed free of errors', () => {
    // The save dialog and the file chooser, each answered once.
    expect(dialogNames).toHaveLength(2);
    const problems = app.consoleMessages.filter((m) => m.type === 'error' || m.type === 'warning');
    expect(problems).toEqual([]);
    expect(pageErrors).toEqual([]);
  });
});
