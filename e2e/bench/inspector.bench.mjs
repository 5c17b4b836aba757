// Cost of one keystroke in the property inspector while the load scheme of
// 2000 bound rectangles is open in the editor (canvas and inspector laid out
// as in the editor). One keystroke is one input event in the "X" field of the
// inspector, timed until the style and layout after it are done. Variants,
// side by side in one run (see inspector.page.tsx):
//
//   alone  - the inspector alone, one element selected;
//   editor - canvas and inspector, one element selected;
//   all    - canvas and inspector, all 2000 selected (every drawing moves).
//
// With element drawings memoised on their records, "editor" costs "alone" plus
// one drawing, far from "all"; the page also counts the drawings whose nodes
// changed per keystroke.
//
// Usage: node e2e/bench/inspector.bench.mjs [rounds]
//        xvfb-run -a node e2e/bench/inspector.bench.mjs --host [rounds]
// With --host the same page runs inside the desktop program (build/corvane-ui,
// QtWebEngine's Chromium), served from 127.0.0.1.
import { mkdtempSync, rmSync } from 'node:fs';
import { availableParallelism, cpus, tmpdir } from 'node:os';
import { join } from 'node:path';
import { fileURLToPath } from 'node:url';
import { chromium } from 'playwright-core';
import { build } from 'vite';
import { engineOf, launchProgram, loadAverage, parseArguments, serve } from './host.mjs';

const { host, rest } = parseArguments();
const rounds = Number(rest[0] ?? 8);
const COUNT = 2000;
const VARIANTS = ['alone', 'editor', 'all'];
// Samples per variant and round; moving all 2000 is slow, so it gets fewer.
const PER_ROUND = { alone: 40, editor: 40, all: 6 };
const WARM_UP = { alone: 40, editor: 40, all: 4 };

const CHROMIUM_ARGS = [
  '--headless',
  '--no-sandbox',
  '--disable-gpu',
  '--disable-background-networking',
  '--disable-component-update',
  '--disable-sync',
  '--disable-quic',
  '--no-first-run',
];

function median(values) {
  const sorted = [...values].sort((a, b) => a - b);
  const middle = sorted.length >> 1;
  return sorted.length % 2 ? sorted[middle] : (sorted[middle - 1] + sorted[middle]) / 2;
}

const ms = (value) => `${value.toFixed(3)} ms`;

const out = mkdtempSync(join(tmpdir(), 'corvane-inspector-bench-'));
let server;
let browser;
let program;
try {
  await build({
    configFile: fileURLToPath(new URL('./inspector.vite.config.ts', import.meta.url)),
    build: { outDir: out },
  });
  server = await serve({ root: out, index: 'inspector.html' });
  let page;
  if (host) {
    program = await launchProgram();
    page = program.app.page;
  } else {
    browser = await chromium.launch({ executablePath: '/usr/bin/chromium', args: CHROMIUM_ARGS });
    page = await browser.newPage({ viewport: { width: 1900, height: 1000 } });
  }
  page.on('pageerror', (error) => console.error(`page error: ${error.message}`));
  await page.goto(`http://127.0.0.1:${server.address().port}/inspector.html`);
  await page.waitForFunction(() => 'inspectorBench' in globalThis);
  if (!(await page.evaluate(() => globalThis.crossOriginIsolated))) {
    console.warn('warning: the page is not cross-origin isolated; its clock is coarse');
  }

  const cpu = cpus()[0]?.model ?? 'unknown CPU';
  console.log(`${new Date().toISOString().slice(0, 10)}, ${availableParallelism()} × ${cpu}`);
  const engine = host
    ? `${await engineOf(page)} in build/corvane-ui`
    : `Chromium ${browser.version()}`;
  const window = await page.evaluate(() => `${globalThis.innerWidth} × ${globalThis.innerHeight}`);
  console.log(`${engine}, page ${window}, ${rounds} rounds, load average ${loadAverage()}\n`);

  const samples = Object.fromEntries(VARIANTS.map((variant) => [variant, []]));
  const changed = Object.fromEntries(VARIANTS.map((variant) => [variant, []]));
  for (let round = 0; round < rounds; round++) {
    for (const variant of VARIANTS) {
      const drawn = await page.evaluate(
        ([v, n]) => globalThis.inspectorBench.mount(v, n),
        [variant, COUNT],
      );
      const expected = variant === 'alone' ? 0 : COUNT;
      if (drawn !== expected) throw new Error(`${variant}: ${drawn} drawn, expected ${expected}`);
      await page.evaluate((k) => globalThis.inspectorBench.time(k), WARM_UP[variant]);
      const result = await page.evaluate(
        (k) => globalThis.inspectorBench.time(k),
        PER_ROUND[variant],
      );
      samples[variant].push(...result.times);
      changed[variant].push(...result.changed);
    }
  }
  await page.evaluate(() => globalThis.inspectorBench.unmount());

  console.log(`load-${COUNT}: one keystroke in the inspector's "X" field (median)`);
  for (const variant of VARIANTS) {
    const counts = [...new Set(changed[variant])].sort((a, b) => a - b).join(', ');
    console.log(
      `  ${variant.padEnd(7)} ${ms(median(samples[variant]))}  (${samples[variant].length} samples;` +
        ` drawings changed per keystroke: ${counts})`,
    );
  }
  const alone = median(samples.alone);
  const editor = median(samples.editor);
  const all = median(samples.all);
  console.log(`  editor - alone  ${ms(editor - alone)}  (the canvas's share of a keystroke)`);
  console.log(`  all / editor    ${(all / editor).toFixed(1)}`);
  console.log(`\nload average at the end ${loadAverage()}`);
} finally {
  await browser?.close();
  await program?.app.close();
  server?.close();
  rmSync(out, { recursive: true, force: true });
}
