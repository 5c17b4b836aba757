// Pages that reach for what only the built-in application has, opened in the
// real program as an operator opens them (the menu, Xvfb and xdotool): a page
// that frames the built-in application and reads the scheme folder, downloads
// that arrive late, a page that navigates and stops at once before reading the
// clipboard, and an external application with a FIFO in place of an image.
// Each shows nothing, and the program runs on after each.
import { execFileSync } from 'node:child_process';
import { existsSync, mkdirSync, mkdtempSync, readdirSync, rmSync, writeFileSync } from 'node:fs';
import { homedir, tmpdir } from 'node:os';
import { join } from 'node:path';
import { afterAll, beforeAll, describe, expect, it } from 'vitest';
import { startAttacker, type AttackerServer } from './attacker';
import { builtInAddress, launchHost, type HostApp } from './harness';
import {
  canDrive,
  delay,
  mainWindow,
  occurrences,
  openApplicationFile,
  openLog,
  openUrl,
  readLog,
  useBuiltInApplication,
  windowsNamed,
  xdotool,
} from './operator';

const folderScheme = {
  schemaVersion: 1,
  id: 'uchastok-a',
  name: 'Участок А',
  size: { width: 300, height: 100 },
  elements: [
    { id: 'caption', type: 'text', x: 10, y: 10, width: 200, height: 20, content: 'А', style: {} },
  ],
};

const refusedNavigation = (address: string) =>
  `Переход отклонён: ${address} может показывать только встроенное приложение`;
const refusedDownload = (address: string) =>
  `Загрузка отклонена: сохранять файлы может только встроенное приложение\n${address}`;
const saveDialogName = /сохран|save/i;

// Reads the scheme folder in every way a page has, and frames the built-in
// application twice: the second frame must not log a second refusal.
const framingPage = `<!doctype html><meta charset="utf-8"><title>framing page</title>
<p id="content">framing page</p><p id="result"></p>
<iframe id="first" src="qrc:/mvp/index.html"></iframe>
<script>
  const results = [];
  for (const address of ['corvane-schemes://folder/', 'corvane-schemes://folder/' +
      encodeURIComponent('Участок А.json'), 'corvane-symbols://folder/']) {
    const request = new XMLHttpRequest();
    try {
      request.open('GET', address, false);
      request.send();
      results.push('read ' + request.status + ':' + request.responseText);
    } catch (error) {
      results.push('refused');
    }
  }
  fetch('corvane-schemes://folder/')
    .then((response) => response.text())
    .then((text) => 'read:' + text, () => 'refused')
    .then((outcome) => {
      results.push(outcome);
      document.getElementById('result').textContent = results.join('|');
    });
  setTimeout(() => {
    const second = document.createElement('iframe');
    second.id = 'second';
    second.src = 'qrc:/mvp/index.html';
    document.body.append(second);
  }, 300);
</script>`;

// Starts a download the server answers only after 3 s; `then` runs at once after.
const downloadPage = (name: string, then: string) => `<!doctype html><meta charset="utf-8">
<title>download ${name}</title><p id="content">download ${name}</p>
<a id="save" download href="/slow?case=${name}">save</a>
<script>document.getElementById('save').click(); ${then}</script>`;

const navigateAndStopPage = `<!doctype html><meta charset="utf-8"><title>navigate and stop</title>
<p id="content" style="height: 600px">navigate and stop</p>
<script>location.href = 'qrc:/mvp/index.html?then-stop'; window.stop();</script>`;

// A 1×1 PNG.
const pixel = Buffer.from(
  'iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mP8z8BQDwAEhQGAhKmMIQAAAABJRU5ErkJggg==',
  'base64',
);

/** The program runs and the built-in application still answers. */
async function expectAlive(app: HostApp) {
  expect(app.running()).toBe(true);
  expect(await app.page.evaluate(() => 6 * 7)).toBe(42);
  expect(app.page.url()).toBe(builtInAddress);
}

/** Every page and frame the program shows, with its text. */
async function everyFrame(app: HostApp) {
  const frames: { url: string; text: string }[] = [];
  for (const page of app.browser.contexts().flatMap((context) => context.pages())) {
    for (const frame of page.frames()) {
      const text = await frame
        .evaluate(() => document.documentElement?.innerText ?? '')
        .catch(() => '');
      frames.push({ url: frame.url(), text });
    }
  }
  return frames;
}

/** Watches for a save dialog until `done` settles. */
async function saveDialogsWhile(done: Promise<unknown>): Promise<string[]> {
  const seen = new Set<string>();
  let settled = false;
  void done.finally(() => (settled = true));
  while (!settled) {
    for (const id of windowsNamed(saveDialogName)) seen.add(id);
    await delay(100);
  }
  return [...seen];
}

async function waitUntil(what: string, condition: () => boolean, timeoutMs = 15_000) {
  const deadline = Date.now() + timeoutMs;
  while (!condition()) {
    if (Date.now() > deadline) throw new Error(`timed out waiting for ${what}`);
    await delay(50);
  }
}

