// Cost of whole-editor operations on the 2000-rectangle load scheme, in the
// built application as users run it (mvp/), with the editor open on
// "Нагрузка 2000":
//
//   undo, redo - of one move of all 2000 elements (Ctrl+A, then Shift+ArrowRight),
//                by Ctrl+Z and Ctrl+Shift+Z at the editor root;
//   paste 100  - a paste event carrying a buffer of 100 elements;
//   save       - the toolbar's save: check, JSON text, blob and object address
//                (the link's activation is stubbed, so no file and no dialog);
//   load       - the toolbar's load of that file's text through the file input:
//                reading, parsing, checking and the editor showing it;
//
// each timed in the page from the event to the end of React's commit
// ("commit") and to the next frame after it ("frame"); the commands are
// checked to have happened. Then the JS heap after garbage collection: with
// the editor just opened, and after 200 single-element edits (nudges of one
// rectangle), against what one element list and one whole scheme copy cost.
//
// Usage: npx vite build && node e2e/bench/editor.bench.mjs [rounds]
//        xvfb-run -a node e2e/bench/editor.bench.mjs --host [rounds]
// With --host it runs in the desktop program (build/corvane-ui) on its own
// built-in page ("qrc:/mvp/index.html"), its window as the program opens it.
/* global document, window, requestAnimationFrame, KeyboardEvent, ClipboardEvent, DataTransfer,
   HTMLAnchorElement -- page-side code of installBench and the evaluated callbacks */
import { existsSync } from 'node:fs';
import { fileURLToPath } from 'node:url';
import { heapUsed, loadAverage, median, openPage, parseArguments, printHeader } from './common.mjs';
import { serve } from './host.mjs';

const { host, rest } = parseArguments();
const rounds = Number(rest[0] ?? 15);
const EDITS = 200;

const repositoryRoot = fileURLToPath(new URL('../..', import.meta.url));

const ms = (value) => `${value.toFixed(1)} ms`.padStart(9);
const kb = (bytes) => `${(bytes / 1024).toFixed(1)} kB`;
const mb = (bytes) => `${(bytes / 1048576).toFixed(2)} MB`;

/** Installed in the page: timed editor operations through the editor's own events. */
function installBench() {
  const root = () => document.querySelector('.mnemo-editor');
  const drawn = () => document.querySelectorAll('[data-testid="canvas"] [data-drag-node]');
  const firstX = () => drawn()[0]?.querySelector('[data-element-id]')?.getAttribute('x');
  // A macrotask: React's commit of a discrete event runs in a microtask before it.
  const task = () =>
    new Promise((resolve) => {
      const channel = new MessageChannel();
      channel.port1.onmessage = () => resolve();
      channel.port2.postMessage(0);
    });
  const nextFrame = () =>
    new Promise((resolve) => requestAnimationFrame(() => setTimeout(resolve, 0)));

  async function timed(action, done) {
    const start = performance.now();
    action();
    await task();
    for (let tries = 0; !done(); tries++) {
      if (tries > 1000) throw new Error('the command did not happen');
      await task();
    }
    const commit = performance.now() - start;
    await nextFrame();
    return { commit, frame: performance.now() - start };
  }

  const key = (init) =>
    root().dispatchEvent(
      new KeyboardEvent('keydown', { bubbles: true, cancelable: true, ...init }),
    );

  // The save's download is a link activation; stubbed, the file text is kept instead.
  let savedBlob = null;
  const createObjectURL = URL.createObjectURL.bind(URL);
  URL.createObjectURL = (blob) => {
    savedBlob = blob;
    return createObjectURL(blob);
  };
  HTMLAnchorElement.prototype.click = function () {};

  window.editorBench = {
    count: () => drawn().length,
    firstX,
    /** Ctrl+A then Shift+ArrowRight: one move of every element. */
    async moveAll() {
      key({ key: 'a', ctrlKey: true });
      await task();
      const before = firstX();
      key({ key: 'ArrowRight', shiftKey: true });
      await task();
      if (firstX() === before) throw new Error('the move did not happen');
    },
    undo() {
      const before = firstX();
      return timed(
        () => key({ key: 'z', ctrlKey: true }),
        () => firstX() !== before,
      );
    },
    redo() {
      const before = firstX();
      return timed(
        () => key({ key: 'z', ctrlKey: true, shiftKey: true }),
        () => firstX() !== before,
      );
    },
    paste(text) {
      const before = drawn().length;
      const data = new DataTransfer();
      data.setData('text/plain', text);
      return timed(
        () =>
          root().dispatchEvent(
            new ClipboardEvent('paste', { bubbles: true, cancelable: true, clipboardData: data }),
          ),
        () => drawn().length === before + 100,
      );
    },
    async undoQuietly(count) {
      const before = drawn().length;
      key({ key: 'z', ctrlKey: true });
      while (drawn().length !== before - count) await task();
    },
    save() {
      savedBlob = null;
      const button = document.querySelector('button[aria-label="Сохранить схему в файл"]');
      return timed(
        () => button.click(),
        () => savedBlob !== null,
      );
    },
    async savedText() {
      return savedBlob ? await savedBlob.text() : '';
    },
    /** Loads `text` through the file input; `x` is the first element's x it holds. */
    load(text, x) {
      const input = document.querySelector('[data-testid="import-input"]');
      const files = new DataTransfer();
      files.items.add(new File([text], 'scheme.json', { type: 'application/json' }));
      return timed(
        () => {
          input.files = files.files;
          input.dispatchEvent(new Event('change', { bubbles: true }));
        },
        () => firstX() === String(x) && drawn().length === 2000,
      );
    },
    /** `count` nudges of the one selected element, each its own step of the history. */
    async nudges(count) {
      for (let i = 0; i < count; i++) {
        const before = firstX();
        key({ key: 'ArrowRight' });
        await task();
        if (firstX() === before) throw new Error('the nudge did not happen');
      }
    },
    /** Keeps one parsed copy of a scheme text alive, for its heap cost. */
    keep(text) {
      window.keptCopy = JSON.parse(text);
    },
    /** Keeps `count` copies of the kept scheme's element list alive. */
    keepLists(count) {
      window.keptLists = Array.from({ length: count }, () => window.keptCopy.elements.slice());
    },
    drop() {
      window.keptCopy = undefined;
      window.keptLists = undefined;
    },
  };
}

