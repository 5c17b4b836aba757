// One whole editing session on the pump station, driven with real mouse and
// keyboard input, shared by the browser test and the test of the desktop
// program. Reads go through plain DOM calls in the page, because the engine
// inside the program lacks some of what newer locator checks rely on.
//
// The engines differ only in how a file is saved and chosen, which the caller
// supplies as `SessionFiles`.

import { expect } from 'vitest';
import type { Page } from 'playwright-core';

export interface SessionFiles {
  /** Presses the toolbar's save button and returns the path of the file written. */
  save(page: Page): Promise<string>;
  /** Presses the toolbar's load button and chooses the file at `path`. */
  load(page: Page, path: string): Promise<void>;
  /**
   * The id to give the scheme before it is saved. Inside the program saving
   * goes into the scheme folder, where the built-in scheme's own id is taken.
   */
  schemeId?: string;
}

export interface Box {
  x: number;
  y: number;
  width: number;
  height: number;
}

/** Where the tank is dropped and how the gestures move it, in scheme units. */
export const TANK_DROP = { x: 263, y: 307 };
export const TANK_MOVE = { dx: 33, dy: 27 };
export const TANK_RESIZE = { dx: 23, dy: 31 };
/** Grid 10, snapping on: the moved corner and the resized edges land on the grid. */
const snap = (value: number) => Math.floor(value / 10 + 0.5) * 10;
export const TANK_MOVED = {
  x: snap(TANK_DROP.x + TANK_MOVE.dx),
  y: snap(TANK_DROP.y + TANK_MOVE.dy),
};
export const TANK_RESIZED: Box = {
  ...TANK_MOVED,
  width: snap(TANK_MOVED.x + 48 + TANK_RESIZE.dx) - TANK_MOVED.x,
  height: snap(TANK_MOVED.y + 90 + TANK_RESIZE.dy) - TANK_MOVED.y,
};

/** Client coordinates of a scheme point on the editing canvas. */
export function canvasPoint(page: Page, x: number, y: number): Promise<{ x: number; y: number }> {
  return page.evaluate(
    ([sx, sy]) => {
      const canvas = document.querySelector('[data-testid="canvas"]') as SVGSVGElement;
      const bounds = canvas.getBoundingClientRect();
      const [, , width, height] = (canvas.getAttribute('viewBox') ?? '0 0 1 1')
        .split(' ')
        .map(Number);
      return {
        x: bounds.left + (sx * bounds.width) / width,
        y: bounds.top + (sy * bounds.height) / height,
      };
    },
    [x, y],
  );
}

export function canvasIds(page: Page): Promise<string[]> {
  return page.evaluate(() =>
    Array.from(
      document.querySelectorAll('[data-testid="canvas"] [data-drag-node]'),
      (node) => node.getAttribute('data-drag-node') ?? '',
    ),
  );
}

/** The value of the inspector field with the given label. */
function fieldValue(page: Page, label: string): Promise<string | null> {
  return page.evaluate((text) => {
    const labels = Array.from(document.querySelectorAll('.orvo-props label'));
    const match = labels.find((node) => node.textContent === text);
    const id = match?.getAttribute('for');
    const input = id ? (document.getElementById(id) as HTMLInputElement | null) : null;
    return input ? input.value : null;
  }, label);
}

/** The single selected element's id and box as the inspector shows them. */
export async function inspected(page: Page): Promise<{ id: string } & Box> {
  const id = await page.evaluate(
    () => document.querySelector('[data-testid="props-id"]')?.textContent ?? '',
  );
  const read = async (label: string) => Number(await fieldValue(page, label));
  return {
    id,
    x: await read('X'),
    y: await read('Y'),
    width: await read('Ширина'),
    height: await read('Высота'),
  };
}

function testIdText(page: Page, testId: string): Promise<string | null> {
  return page.evaluate(
    (id) => document.querySelector(`[data-testid="${id}"]`)?.textContent ?? null,
    testId,
  );
}

function pressedMode(page: Page, group: string): Promise<string | null> {
  return page.evaluate(
    (label) =>
      document.querySelector(`[role="group"][aria-label="${label}"] [aria-pressed="true"]`)
        ?.textContent ?? null,
    group,
  );
}

