// Cost of the editing canvas on the load scheme of 2000 rectangles, in
// Chromium. The page (canvas.page.tsx) mounts the canvas alone and drives it
// with pointer events dispatched on its nodes. Printed:
//
//   open     - mounting the canvas on load-2000: render, commit, style and
//              layout, then the rendering of the first frame;
//   gestures - React commits of the canvas and commands it dispatched at the
//              press, over ten pointer moves and at the release of a drag of
//              one unselected element, of one selected element, of all 2000,
//              a resize and a marquee;
//   select   - a click on one element while nothing is selected: the event,
//              the commit of the new selection, style and layout, then the
//              rendering of the next frame;
//   moves    - one pointer move of a drag of one element and of all 2000,
//              against a plain loop writing the same transforms onto the same
//              groups (write-one, write-all), timed the same way, the variants
//              taking turns round after round; medians and the ratios.
//
// Usage: node e2e/bench/canvas.bench.mjs [rounds]
//        xvfb-run -a node e2e/bench/canvas.bench.mjs --host [rounds]
// With --host the same page runs inside the desktop program (build/corvane-ui,
// QtWebEngine's Chromium), served from 127.0.0.1 and opened in the program's
// own page, its window as the program opens it.
import { loadAverage, median, openBenchPage, parseArguments, printHeader } from './common.mjs';

const { host, rest } = parseArguments();
const rounds = Number(rest[0] ?? 8);
const OPENS = 12;
const SELECTS = 40;
const MOVES = ['one', 'all', 'write-one', 'write-all'];
const PER_ROUND = 12;
const GESTURES = ['drag-one', 'drag-selected', 'drag-all', 'resize', 'marquee'];

const ms = (value) => `${value.toFixed(3)} ms`.padStart(11);

/** Medians of the two parts and of their sum. */
function summary(timings) {
  return {
    sync: median(timings.map((t) => t.sync)),
    frame: median(timings.map((t) => t.frame)),
    total: median(timings.map((t) => t.sync + t.frame)),
    n: timings.length,
  };
}

const line = (label, s) =>
  `  ${label.padEnd(10)} sync ${ms(s.sync)}  frame ${ms(s.frame)}  total ${ms(s.total)}  (${s.n} samples)`;

const counts = (c) => `${c.commits} commits, [${c.dispatches.join(', ')}]`;

const bench = await openBenchPage('canvas', { host });
try {
  const { page } = bench;
  await printHeader(bench, rounds);

  const opens = [];
  for (let i = 0; i < OPENS + 2; i++) {
    const timing = await page.evaluate(() => globalThis.canvasBench.open());
    if (timing.groups !== 2000)
      throw new Error(`expected 2000 drawn groups, found ${timing.groups}`);
    if (i >= 2) opens.push(timing);
  }
  console.log('open load-2000 in the canvas (median)');
  console.log(line('open', summary(opens)));

  console.log('\ncommits and commands per gesture (press / ten moves / release)');
  for (const kind of GESTURES) {
    const result = await page.evaluate((k) => globalThis.canvasBench.gesture(k), kind);
    console.log(
      `  ${kind.padEnd(14)} press ${counts(result.press)};  moves ${counts(result.moves)};` +
        `  release ${counts(result.release)}`,
    );
  }

  const selects = [];
  for (let i = 0; i < SELECTS + 4; i++) {
    const timing = await page.evaluate((index) => globalThis.canvasBench.select(index), i * 37);
    if (i >= 4) selects.push(timing);
  }
  console.log('\nselect one element by a click (median)');
  console.log(line('select', summary(selects)));

  for (const variant of MOVES) {
    await page.evaluate(([v, n]) => globalThis.canvasBench.moves(v, n), [variant, 4]);
  }
  const samples = Object.fromEntries(MOVES.map((variant) => [variant, []]));
  for (let round = 0; round < rounds; round++) {
    for (const variant of MOVES) {
      const times = await page.evaluate(
        ([v, n]) => globalThis.canvasBench.moves(v, n),
        [variant, PER_ROUND],
      );
      samples[variant].push(...times);
    }
  }
  const moves = Object.fromEntries(MOVES.map((variant) => [variant, summary(samples[variant])]));
  console.log('\none pointer move of a drag (median)');
  for (const variant of MOVES) console.log(line(variant, moves[variant]));
  const ratio = (a, b, part) => (moves[a][part] / moves[b][part]).toFixed(2);
  console.log(
    `  all / write-all   sync ${ratio('all', 'write-all', 'sync')}, total ${ratio('all', 'write-all', 'total')}`,
  );
  console.log(
    `  one / write-one   sync ${ratio('one', 'write-one', 'sync')}, total ${ratio('one', 'write-one', 'total')}`,
  );
  console.log(`\nload average at the end ${loadAverage()}`);
} finally {
  await bench.close();
}