describe.skipIf(!canDrive)('the boundaries of external pages in the desktop program', () => {
  let app: HostApp;
  let server: AttackerServer;
  let folder = '';
  let application = '';
  const downloads = join(homedir(), 'Downloads');

  beforeAll(async () => {
    folder = mkdtempSync(join(tmpdir(), 'corvane-boundary-schemes-'));
    writeFileSync(join(folder, 'Участок А.json'), JSON.stringify(folderScheme));
    application = mkdtempSync(join(tmpdir(), 'corvane-boundary-app-'));
    server = await startAttacker({
      '/framing': { body: framingPage },
      '/download-a': {
        body: downloadPage('a', "setTimeout(() => (location.href = 'qrc:/mvp/index.html?after-download'), 300);"),
      },
      '/download-b': { body: downloadPage('b', '') },
      '/slow': {
        body: 'a file the page wants saved\n',
        type: 'text/plain',
        delayMs: 3000,
        attachment: 'boundary-slow.txt',
      },
      '/navigate-and-stop': { body: navigateAndStopPage },
    });
    app = await launchHost({ args: ['--schemes', folder] });
    await app.page.waitForSelector('[data-testid="scheme-file:Участок А.json"]', {
      timeout: 10_000,
    });
  });

  afterAll(async () => {
    await app?.close();
    await server?.close();
    for (const path of [folder, application]) if (path) rmSync(path, { recursive: true, force: true });
  });

  it('keeps the built-in application working: the folder listed, the editor opening', async () => {
    await app.page.getByTestId('scheme-file:Участок А.json').click();
    await expect.poll(() => app.page.getByTestId('scheme-title').textContent()).toBe('Участок А');
    const mode = (name: string) =>
      app.page.locator(`[aria-label="Режим работы со схемой"] button:text-is("${name}")`);
    await mode('Редактирование').click();
    await app.page.waitForSelector('[data-testid="canvas"]', { timeout: 10_000 });
    await mode('Просмотр').click();
    await app.page.waitForSelector('[data-testid="runtime"]');
  });

  it('shows a framing page nothing of the built-in application or its folder, and logs it once', async () => {
    await openUrl(`${server.origin}/framing`);
    const external = await app.pageAt(`${server.origin}/framing`);
    await expect
      .poll(() => external.evaluate(() => document.getElementById('result')?.textContent), {
        timeout: 10_000,
      })
      .toBe('refused|refused|refused|refused');
    await external.waitForSelector('#second', { state: 'attached' });
    await delay(1000);

    // Neither frame left its empty document; no page or frame anywhere lists
    // the folder's scheme but the built-in application's own.
    const framed = await Promise.all(
      external
        .frames()
        .filter((frame) => frame !== external.mainFrame())
        .map(async (frame) => ({
          url: frame.url(),
          text: await frame.evaluate(() => document.documentElement?.innerText ?? ''),
        })),
    );
    expect(framed).toHaveLength(2);
    for (const frame of framed) {
      expect(frame.url).not.toMatch(/^qrc:/);
      expect(frame.text.trim()).toBe('');
    }
    const frames = await everyFrame(app);
    const listing = frames.filter((f) => f.text.includes('Участок А')).map((f) => f.url);
    expect(listing).toEqual([builtInAddress]);
    const targets = (await (await fetch(`${app.endpoint}/json/list`)).json()) as {
      type: string;
      url: string;
    }[];
    // The built-in application and its emulator's worker, nothing else.
    const builtInTargets = targets
      .filter((t) => /^(qrc|corvane-schemes|corvane-symbols):/.test(t.url))
      .map((t) => `${t.type} ${t.url.replace(/-[\w-]+\.js$/, '.js')}`);
    expect(builtInTargets.sort()).toEqual([
      `page ${builtInAddress}`,
      'shared_worker qrc:/mvp/assets/emulator.worker.js',
    ]);

    await useBuiltInApplication();
    const log = await readLog(app.page);
    expect(occurrences(log, refusedNavigation('qrc:/mvp/index.html'))).toBe(1);
    await expectAlive(app);
  });

  it('refuses a late download after the page navigated to the built-in application', async () => {
    const arrived = waitUntil('the slow answer', () => server.answered.includes('/slow?case=a'));
    await openUrl(`${server.origin}/download-a`);
    const external = await app.pageAt(`${server.origin}/download-a`);
    const dialogs = await saveDialogsWhile(arrived.then(() => delay(2000)));
    expect(dialogs).toEqual([]);
    // The page stayed where it was.
    expect(external.url()).toBe(`${server.origin}/download-a`);
    expect(await external.evaluate(() => document.getElementById('content')?.textContent)).toBe(
      'download a',
    );
    expect(readdirSync(folder)).toEqual(['Участок А.json']);
    expect(existsSync(join(downloads, 'boundary-slow.txt'))).toBe(false);

    await useBuiltInApplication();
    const log = await readLog(app.page);
    expect(occurrences(log, refusedNavigation('qrc:/mvp/index.html?after-download'))).toBe(1);
    expect(occurrences(log, refusedDownload(`${server.origin}/slow?case=a`))).toBe(1);
    await expectAlive(app);
  });

  it('refuses a late download whose page the operator left for the built-in application', async () => {
    await openUrl(`${server.origin}/download-b`);
    await app.pageAt(`${server.origin}/download-b`);
    await waitUntil('the slow request', () => server.requested.includes('/slow?case=b'));
    await useBuiltInApplication();
    await expect.poll(() => app.pageAt('about:blank', 5000).then(() => true)).toBe(true);
    const arrived = waitUntil('the slow answer', () => server.answered.includes('/slow?case=b'));
    const dialogs = await saveDialogsWhile(arrived.then(() => delay(2000)));
    expect(dialogs).toEqual([]);
    expect(readdirSync(folder)).toEqual(['Участок А.json']);
    expect(existsSync(join(downloads, 'boundary-slow.txt'))).toBe(false);
    await expectAlive(app);

    const log = await readLog(app.page);
    expect(occurrences(log, refusedDownload(`${server.origin}/slow?case=b`))).toBe(1);
    await expectAlive(app);
  });

  it('keeps the clipboard from a page that navigated and stopped at once, also after a click', async () => {
    const known = `known clipboard text ${process.pid}`;
    // The built-in application writes it, with the window focused as the operator's is.
    xdotool('windowfocus', '--sync', mainWindow());
    await delay(200);
    await app.page.evaluate((text) => navigator.clipboard.writeText(text), known);
    expect(await app.page.evaluate(() => navigator.clipboard.readText())).toBe(known);

    await openUrl(`${server.origin}/navigate-and-stop`);
    const external = await app.pageAt(`${server.origin}/navigate-and-stop`);
    // The stopped navigation leaves the page loaded and where it was.
    await expect
      .poll(() => external.evaluate(() => document.getElementById('content')?.textContent))
      .toBe('navigate and stop');
    // A real click into the page, through the window.
    const window = mainWindow();
    xdotool('windowfocus', '--sync', window);
    xdotool('mousemove', '--window', window, '400', '300', 'click', '1');
    await delay(300);
    const read = await external.evaluate(async () => ({
      focused: document.hasFocus(),
      read: await navigator.clipboard.readText().then(
        (text) => `read: ${text}`,
        (error: Error) => error.name,
      ),
      pasted: document.execCommand('paste'),
      wrote: await navigator.clipboard.writeText('overwritten').then(
        () => 'wrote',
        (error: Error) => error.name,
      ),
    }));
    expect(read).toEqual({
      focused: true,
      read: 'NotAllowedError',
      pasted: false,
      wrote: 'NotAllowedError',
    });
    expect(external.url()).toBe(`${server.origin}/navigate-and-stop`);

    // Back in the built-in application the keyboard is its own again, and the
    // clipboard holds what it wrote.
    await useBuiltInApplication();
    await expect.poll(() => app.page.evaluate(() => document.hasFocus())).toBe(true);
    expect(await app.page.evaluate(() => navigator.clipboard.readText())).toBe(known);
    const log = await readLog(app.page);
    expect(occurrences(log, refusedNavigation('qrc:/mvp/index.html?then-stop'))).toBeLessThanOrEqual(1);
    await expectAlive(app);
  });

  it('keeps answering when an external application holds a FIFO in place of an image', async () => {
    mkdirSync(join(application, 'img'));
    writeFileSync(join(application, 'img', 'good.png'), pixel);
    execFileSync('mkfifo', [join(application, 'img', 'pipe.png')]);
    writeFileSync(
      join(application, 'index.html'),
      `<!doctype html><meta charset="utf-8"><title>fifo app</title>
<p id="content">fifo app</p>
<img id="pipe" src="img/pipe.png"><img id="good" src="img/good.png">
<script>
  for (const image of document.images) {
    image.onload = () => (image.dataset.outcome = 'loaded ' + image.naturalWidth);
    image.onerror = () => (image.dataset.outcome = 'failed');
  }
</script>`,
    );
    await openApplicationFile(join(application, 'index.html'));
    const external = await app.pageAt('corvane://content/mvp/index.html');
    const outcome = (id: string) =>
      external.evaluate((imageId) => document.getElementById(imageId)?.dataset.outcome, id);
    await expect.poll(() => outcome('good'), { timeout: 10_000 }).toBe('loaded 1');
    await expect.poll(() => outcome('pipe'), { timeout: 10_000 }).toBe('failed');

    // The menu still opens; the log says why the image was not served.
    const started = Date.now();
    await openLog();
    expect(Date.now() - started).toBeLessThan(3000);
    xdotool('key', 'Escape');
    await useBuiltInApplication();
    const log = await readLog(app.page);
    const pipeEntry = log
      .split(/\n(?=\[\d{4}-)/)
      .filter((entry) => entry.includes('corvane://content/mvp/img/pipe.png'));
    expect(pipeEntry).toHaveLength(1);
    // A FIFO found in place is not served as "not found" by the path check,
    // one swapped in after it as "not a regular file" by the confined open.
    expect(pipeEntry[0]).toMatch(/Файл не найден в выбранной папке|Это не обычный файл/);
    await expectAlive(app);
  });
});