async function clickButton(page: Page, name: string): Promise<void> {
  await page.locator(`button[aria-label="${name}"], button:text-is("${name}")`).first().click();
}

/** Moves the mouse from one client point to another in small steps, button held. */
async function drag(page: Page, from: { x: number; y: number }, dx: number, dy: number) {
  await page.mouse.move(from.x, from.y);
  await page.mouse.down();
  await page.mouse.move(from.x + dx / 2, from.y + dy / 2, { steps: 4 });
  await page.mouse.move(from.x + dx, from.y + dy, { steps: 4 });
  await page.mouse.up();
}

export async function openEditor(page: Page): Promise<void> {
  await page
    .locator('[aria-label="Режим работы со схемой"] button:text-is("Редактирование")')
    .click();
  await page.waitForSelector('[data-testid="canvas"]');
  expect(await testIdText(page, 'scheme-title')).toBe('Насосная станция №1');
  expect(await pressedMode(page, 'Режим работы со схемой')).toBe('Редактирование');
  expect(await pressedMode(page, 'Режим канвы')).toBe('Редактор');
  expect(await canvasIds(page)).toHaveLength(36);
}

export async function addTankByDrag(page: Page): Promise<string> {
  const tile = await page.locator('[data-add="symbol:tank"]').boundingBox();
  if (!tile) throw new Error('no tank tile');
  const target = await canvasPoint(page, TANK_DROP.x, TANK_DROP.y);
  await page.mouse.move(tile.x + tile.width / 2, tile.y + tile.height / 2);
  await page.mouse.down();
  await page.mouse.move(target.x - 40, target.y - 20, { steps: 5 });
  await page.mouse.move(target.x, target.y, { steps: 5 });
  await page.mouse.up();
  await expect.poll(() => canvasIds(page)).toHaveLength(37);
  const tank = await inspected(page);
  expect(await testIdText(page, 'props-type')).toBe('Символ');
  expect((await canvasIds(page)).at(-1)).toBe(tank.id);
  // The drop point is not snapped; it is where the pointer let go.
  expect(Math.abs(tank.x - TANK_DROP.x)).toBeLessThan(2);
  expect(Math.abs(tank.y - TANK_DROP.y)).toBeLessThan(2);
  expect([tank.width, tank.height]).toEqual([48, 90]);
  return tank.id;
}

export async function addPipeByClick(page: Page): Promise<string> {
  await page.locator('[data-add="polyline"]').click();
  await expect.poll(() => canvasIds(page)).toHaveLength(38);
  const pipe = await inspected(page);
  expect(await testIdText(page, 'props-type')).toBe('Труба');
  expect(pipe).toMatchObject({ x: 20, y: 20, width: 80, height: 0 });
  return pipe.id;
}

export async function moveAndResizeTank(page: Page, tankId: string): Promise<void> {
  const from = await canvasPoint(page, TANK_DROP.x + 24, TANK_DROP.y + 45);
  const scale = (await canvasPoint(page, 1, 0)).x - (await canvasPoint(page, 0, 0)).x;
  await drag(page, from, TANK_MOVE.dx * scale, TANK_MOVE.dy * scale);
  await expect
    .poll(() => inspected(page))
    .toEqual({ id: tankId, ...TANK_MOVED, width: 48, height: 90 });

  const handle = await page.locator('[data-resize-anchor="se"]').boundingBox();
  if (!handle) throw new Error('no resize handle');
  await drag(
    page,
    { x: handle.x + handle.width / 2, y: handle.y + handle.height / 2 },
    TANK_RESIZE.dx * scale,
    TANK_RESIZE.dy * scale,
  );
  await expect.poll(() => inspected(page)).toEqual({ id: tankId, ...TANK_RESIZED });
}

export async function bindTankAndAddRule(page: Page): Promise<void> {
  const tag = page
    .locator('.orvo-props select')
    .filter({ has: page.locator('option[value="LT-101"]') });
  await tag.selectOption('LT-101');
  await expect
    .poll(() => testIdText(page, 'point-value'), { timeout: 10_000 })
    .toMatch(/^\d+(\.\d+)?$/);
  expect(await testIdText(page, 'point-status')).toBe('достоверно');

  await page.locator('button:text-is("Добавить правило")').click();
  const threshold = page.locator('input[aria-label="Порог правила 1"]');
  await threshold.fill('80');
  await expect
    .poll(() =>
      page.evaluate(() =>
        Array.from(document.querySelectorAll('.orvo-rule')).map((row) =>
          Array.from(row.querySelectorAll('input, select'), (c) => (c as HTMLInputElement).value),
        ),
      ),
    )
    .toEqual([['value', 'gte', '80', '#d1242f', 'fill']]);
}

