// What every bench does alike: Debian's Chromium with the flags all benches
// use (or, with --host, the desktop program through host.mjs), a bench page
// built by Vite into a temporary folder and served, the lines at the head of
// the figures (machine, engine, page size, load average), medians and heap
// readings after forced collections.
import { mkdtempSync, rmSync } from 'node:fs';
import { availableParallelism, cpus, tmpdir } from 'node:os';
import { join } from 'node:path';
import { fileURLToPath } from 'node:url';
import { chromium } from 'playwright-core';
import { build } from 'vite';
import { engineOf, launchProgram, loadAverage, serve } from './host.mjs';

export { loadAverage, parseArguments } from './host.mjs';

export const CHROMIUM_ARGS = [
  '--headless',
  '--no-sandbox',
  '--disable-gpu',
  '--disable-background-networking',
  '--disable-component-update',
  '--disable-sync',
  '--disable-quic',
  '--no-first-run',
];

/** Debian's Chromium, headless, with the benches' flags. */
export function launchChromium() {
  return chromium.launch({ executablePath: '/usr/bin/chromium', args: CHROMIUM_ARGS });
}

/** The median, NaN samples left out; NaN when none is left. */
export function median(values) {
  const sorted = values.filter((value) => !Number.isNaN(value)).sort((a, b) => a - b);
  if (sorted.length === 0) return Number.NaN;
  const middle = sorted.length >> 1;
  return sorted.length % 2 ? sorted[middle] : (sorted[middle - 1] + sorted[middle]) / 2;
}

/** Two forced collections, so that what is left is what the page holds. */
export async function collectGarbage(cdp) {
  await cdp.send('HeapProfiler.collectGarbage');
  await cdp.send('HeapProfiler.collectGarbage');
}

/** Used JS heap of the page after two forced collections. */
export async function heapUsed(cdp) {
  await collectGarbage(cdp);
  return (await cdp.send('Runtime.getHeapUsage')).usedSize;
}

/** "2026-12-10, 2 × <CPU model>": the first line of every bench's figures. */
export function machineLine() {
  const cpu = cpus()[0]?.model ?? 'unknown CPU';
  return `${new Date().toISOString().slice(0, 10)}, ${availableParallelism()} × ${cpu}`;
}

/** "1900 × 1000": the page's inner size. */
export function pageSize(page) {
  return page.evaluate(() => `${globalThis.innerWidth} × ${globalThis.innerHeight}`);
}

/**
 * The page to bench in: with `host` the program's own page (build/corvane-ui),
 * else a new page of Debian's Chromium of `viewport`. `close()` ends either.
 */
export async function openPage(host, viewport = { width: 1900, height: 1000 }) {
  if (host) {
    const program = await launchProgram();
    return { page: program.app.page, program, close: () => program.app.close() };
  }
  const browser = await launchChromium();
  try {
    const page = await browser.newPage({ viewport });
    return { page, browser, close: () => browser.close() };
  } catch (error) {
    await browser.close();
    throw error;
  }
}

/** "Chromium 1xx…" or "Chrome/102…, QtWebEngine/6.4… in build/corvane-ui". */
export async function engineLine({ page, browser, program }) {
  return program ? `${await engineOf(page)} in build/corvane-ui` : `Chromium ${browser.version()}`;
}

/** The machine, the engine, the page size, the rounds and the load average, then a blank line. */
export async function printHeader(opened, rounds) {
  console.log(machineLine());
  const engine = await engineLine(opened);
  const window = await pageSize(opened.page);
  console.log(`${engine}, page ${window}, ${rounds} rounds, load average ${loadAverage()}\n`);
}

/**
 * Builds the bench page e2e/bench/`name`.html with its `name`.vite.config.ts
 * into a temporary folder (`build` adds Vite build options) and serves it with
 * cross-origin isolation; `url` is the page's address, `close()` stops the
 * server and removes the folder.
 */
export async function servePage(name, buildOptions = {}) {
  const out = mkdtempSync(join(tmpdir(), `corvane-${name}-bench-`));
  const remove = () => rmSync(out, { recursive: true, force: true });
  try {
    await build({
      configFile: fileURLToPath(new URL(`./${name}.vite.config.ts`, import.meta.url)),
      build: { outDir: out, ...buildOptions },
    });
    const server = await serve({ root: out, index: `${name}.html` });
    return {
      url: `http://127.0.0.1:${server.address().port}/${name}.html`,
      close() {
        server.close();
        remove();
      },
    };
  } catch (error) {
    remove();
    throw error;
  }
}

/**
 * The bench page `name` built, served and opened (see servePage and openPage),
 * its errors printed (with `verbose` its console and a crash too), ready once
 * it has set globalThis.<name>Bench; warns when its clock is coarse.
 */
export async function openBenchPage(name, { host, viewport, build: buildOptions, verbose }) {
  const served = await servePage(name, buildOptions);
  let opened;
  try {
    opened = await openPage(host, viewport);
    const { page } = opened;
    page.on('pageerror', (error) => console.error(`page error: ${error.message}`));
    if (verbose) {
      page.on('crash', () => console.error('the page crashed'));
      page.on('console', (message) => console.error(`console: ${message.text()}`));
    }
    await page.goto(served.url);
    await page.waitForFunction((global) => global in globalThis, `${name}Bench`);
    if (!(await page.evaluate(() => globalThis.crossOriginIsolated))) {
      console.warn('warning: the page is not cross-origin isolated; its clock is coarse');
    }
  } catch (error) {
    await opened?.close();
    served.close();
    throw error;
  }
  return {
    ...opened,
    async close() {
      await opened.close();
      served.close();
    },
  };
}
