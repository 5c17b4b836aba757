// Cost of opening a large scheme, against what the engine itself needs to draw
// the same elements. The page (open.page.tsx) mounts the application's shell
// with its registry and the emulator's data source; each round, taking turns:
//
//   app   - "Нагрузка 2000" chosen in the navigation while the pump station is
//           shown: from the click to the end of the frame that holds every
//           element, and to the end of the frame showing the first live values;
//   floor - the same 2000 rectangles built with createElementNS/setAttribute
//           into a detached svg and put in place of the shown view: to the end
//           of the next frame.
//
// Then the same in the editor (the shell's work mode "Редактирование", when
// the shell has it): "Нагрузка 2000" chosen while the editor shows the pump
// station, to the end of the frame that holds every element on the editing
// canvas; its floor builds each rectangle inside the canvas's two groups per
// element (drag group, cursor group) into a detached canvas svg and puts it in
// place of the canvas shown.
//
// Between samples the pump station is shown again and garbage is collected, so
// neither variant pays for the other's leftovers. Printed: medians, the ratio
// app / floor, and the heap held by the open scheme (used JS heap and DOM nodes
// with load-2000 open, less the same with the pump station, after two forced
// collections), at the start and after all rounds.
//
// Usage: node e2e/bench/open.bench.mjs [--profile] [rounds]
//        xvfb-run -a node e2e/bench/open.bench.mjs --host [--profile] [rounds]
// --profile adds a sampling profile of further openings of either variant: the
// functions with the most self time (the page is then built unminified).
// With --host the page runs inside the desktop program (build/corvane-ui,
// QtWebEngine's Chromium), served from 127.0.0.1 and opened in the program's
// own page, its window as the program opens it.
import {
  collectGarbage,
  loadAverage,
  median,
  openBenchPage,
  parseArguments,
  printHeader,
} from './common.mjs';

const { host, rest: args } = parseArguments();
const profile = args.includes('--profile');
const rest = args.filter((arg) => arg !== '--profile');
const rounds = Number(rest[0] ?? 15);
const PROFILED = 12;
const COUNT = 2000;
const TARGET = `load-${COUNT}`;
const HOME = 'pump-station';
const WARM_UP = 3;

const ms = (value) => `${value.toFixed(1)} ms`;
const mb = (bytes) => `${(bytes / 1048576).toFixed(2)} MB`;

/** Used JS heap and DOM nodes of the page after two forced collections. */
async function heldNow(cdp) {
  await collectGarbage(cdp);
  const heap = (await cdp.send('Runtime.getHeapUsage')).usedSize;
  const { nodes } = await cdp.send('Memory.getDOMCounters');
  return { heap, nodes };
}