/** Copy by Ctrl+C and paste by Ctrl+V on the focused editor; the copy lands one grid step away. */
export async function copyAndPaste(page: Page, tankId: string): Promise<string> {
  const centre = await canvasPoint(
    page,
    TANK_RESIZED.x + TANK_RESIZED.width / 2,
    TANK_RESIZED.y + TANK_RESIZED.height / 2,
  );
  await page.mouse.click(centre.x, centre.y);
  expect((await inspected(page)).id).toBe(tankId);
  await page.keyboard.press('Control+c');
  await page.keyboard.press('Control+v');
  await expect.poll(() => canvasIds(page)).toHaveLength(39);
  const copy = await inspected(page);
  expect(copy).toMatchObject({
    x: TANK_RESIZED.x + 10,
    y: TANK_RESIZED.y + 10,
    width: TANK_RESIZED.width,
    height: TANK_RESIZED.height,
  });
  expect(copy.id).not.toBe(tankId);
  return copy.id;
}

export async function undoAndRedo(page: Page, copyId: string): Promise<void> {
  await page.keyboard.press('Control+z');
  await expect.poll(() => canvasIds(page)).toHaveLength(38);
  expect(await canvasIds(page)).not.toContain(copyId);
  await page.keyboard.press('Control+Shift+z');
  await expect.poll(() => canvasIds(page)).toHaveLength(39);
  await clickButton(page, 'Отменить');
  await expect.poll(() => canvasIds(page)).toHaveLength(38);
  await clickButton(page, 'Повторить');
  await expect.poll(() => canvasIds(page)).toHaveLength(39);
  expect((await canvasIds(page)).at(-1)).toBe(copyId);
}

/** The live preview of the edited scheme: the new tank is there and bound to the emulator. */
export async function previewLive(page: Page, tankId: string): Promise<void> {
  // The canvas draws the tank without values, as the renderer does.
  const unbound = await page.evaluate(
    (id) => document.querySelector(`[data-testid="canvas"] [data-element-id="${id}"]`)?.innerHTML,
    tankId,
  );
  await page.locator('[aria-label="Режим канвы"] button:text-is("Предпросмотр")').click();
  await page.waitForSelector('[data-testid="preview"]');
  const preview = () =>
    page.evaluate((id) => {
      const root = document.querySelector('[data-testid="preview"]');
      return {
        palette: document.querySelector('[data-zone="palette"]') !== null,
        drawn: root?.querySelectorAll('svg > [data-element-id]').length ?? 0,
        tank: root?.querySelector(`[data-element-id="${id}"]`)?.innerHTML ?? null,
        level: root?.querySelector('[data-element-id="tank-1-value"]')?.textContent ?? '',
      };
    }, tankId);
  expect(await preview()).toMatchObject({ palette: false, drawn: 39 });
  await expect
    .poll(async () => (await preview()).level, { timeout: 10_000 })
    .toMatch(/^\d+\.\d %$/);
  // The level keeps following the emulator's ticks.
  const level = (await preview()).level;
  await expect.poll(async () => (await preview()).level, { timeout: 10_000 }).not.toBe(level);
  // The bound tank shows the value it was given, not the renderer's empty drawing.
  await expect.poll(async () => (await preview()).tank, { timeout: 10_000 }).not.toBe(unbound);
}

export async function backToEditing(page: Page): Promise<void> {
  await page.locator('[aria-label="Режим канвы"] button:text-is("Редактор")').click();
  await page.waitForSelector('[data-testid="canvas"]');
}

interface SavedTank {
  id: string;
  pointId?: string;
  conditions?: unknown[];
  x: number;
  y: number;
  width: number;
  height: number;
}

