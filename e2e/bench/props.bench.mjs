// Cost of one keystroke in the property inspector while the load scheme of
// 2000 bound rectangles is open in the editor (canvas and inspector laid out
// as in the editor). One keystroke is one input event in the "X" field of the
// inspector, timed until the style and layout after it are done. Variants,
// side by side in one run (see props.page.tsx):
//
//   alone  - the inspector alone, one element selected;
//   editor - canvas and inspector, one element selected;
//   all    - canvas and inspector, all 2000 selected (every drawing moves).
//
// With element drawings memoised on their records, "editor" costs "alone" plus
// one drawing, far from "all"; the page also counts the drawings whose nodes
// changed per keystroke.
//
// Usage: node e2e/bench/props.bench.mjs [rounds]
//        xvfb-run -a node e2e/bench/props.bench.mjs --host [rounds]
// With --host the same page runs inside the desktop program (build/corvane-ui,
// QtWebEngine's Chromium), served from 127.0.0.1.
import { loadAverage, median, openBenchPage, parseArguments, printHeader } from './common.mjs';

const { host, rest } = parseArguments();
const rounds = Number(rest[0] ?? 8);
const COUNT = 2000;
const VARIANTS = ['alone', 'editor', 'all'];
// Samples per variant and round; moving all 2000 is slow, so it gets fewer.
const PER_ROUND = { alone: 40, editor: 40, all: 6 };
const WARM_UP = { alone: 40, editor: 40, all: 4 };

const ms = (value) => `${value.toFixed(3)} ms`;

const bench = await openBenchPage('props', { host });
try {
  const { page } = bench;
  await printHeader(bench, rounds);

  const samples = Object.fromEntries(VARIANTS.map((variant) => [variant, []]));
  const changed = Object.fromEntries(VARIANTS.map((variant) => [variant, []]));
  for (let round = 0; round < rounds; round++) {
    for (const variant of VARIANTS) {
      const drawn = await page.evaluate(
        ([v, n]) => globalThis.propsBench.mount(v, n),
        [variant, COUNT],
      );
      const expected = variant === 'alone' ? 0 : COUNT;
      if (drawn !== expected) throw new Error(`${variant}: ${drawn} drawn, expected ${expected}`);
      await page.evaluate((k) => globalThis.propsBench.time(k), WARM_UP[variant]);
      const result = await page.evaluate((k) => globalThis.propsBench.time(k), PER_ROUND[variant]);
      samples[variant].push(...result.times);
      changed[variant].push(...result.changed);
    }
  }
  await page.evaluate(() => globalThis.propsBench.unmount());

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
  await bench.close();
}
