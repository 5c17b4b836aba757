// Cost of live binding in Chromium, for the two load schemes. One delivery is
// the 50 generic point values of one emulator tick reaching 1000 or 2000
// bound rectangles; its time is printed for three ways of showing it, measured
// side by side in one run:
//
//   binder   - the application's binder on the runtime view's nodes;
//   floor    - a plain loop writing the same attributes to the same nodes;
//   compare  - that loop writing an attribute only when the node holds
//              another value;
//   changes  - that loop writing only the fills that changed since its last
//              delivery (remembered on the script side);
//   rerender - React re-rendering the scheme with the values as props.
//
// and the JS heap after garbage collection before and after 1200 binder
// deliveries. The page is built by Vite from the application's own modules
// (binder.page.tsx) into a temporary folder and served with cross-origin
// isolation, which gives the page's clock a 5 µs resolution.
//
// Usage: node e2e/bench/binder.bench.mjs [rounds]
//        xvfb-run -a node e2e/bench/binder.bench.mjs --host [rounds]
// With --host the same page runs inside the desktop program (build/corvane-ui,
// QtWebEngine's Chromium), served from 127.0.0.1 and opened in the program's
// own page, its window as the program opens it.
// The variants take turns, round after round, so that a slow spell of a
// shared machine falls on all of them; medians over all samples are printed.
import {
  heapUsed,
  loadAverage,
  median,
  openBenchPage,
  parseArguments,
  printHeader,
} from './common.mjs';

const { host, rest } = parseArguments();
const rounds = Number(rest[0] ?? 12);
const SCHEMES = [1000, 2000];
const HEAP_DELIVERIES = 1200;
// Samples per variant and round; a React re-render is slow, so it gets fewer.
const PER_ROUND = { binder: 30, floor: 30, compare: 30, changes: 30, rerender: 6 };
const WARM_UP = { binder: 100, floor: 100, compare: 100, changes: 100, rerender: 20 };

const ms = (value) => `${value.toFixed(3)} ms`;
const mb = (bytes) => `${(bytes / 1048576).toFixed(2)} MB`;

const bench = await openBenchPage('binder', { host });
try {
  const { page } = bench;
  const cdp = await page.context().newCDPSession(page);

  await printHeader(bench, rounds);

  for (const count of SCHEMES) {
    const bound = await page.evaluate((n) => globalThis.binderBench.mount(n), count);
    if (bound !== count) throw new Error(`expected ${count} drawn rectangles, found ${bound}`);
    for (const [variant, n] of Object.entries(WARM_UP)) {
      await page.evaluate(([v, k]) => globalThis.binderBench.run(v, k), [variant, n]);
    }
    const samples = Object.fromEntries(Object.keys(PER_ROUND).map((variant) => [variant, []]));
    for (let round = 0; round < rounds; round++) {
      for (const [variant, n] of Object.entries(PER_ROUND)) {
        const times = await page.evaluate(
          ([v, k]) => globalThis.binderBench.time(v, k),
          [variant, n],
        );
        samples[variant].push(...times);
      }
    }
    if (!(await page.evaluate(() => globalThis.binderBench.agree()))) {
      throw new Error('the binder and the re-rendered view disagree on the colours');
    }
    const binder = median(samples.binder);
    const floor = median(samples.floor);
    const rerender = median(samples.rerender);

    const before = await heapUsed(cdp);
    for (let done = 0; done < HEAP_DELIVERIES; done += 100) {
      await page.evaluate(() => globalThis.binderBench.run('binder', 100));
    }
    const after = await heapUsed(cdp);

    console.log(`load-${count}: one delivery of 50 values to ${count} bound rectangles (median)`);
    for (const [variant, times] of Object.entries(samples)) {
      console.log(`  ${variant.padEnd(9)} ${ms(median(times))}  (${times.length} samples)`);
    }
    console.log(`  binder / floor     ${(binder / floor).toFixed(2)}`);
    console.log(`  rerender / binder  ${(rerender / binder).toFixed(1)}`);
    console.log(
      `  JS heap before ${mb(before)}, after ${HEAP_DELIVERIES} deliveries ${mb(after)}` +
        ` (${after >= before ? '+' : ''}${((after - before) / 1024).toFixed(1)} kB)\n`,
    );
  }
  console.log(`load average at the end ${loadAverage()}`);
} finally {
  await bench.close();
}