/** Saves through the toolbar and checks the file; returns its path. */
export async function saveToFile(page: Page, files: SessionFiles, tankId: string): Promise<string> {
  const schemeId = files.schemeId ?? 'pump-station';
  if (files.schemeId !== undefined) {
    // With nothing selected the inspector shows the scheme's own fields.
    const corner = await canvasPoint(page, 5, 5);
    await page.mouse.click(corner.x, corner.y);
    const field = page.getByLabel('Идентификатор', { exact: true });
    await field.fill(files.schemeId);
    expect(await testIdText(page, 'scheme-id-problem')).toBeNull();
  }
  const path = await files.save(page);
  const { readFileSync } = await import('node:fs');
  const text = readFileSync(path, 'utf8');
  const saved = JSON.parse(text) as { name: string; elements: SavedTank[] };
  expect(saved.name).toBe('Насосная станция №1');
  expect(saved.elements).toHaveLength(39);
  expect(text.startsWith(`{\n  "schemaVersion": 1,\n  "id": "${schemeId}",`)).toBe(true);
  const tank = saved.elements.find((element) => element.id === tankId);
  expect(tank).toMatchObject({
    ...TANK_RESIZED,
    pointId: 'LT-101',
    conditions: [{ when: { field: 'value', op: 'gte', value: 80 }, set: { fill: '#d1242f' } }],
  });
  expect(await testIdText(page, 'import-error')).toBeNull();
  return path;
}

/** Removes everything, then loads the saved file back. */
export async function loadBack(page: Page, files: SessionFiles, path: string, tankId: string) {
  const empty = await canvasPoint(page, 5, 5);
  await page.mouse.click(empty.x, empty.y);
  await page.keyboard.press('Control+a');
  await page.keyboard.press('Delete');
  await expect.poll(() => canvasIds(page)).toEqual([]);
  await files.load(page, path);
  await expect.poll(() => canvasIds(page)).toHaveLength(39);
  expect(await canvasIds(page)).toContain(tankId);
  expect(await testIdText(page, 'import-error')).toBeNull();
  // Loading is one step of the history.
  await clickButton(page, 'Отменить');
  await expect.poll(() => canvasIds(page)).toEqual([]);
  await clickButton(page, 'Повторить');
  await expect.poll(() => canvasIds(page)).toHaveLength(39);
}

function question(page: Page) {
  return page.evaluate(() => {
    const node = document.querySelector('[role="alertdialog"]');
    return node
      ? {
          label: node.getAttribute('aria-label'),
          inHeader: node.parentElement?.tagName ?? '',
          text: node.textContent ?? '',
        }
      : null;
  });
}

/** With unsaved edits, "Просмотр" asks first; "Отмена" keeps the editor, "Не сохранять" leaves it. */
export async function meetUnsavedQuestion(page: Page): Promise<void> {
  // Back on the loaded file nothing is unsaved: the switch would be immediate.
  const centre = await canvasPoint(page, TANK_RESIZED.x + 5, TANK_RESIZED.y + 5);
  await page.mouse.click(centre.x, centre.y);
  await page.keyboard.press('Shift+ArrowRight');
  expect((await inspected(page)).x).toBe(TANK_RESIZED.x + 10);

  const viewButton = page.locator(
    '[aria-label="Режим работы со схемой"] button:text-is("Просмотр")',
  );
  await viewButton.click();
  await expect
    .poll(() => question(page))
    .toEqual({
      label: 'Несохранённые изменения',
      inHeader: 'HEADER',
      text: 'Схема изменена и не сохранена в файл.Сохранить и продолжитьНе сохранятьОтмена',
    });
  expect(await pressedMode(page, 'Режим работы со схемой')).toBe('Редактирование');

  await page.locator('[role="alertdialog"] button:text-is("Отмена")').click();
  expect(await question(page)).toBeNull();
  expect((await inspected(page)).x).toBe(TANK_RESIZED.x + 10);

  await viewButton.click();
  await page.locator('[role="alertdialog"] button:text-is("Не сохранять")').click();
  await page.waitForSelector('[data-testid="runtime"]');
  expect(await question(page)).toBeNull();
  expect(await pressedMode(page, 'Режим работы со схемой')).toBe('Просмотр');
  // The registered scheme is shown again, without the edits.
  expect(
    await page.evaluate(
      () => document.querySelectorAll('[data-testid="runtime"] svg > [data-element-id]').length,
    ),
  ).toBe(36);
}