const bench = await openBenchPage('open', {
  host,
  viewport: { width: 1280, height: 781 },
  // Readable function names in a profile.
  build: { minify: !profile },
  verbose: true,
});
try {
  const { page } = bench;
  await page.waitForSelector('[data-testid="runtime"] [data-element-id]');
  const cdp = await page.context().newCDPSession(page);

  await printHeader(bench, rounds);

  const home = () => page.evaluate((id) => globalThis.openBench.select(id), HOME);
  const settle = () => page.waitForTimeout(150);
  const VARIANTS = {
    view: {
      title: 'opened in the runtime view',
      selector: '[data-element-id]',
      app: (profiled) =>
        page.evaluate(([id, p]) => globalThis.openBench.app(id, !p, p), [TARGET, profiled]),
      floor: (profiled) =>
        page.evaluate(([n, p]) => globalThis.openBench.floor(n, p), [COUNT, profiled]),
    },
    canvas: {
      title: 'opened in the editor (editing canvas)',
      selector: '[data-drag-node]',
      app: (profiled) =>
        page.evaluate(
          ([id, p]) => globalThis.openBench.app(id, false, p, '[data-drag-node]'),
          [TARGET, profiled],
        ),
      floor: (profiled) =>
        page.evaluate(([n, p]) => globalThis.openBench.canvasFloor(n, p), [COUNT, profiled]),
    },
  };

  async function sample(where, variant, profiled = false) {
    await home();
    await collectGarbage(cdp);
    await settle();
    const times = await VARIANTS[where][variant](profiled);
    if (times.drawn !== COUNT) {
      throw new Error(`${where} ${variant}: ${times.drawn} elements drawn, not ${COUNT}`);
    }
    return times;
  }

  async function heldByScheme() {
    await home();
    await settle();
    const before = await heldNow(cdp);
    await page.evaluate((id) => globalThis.openBench.select(id), TARGET);
    // Some live deliveries, so that what the binder keeps is counted too.
    await page.waitForTimeout(1200);
    const after = await heldNow(cdp);
    return {
      heap: after.heap - before.heap,
      nodes: after.nodes - before.nodes,
    };
  }

  const canvas = await page.evaluate(() => globalThis.document.querySelector('.orvo-seg') !== null);
  for (const where of canvas ? ['view', 'canvas'] : ['view']) {
    await page.evaluate(
      (label) => globalThis.openBench.mode?.(label),
      where === 'view' ? 'Просмотр' : 'Редактирование',
    );
    for (let i = 0; i < WARM_UP; i++) {
      await sample(where, 'floor');
      await sample(where, 'app');
    }
    const first = await heldByScheme();

    const samples = { floor: [], app: [], live: [], ratio: [] };
    for (let round = 0; round < rounds; round++) {
      // Alternate which goes first, so a slow spell does not favour either.
      const order = round % 2 ? ['app', 'floor'] : ['floor', 'app'];
      const got = {};
      for (const variant of order) got[variant] = await sample(where, variant);
      samples.floor.push(got.floor.frame);
      samples.app.push(got.app.frame);
      samples.live.push(got.app.live ?? Number.NaN);
      samples.ratio.push(got.app.frame / got.floor.frame);
    }
    const last = await heldByScheme();

    const floor = median(samples.floor);
    const app = median(samples.app);
    console.log(`${TARGET} ${VARIANTS[where].title}, median of ${rounds} samples each`);
    console.log(`  floor, plain DOM to end of frame      ${ms(floor)}`);
    console.log(`  app, click to end of frame            ${ms(app)}`);
    if (where === 'view') {
      console.log(`  app, click to frame with live values  ${ms(median(samples.live))}`);
    }
    console.log(`  app / floor                           ${(app / floor).toFixed(2)}`);
    console.log(`  median of the rounds' own ratios      ${median(samples.ratio).toFixed(2)}`);
    console.log(
      `  all samples: floor ${samples.floor.map((v) => v.toFixed(0)).join(' ')}` +
        ` | app ${samples.app.map((v) => v.toFixed(0)).join(' ')}`,
    );
    const held = ({ heap, nodes }) => `${mb(heap)} JS heap, ${nodes} DOM nodes`;
    console.log(`  held by the open scheme: first ${held(first)}; after the rounds ${held(last)}`);
    if (profile) {
      await profileOpenings(where, 'app');
      await profileOpenings(where, 'floor');
    }
    console.log('');
  }
  console.log(`\nload average at the end ${loadAverage()}`);

  // Self time by function over further openings, from the click to the end of
  // the first frame (a console profile in the page, started and ended exactly
  // there); "(program)" holds the engine's own work (style, layout,
  // paint), "(garbage collector)" the collections.
  async function profileOpenings(where, variant) {
    await cdp.send('Profiler.enable');
    await cdp.send('Profiler.setSamplingInterval', { interval: 100 });
    const self = new Map();
    let total = 0;
    for (let i = 0; i < PROFILED; i++) {
      const finished = new Promise((resolve) =>
        cdp.once('Profiler.consoleProfileFinished', ({ profile: taken }) => resolve(taken)),
      );
      await sample(where, variant, true);
      const taken = await finished;
      const byId = new Map(taken.nodes.map((node) => [node.id, node]));
      const deltas = taken.timeDeltas;
      for (let k = 0; k < taken.samples.length; k++) {
        const { callFrame } = byId.get(taken.samples[k]);
        if (callFrame.functionName === '(idle)') continue;
        const file = callFrame.url.split('/').pop();
        const name = `${callFrame.functionName || '(anonymous)'} ${file}:${callFrame.lineNumber + 1}`;
        const spent = (deltas[k + 1] ?? deltas[k]) / 1000;
        self.set(name, (self.get(name) ?? 0) + spent);
        total += spent;
      }
    }
    await cdp.send('Profiler.disable');
    console.log(
      `\n  profile of ${PROFILED} openings, ${where} ${variant}, to the end of the first frame:`,
    );
    for (const [name, spent] of [...self].sort((a, b) => b[1] - a[1]).slice(0, 25)) {
      const share = ((100 * spent) / total).toFixed(1).padStart(5);
      console.log(`    ${share} %  ${(spent / PROFILED).toFixed(2).padStart(6)} ms  ${name}`);
    }
  }
} finally {
  await bench.close();
}
