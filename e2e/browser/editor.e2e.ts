// The scheme editor in Chromium: a whole editing session on the pump station
// with real mouse and keyboard input, saving by download and loading through
// the file chooser, and the questions asked before unsaved edits are lost.
import { mkdtempSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { afterAll, beforeAll, describe, expect, it } from 'vitest';
import type { BrowserContext, Page } from 'playwright-core';
import { startBrowserHarness, type BrowserHarness } from './harness';
import {
  addPipeByClick,
  addTankByDrag,
  backToEditing,
  canvasIds,
  canvasPoint,
  inspected,
  bindTankAndAddRule,
  copyAndPaste,
  loadBack,
  meetUnsavedQuestion,
  moveAndResizeTank,
  openEditor,
  previewLive,
  saveToFile,
  undoAndRedo,
  type SessionFiles,
} from './editorSession';

let harness: BrowserHarness;
let downloads: string;

beforeAll(async () => {
  harness = await startBrowserHarness();
  downloads = mkdtempSync(join(tmpdir(), 'corvane-editor-'));
});

afterAll(async () => {
  await harness?.close();
  rmSync(downloads, { recursive: true, force: true });
});

const files: SessionFiles = {
  async save(page) {
    const [download] = await Promise.all([
      page.waitForEvent('download'),
      page.locator('button[aria-label="Сохранить схему в файл"]').click(),
    ]);
    expect(download.suggestedFilename()).toBe('Насосная станция №1.json');
    const path = join(downloads, 'pump.json');
    await download.saveAs(path);
    return path;
  },
  async load(page, path) {
    const [chooser] = await Promise.all([
      page.waitForEvent('filechooser'),
      page.locator('button[aria-label="Загрузить схему из файла"]').click(),
    ]);
    await chooser.setFiles(path);
  },
};

interface AppPage {
  context: BrowserContext;
  page: Page;
  problems: string[];
}

async function openApplication(): Promise<AppPage> {
  const context = await harness.browser.newContext({
    viewport: { width: 1280, height: 760 },
    acceptDownloads: true,
  });
  const page = await context.newPage();
  const problems: string[] = [];
  page.on('console', (message) => {
    const iconProbe = message.location().url.endsWith('/favicon.ico');
    if ((message.type() === 'error' || message.type() === 'warning') && !iconProbe) {
      problems.push(`console: ${message.text()}`);
    }
  });
  page.on('pageerror', (error) => problems.push(`page: ${error.message}`));
  await page.goto(`${harness.baseUrl}index.html`);
  await page.getByTestId('runtime').waitFor();
  return { context, page, problems };
}

describe('a whole editing session in Chromium', () => {
  let app: AppPage;
  let tankId = '';
  let copyId = '';
  let saved = '';

  beforeAll(async () => {
    app = await openApplication();
  });

  afterAll(async () => {
    await app?.context.close();
  });

  it('opens the pump station in the editor', () => openEditor(app.page));

  it('adds a tank from the palette by drag and a pipe by click', async () => {
    tankId = await addTankByDrag(app.page);
    await addPipeByClick(app.page);
  });

  it('moves and resizes the tank with snapping', () => moveAndResizeTank(app.page, tankId));

  it('binds the tank to a tag, shows its live value and adds a rule', () =>
    bindTankAndAddRule(app.page));

  it('copies and pastes by keyboard', async () => {
    copyId = await copyAndPaste(app.page, tankId);
  });

  it('undoes and redoes by keyboard and toolbar', () => undoAndRedo(app.page, copyId));

  it('previews the edited scheme live', async () => {
    await previewLive(app.page, tankId);
    await backToEditing(app.page);
  });

  it('saves the scheme to a file', async () => {
    saved = await saveToFile(app.page, files, tankId);
  });

  it('loads the file back', () => loadBack(app.page, files, saved, tankId));

  it('asks before "Просмотр" drops unsaved edits', () => meetUnsavedQuestion(app.page));

  it('stayed free of errors', () => {
    expect(app.problems).toEqual([]);
  });
});

describe('unsaved edits and the system clipboard in Chromium', () => {
  let app: AppPage;

  beforeAll(async () => {
    app = await openApplication();
    await app.context.grantPermissions(['clipboard-read', 'clipboard-write'], {
      origin: new URL(harness.baseUrl).origin,
    });
    await openEditor(app.page);
  });

  afterAll(async () => {
    await app?.context.close();
  });

  const elementCount = () => canvasIds(app.page).then((ids) => ids.length);

  it('copies with the copy button to the system clipboard and pastes it with the paste button', async () => {
    const { page } = app;
    const tank = await canvasPoint(page, 100, 150);
    await page.mouse.click(tank.x, tank.y);
    expect((await inspected(page)).id).toBe('tank-1');
    await page.locator('button[aria-label="Копировать"]').click();
    const system = await page.evaluate(() => navigator.clipboard.readText());
    expect(JSON.parse(system)).toMatchObject({ orvo: 'elements', elements: [{ id: 'tank-1' }] });
    await page.locator('button[aria-label="Вставить"]').click();
    await expect.poll(elementCount).toBe(37);
    expect(await page.locator('[data-testid="clipboard-hint"]').count()).toBe(0);
  });

  it('pastes a buffer edited as text elsewhere with Ctrl+V', async () => {
    const { page } = app;
    const edited = JSON.stringify({
      orvo: 'elements',
      schemaVersion: 1,
      elements: [{ id: 'x', type: 'rect', x: 100, y: 500, width: 30, height: 20, style: {} }],
    });
    await page.evaluate((text) => navigator.clipboard.writeText(text), edited);
    const empty = await canvasPoint(page, 5, 5);
    await page.mouse.click(empty.x, empty.y);
    await page.keyboard.press('Control+v');
    await expect.poll(elementCount).toBe(38);
    expect(await inspected(page)).toMatchObject({ x: 110, y: 510, width: 30, height: 20 });
  });

  it('asks before the page is closed or reloaded with unsaved edits', async () => {
    const { page } = app;
    const dialogs: string[] = [];
    page.once('dialog', (dialog) => {
      dialogs.push(dialog.type());
      void dialog.dismiss();
    });
    await page.close({ runBeforeUnload: true });
    await expect.poll(() => dialogs).toEqual(['beforeunload']);
    expect(page.isClosed()).toBe(false);
  });

  it('"Сохранить и продолжить" saves the edits by download, then opens the other scheme', async () => {
    const { page } = app;
    const [download] = await Promise.all([
      page.waitForEvent('download'),
      (async () => {
        await page.locator('[data-testid="scheme-heat-point"]').click();
        await page.locator('[role="alertdialog"] button:text-is("Сохранить и продолжить")').click();
      })(),
    ]);
    expect(download.suggestedFilename()).toBe('Насосная станция №1.json');
    const path = join(downloads, 'continued.json');
    await download.saveAs(path);
    const { readFileSync } = await import('node:fs');
    expect(JSON.parse(readFileSync(path, 'utf8')).elements).toHaveLength(38);
    await expect
      .poll(() =>
        page.evaluate(() => document.querySelector('[data-testid="scheme-title"]')?.textContent),
      )
      .toBe('Тепловой пункт ТП-3');
    expect(await page.locator('[role="alertdialog"]').count()).toBe(0);
    expect(await page.locator('[data-testid="canvas"]').count()).toBe(1);
  });

  it('closes at once without unsaved edits', async () => {
    const { page } = app;
    const dialogs: string[] = [];
    page.on('dialog', (dialog) => {
      dialogs.push(dialog.type());
      void dialog.dismiss();
    });
    await page.close({ runBeforeUnload: true });
    await expect.poll(() => page.isClosed()).toBe(true);
    expect(dialogs).toEqual([]);
    expect(app.problems).toEqual([]);
  });
});