let server;
const bench = await openPage(host, { width: 1280, height: 760 });
try {
  const { page } = bench;
  if (!host) {
    if (!existsSync(`${repositoryRoot}mvp/index.html`)) {
      throw new Error('mvp/ holds no build: run npx vite build first');
    }
    server = await serve({ root: repositoryRoot, index: 'mvp/index.html' });
    await page.goto(`http://127.0.0.1:${server.address().port}/mvp/index.html`);
  }
  page.on('pageerror', (error) => console.error(`page error: ${error.message}`));
  await page.waitForFunction(() => document.querySelector('[data-testid="runtime"]'));
  const cdp = await page.context().newCDPSession(page);

  await printHeader(bench, rounds);

  // Open "Нагрузка 2000" in the editor.
  await page.locator('[data-testid="scheme-load-2000"]').click();
  await page
    .locator('[aria-label="Режим работы со схемой"] button:text-is("Редактирование")')
    .click();
  await page.waitForFunction(
    () => document.querySelectorAll('[data-testid="canvas"] [data-drag-node]').length === 2000,
  );
  await page.evaluate(installBench);
  await page.waitForTimeout(1000);

  // Heap: just opened, then after single-element edits.
  const opened = await heapUsed(cdp);
  const first = page.locator('[data-testid="canvas"] [data-drag-node="L0"]');
  await first.click({ position: { x: 5, y: 5 } });
  await page.evaluate((n) => window.editorBench.nudges(n), EDITS);
  const edited = await heapUsed(cdp);
  // What a whole scheme copy and an element list cost in this engine, measured alike.
  await page.evaluate(() => window.editorBench.save());
  const text = await page.evaluate(() => window.editorBench.savedText());
  const beforeCopy = await heapUsed(cdp);
  await page.evaluate(([t]) => window.editorBench.keep(t), [text]);
  const withCopy = await heapUsed(cdp);
  await page.evaluate(() => window.editorBench.keepLists(20));
  const withLists = await heapUsed(cdp);
  await page.evaluate(() => window.editorBench.drop());
  const schemeCopy = withCopy - beforeCopy;
  const elementList = (withLists - withCopy) / 20;

  // Undo and redo of a move of all 2000 elements.
  await page.evaluate(() => window.editorBench.moveAll());
  const samples = { undo: [], redo: [], paste: [], save: [], load: [] };
  for (let round = 0; round < rounds; round++) {
    samples.undo.push(await page.evaluate(() => window.editorBench.undo()));
    samples.redo.push(await page.evaluate(() => window.editorBench.redo()));
  }

  // Paste of 100 elements, each undone again (not timed).
  const buffer = JSON.stringify(
    {
      orvo: 'elements',
      schemaVersion: 1,
      elements: JSON.parse(text).elements.slice(0, 100),
    },
    null,
    2,
  );
  for (let round = 0; round < rounds; round++) {
    samples.paste.push(await page.evaluate(([b]) => window.editorBench.paste(b), [buffer]));
    await page.evaluate(() => window.editorBench.undoQuietly(100));
  }

  // Save, and load of two files that differ in their first element's place.
  const other = JSON.parse(text);
  other.elements[0] = { ...other.elements[0], x: other.elements[0].x + 7 };
  const files = [
    [text, JSON.parse(text).elements[0].x],
    [JSON.stringify(other, null, 2), other.elements[0].x],
  ];
  for (let round = 0; round < rounds; round++) {
    samples.save.push(await page.evaluate(() => window.editorBench.save()));
    const [file, x] = files[round % 2];
    samples.load.push(await page.evaluate(([f, v]) => window.editorBench.load(f, v), [file, x]));
  }

  console.log(
    `load-2000 in the editor, median of ${rounds}; the scheme file is ${kb(text.length)}`,
  );
  console.log('                        commit     frame');
  const label = {
    undo: 'undo of a move of all',
    redo: 'redo of a move of all',
    paste: 'paste of 100 elements',
    save: 'save to file',
    load: 'load from file',
  };
  for (const [name, times] of Object.entries(samples)) {
    const commit = median(times.map((t) => t.commit));
    const frame = median(times.map((t) => t.frame));
    console.log(`  ${label[name].padEnd(21)} ${ms(commit)} ${ms(frame)}`);
  }
  const perEdit = (edited - opened) / EDITS;
  console.log(`\nJS heap after GC, editor open on load-2000: ${mb(opened)}`);
  console.log(
    `  after ${EDITS} single-element edits: ${mb(edited)}` +
      ` (+${kb(edited - opened)}, ${kb(perEdit)} per edit)`,
  );
  console.log(
    `  one element list of 2000: ${kb(elementList)}; one whole scheme copy: ${kb(schemeCopy)}`,
  );
  console.log(
    `  per edit / element list ${(perEdit / elementList).toFixed(2)}, ` +
      `per edit / scheme copy ${(perEdit / schemeCopy).toFixed(3)}`,
  );
  console.log(`\nload average at the end ${loadAverage()}`);
} finally {
  await bench.close();
  server?.close();
}
