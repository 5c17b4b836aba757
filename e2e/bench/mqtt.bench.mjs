// Publish-to-screen latency of live values from a broker through the program's
// own plant connection, the highest rate it follows without a growing backlog,
// and what that costs the program's process.
//
// A real mosquitto (the tests' e2e/broker.ts) on free loopback ports; a
// publisher on this machine (mqtt.publisher.mjs, in its own thread) publishing
// to 2000 distinct points at each rate in turn; build/corvane-ui started with
// --broker on that mosquitto and --schemes on a temporary folder holding a
// load scheme of 2000 rectangles bound to those 2000 points, opened in the
// built-in application. The program reads the broker, keeps the values and
// hands the page batches of the newest value per point over the bridge (at
// most one per frame, the next once the page applied the last).
//
// The page is watched where the batches arrive: the transport's onmessage is
// wrapped (the application's handler first), and in the animation frame after
// a batch every good value in it counts with the frame's time less its
// publication stamp. The host keeps stamps in whole milliseconds, so latencies
// read up to 1 ms high. Above what the page is sent per frame values are
// coalesced, so "shown" is below "published"; a backlog would show as latency
// growing through a run and a long drain after it.
//
// The figures of the former client (a shared worker in the page, gone since)
// cannot be measured any more: they are printed beside the new ones from the
// last run recorded with it.
//
// Usage: xvfb-run -a node e2e/bench/mqtt.bench.mjs --host [rates] [seconds]
// rates: comma-separated updates per second (default 2000,10000,50000; while
// the highest is sustained, twice that is tried too, up to 200000; then once
// the rate halfway between the highest kept up with and the next one tried);
// seconds per rate (default 8). CORVANE_UI_EXECUTABLE runs another build of
// the program; the rest of the environment reaches it too (QT_QUICK_BACKEND=
// software draws its window without OpenGL). The figures are also written to
// /tmp/perf-mqtt.md.
import { mkdtempSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { fileURLToPath } from 'node:url';
import { Worker } from 'node:worker_threads';
import { runnerImport } from 'vite';
import { engineLine, loadAverage, machineLine, parseArguments } from './common.mjs';
import { childRunning, cpuSeconds, launchProgram, programShares, programTimes } from './host.mjs';

const { host, rest } = parseArguments();
if (!host) {
  console.error(
    'The broker bench measures the program’s own plant connection and needs the program:\n' +
      '  xvfb-run -a node e2e/bench/mqtt.bench.mjs --host [rates] [seconds]',
  );
  process.exit(2);
}
const rates = (rest[0] ?? '2000,10000,50000').split(',').map(Number);
const seconds = Number(rest[1] ?? 8);
const POINTS = 2000;
const PREFIX = 'bench/points';
const WARM_UP_SECONDS = 1;
const HIGHEST_RATE = 200_000;
const OUTPUT = '/tmp/perf-mqtt.md';
const SCHEME_FILE = 'mqtt-bench.json';

// The former client, a shared worker in the page, inside the program
// (Chrome/102.0.5005.177, QtWebEngine/6.4.2), 6 s per rate: docs/performance.md
// as of 1cef74d, measured 2026-12-10. Shown and deliveries per second, p50,
// p99, p50 of the first and second half, drain (NaN: the last value was
// dropped), whether it kept up.
const WORKER_SOURCE = 'shared worker in the page, measured 2026-12-10 (1cef74d), 6 s per rate';
const WORKER = new Map([
  [
    2000,
    {
      shown: 2002,
      frames: 58.8,
      p50: 22.7,
      p99: 78.1,
      early: 22.6,
      late: 22.8,
      drain: 21.9,
      sustained: true,
    },
  ],
  [
    10000,
    {
      shown: 11236,
      frames: 40.3,
      p50: 45.0,
      p99: 133.9,
      early: 47.1,
      late: 42.7,
      drain: 49.5,
      sustained: true,
    },
  ],
  [
    50000,
    {
      shown: 9000,
      frames: 4.5,
      p50: 1810.1,
      p99: 2807.3,
      early: 1101.7,
      late: 2273.9,
      drain: Number.NaN,
      sustained: false,
    },
  ],
]);

function quantile(values, q) {
  if (values.length === 0) return Number.NaN;
  const sorted = Float64Array.from(values).sort();
  return sorted[Math.min(sorted.length - 1, Math.floor(q * sorted.length))];
}

const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));
const ms = (value) => (Number.isFinite(value) ? `${value.toFixed(1)} ms` : '—');
const fixed = (value, digits = 0) => (Number.isFinite(value) ? value.toFixed(digits) : '—');
const yesNo = (value) => (value === undefined ? '—' : value ? 'yes' : 'no');

/** Busy and total jiffies of the whole machine so far (/proc/stat). */
function machineTicks() {
  const fields = readFileSync('/proc/stat', 'utf8').split('\n')[0].trim().split(/\s+/).slice(1);
  const ticks = fields.map(Number);
  const total = ticks.reduce((sum, tick) => sum + tick, 0);
  return { idle: ticks[3] + (ticks[4] ?? 0), total };
}

function startPublisher(url) {
  const worker = new Worker(new URL('./mqtt.publisher.mjs', import.meta.url), {
    workerData: { url, prefix: PREFIX, points: POINTS },
  });
  const answers = [];
  const waiters = [];
  worker.on('message', (message) => {
    const waiter = waiters.shift();
    if (waiter) waiter(message);
    else answers.push(message);
  });
  const next = () =>
    answers.length > 0
      ? Promise.resolve(answers.shift())
      : new Promise((resolve) => waiters.push(resolve));
  return {
    ready: next(),
    async run(rate, duration) {
      worker.postMessage({ rate, seconds: duration });
      return next();
    },
    close: () => worker.terminate(),
  };
}

/**
 * Put into the page: watches the bridge's messages for the plant's batches and
 * records, in the next animation frame, each good value's age. `take()` hands
 * over what was recorded since the last call.
 */
function installProbe() {
  const transport = globalThis.qt?.webChannelTransport;
  if (!transport || typeof transport.onmessage !== 'function') {
    throw new Error('the page has no open WebChannel transport');
  }
  const original = transport.onmessage;
  const SIGNAL = 1;
  let latencies = [];
  let values = 0;
  let deliveries = 0;
  let newest = 0;
  let newestShown = 0;
  let inPage = [];
  let turns = [];
  let lastFrame = 0;
  let signal = -1;
  let arrived = [];
  const now = () => performance.timeOrigin + performance.now();
  const frame = () => {
    const shown = now();
    lastFrame = shown;
    const batches = arrived;
    arrived = [];
    for (const { text, at } of batches) {
      deliveries += 1;
      for (const [, , status, timestamp] of JSON.parse(text)) {
        if (status !== 'good') continue;
        values += 1;
        latencies.push(shown - timestamp);
        inPage.push(shown - at);
        if (timestamp > newest) {
          newest = timestamp;
          newestShown = shown;
        }
      }
    }
  };
  transport.onmessage = function (message) {
    const at = now();
    original.call(this, message);
    let data = message.data;
    if (typeof data === 'string') {
      // Only signals matter, and only the plant's: skip the rest unparsed.
      if (!data.includes('"plant"')) return;
      data = JSON.parse(data);
    }
    if (data?.type !== SIGNAL || data.object !== 'plant') return;
    // The plant's one signal with text: its batches.
    const batch = Array.isArray(data.args) ? data.args[0] : undefined;
    if (typeof batch !== 'string') return;
    signal = data.signal;
    // The host's turn: from the frame that applied the last batch to this one.
    if (lastFrame > 0 && arrived.length === 0) turns.push(at - lastFrame);
    if (arrived.length === 0) globalThis.requestAnimationFrame(frame);
    arrived.push({ text: batch, at });
  };
  globalThis.mqttBench = {
    take() {
      const taken = { latencies, inPage, turns, values, deliveries, newest, newestShown, signal };
      latencies = [];
      inPage = [];
      turns = [];
      values = 0;
      deliveries = 0;
      return taken;
    },
  };
}

/** The load scheme of 2000 rectangles on p1…p2000, as a scheme file of its own. */
async function writeScheme(folder) {
  const { module: load } = await runnerImport(
    fileURLToPath(new URL('../../webapp/content/load.ts', import.meta.url)),
  );
  const scheme = load.generateLoadScheme(POINTS, POINTS);
  scheme.id = 'mqtt-bench';
  scheme.name = 'Нагрузка MQTT 2000';
  scheme.elements.forEach((element, index) => {
    element.pointId = `p${(index % POINTS) + 1}`;
  });
  writeFileSync(join(folder, SCHEME_FILE), JSON.stringify(scheme));
  return scheme;
}

const { module: brokers } = await runnerImport(
  fileURLToPath(new URL('../broker.ts', import.meta.url)),
);
const folder = mkdtempSync(join(tmpdir(), 'corvane-mqtt-bench-'));
let broker;
let program;
let publisher;
try {
  const scheme = await writeScheme(folder);
  broker = await brokers.startBroker();
  const mosquittoPid = childRunning(brokers.MOSQUITTO);
  const executable = process.env.CORVANE_UI_EXECUTABLE;
  program = await launchProgram({
    ...(executable ? { executable } : {}),
    args: ['--broker', broker.mqttUrl, '--topic-prefix', PREFIX, '--schemes', folder],
  });
  const { page } = program.app;
  page.on('pageerror', (error) => console.error(`page error: ${error.message}`));
  const browserSession = await program.app.browser.newBrowserCDPSession();

  await page.waitForSelector(`[data-testid="scheme-file:${SCHEME_FILE}"]`, { timeout: 30_000 });
  await page.getByTestId(`scheme-file:${SCHEME_FILE}`).click();
  await page.waitForFunction(
    ({ name, count }) =>
      globalThis.document.querySelector('[data-testid="scheme-title"]')?.textContent === name &&
      globalThis.document.querySelectorAll('[data-testid="runtime"] [data-element-id]').length >=
        count,
    { name: scheme.name, count: POINTS },
    { timeout: 30_000 },
  );
  await page.evaluate(installProbe);

  publisher = startPublisher(broker.mqttUrl);
  await publisher.ready;
  // Until the program is online and follows the scheme's points: a short run
  // whose values must reach the page.
  let signal = -1;
  for (let tries = 0; signal < 0; tries += 1) {
    if (tries === 20) throw new Error(`no value reached the page:\n${program.app.output()}`);
    await publisher.run(POINTS, 1);
    await sleep(300);
    const taken = await page.evaluate(() => globalThis.mqttBench.take());
    if (taken.values > 0) signal = taken.signal;
  }

  const engine = await engineLine({ page, program });
  const backend = process.env.QT_QUICK_BACKEND;
  const drawing = backend ? `QT_QUICK_BACKEND=${backend}` : 'OpenGL';
  const header = [
    machineLine(),
    `${engine}; mosquitto on loopback; the program's own broker client (--broker mqtt://); ` +
      `${POINTS} rectangles bound to ${POINTS} points (batches: signal ${signal} of plant); ` +
      `window drawn with ${drawing}; ` +
      `${seconds} s per rate ` +
      `(first ${WARM_UP_SECONDS} s not counted); load average ${loadAverage()}`,
    `Worker (before): ${WORKER_SOURCE}.`,
  ];
  console.log(`${header.join('\n')}\n`);

  const snapshot = async () => ({
    at: performance.now() / 1000,
    times: await programTimes(program.pid, browserSession),
    mosquitto: cpuSeconds(mosquittoPid),
    bench: process.cpuUsage(),
    machine: machineTicks(),
  });
  /** CPU % of one core of each part between two snapshots. */
  const cpuShares = (before, after) => {
    const wall = after.at - before.at;
    const benchSeconds =
      (after.bench.user + after.bench.system - before.bench.user - before.bench.system) / 1e6;
    return {
      wall,
      ...programShares(before.times, after.times, wall),
      mosquitto: (100 * (after.mosquitto - before.mosquitto)) / wall,
      bench: (100 * benchSeconds) / wall,
      idle:
        (100 * (after.machine.idle - before.machine.idle)) /
        (after.machine.total - before.machine.total),
    };
  };
  const cpuLine = (cpu) =>
    `program ${fixed(cpu.program)} % (GUI thread ${fixed(cpu.guiThread)} %, broker client ` +
    `${fixed(cpu.brokerClient)} %, llvmpipe ${fixed(cpu.softwareGl)} %), renderers ` +
    `${fixed(cpu.renderer)} %, mosquitto ${fixed(cpu.mosquitto)} %, bench ${fixed(cpu.bench)} %, ` +
    `machine idle ${fixed(cpu.idle)} %`;

  // The program with the scheme open and no values coming.
  await sleep(1000);
  const quietStart = await snapshot();
  await sleep(3000);
  const quiet = cpuShares(quietStart, await snapshot());
  console.log(`no values: ${cpuLine(quiet)}`);

  const rows = [];
  const runRate = async (rate) => {
    await page.evaluate(() => globalThis.mqttBench.take());
    const running = publisher.run(rate, seconds);
    const perSecond = [];
    const inPagePerSecond = [];
    const turnsPerSecond = [];
    let shownValues = 0;
    let frames = 0;
    let cpuBefore;
    let cpuAfter;
    const started = Date.now();
    while (Date.now() - started < (seconds - 0.5) * 1000) {
      await sleep(1000);
      const taken = await page.evaluate(() => globalThis.mqttBench.take());
      perSecond.push(taken.latencies);
      inPagePerSecond.push(taken.inPage);
      turnsPerSecond.push(taken.turns);
      const now = await snapshot();
      if (perSecond.length === WARM_UP_SECONDS) cpuBefore = now;
      if (perSecond.length > WARM_UP_SECONDS) {
        shownValues += taken.values;
        frames += taken.deliveries;
        cpuAfter = now;
      }
    }
    const published = await running;
    // Drain: from the last publication to the frame that showed it (the host
    // keeps the stamp in whole milliseconds).
    const last = Math.floor(published.newest);
    let drain = Number.NaN;
    for (let waited = 0; waited < 10_000; waited += 20) {
      const taken = await page.evaluate(() => globalThis.mqttBench.take());
      if (taken.newest >= last) {
        drain = taken.newestShown - published.newest;
        break;
      }
      await sleep(20);
    }
    const counted = perSecond.slice(WARM_UP_SECONDS);
    const all = counted.flat();
    // Each value's age when its batch reached the page, and from there to its frame.
    const inPage = inPagePerSecond.slice(WARM_UP_SECONDS).flat();
    const toPage = all.map((latency, index) => latency - inPage[index]);
    const half = Math.floor(counted.length / 2);
    const cpu = cpuShares(cpuBefore, cpuAfter);
    const achieved = published.sent / published.seconds;
    const row = {
      rate,
      achieved,
      queued: published.queued,
      shown: shownValues / cpu.wall,
      frames: frames / cpu.wall,
      p50: quantile(all, 0.5),
      p99: quantile(all, 0.99),
      early: quantile(counted.slice(0, half).flat(), 0.5),
      late: quantile(counted.slice(half).flat(), 0.5),
      drain,
      toPage50: quantile(toPage, 0.5),
      toPage99: quantile(toPage, 0.99),
      inPage50: quantile(inPage, 0.5),
      inPage99: quantile(inPage, 0.99),
      turn50: quantile(turnsPerSecond.slice(WARM_UP_SECONDS).flat(), 0.5),
      cpu,
      perTenThousand: cpu.program / (achieved / 10_000),
    };
    row.sustained = row.achieved >= 0.95 * rate && row.late - row.early < 50 && row.drain < 500;
    rows.push(row);
    const before = WORKER.get(rate);
    console.log(
      `${rate}/s: published ${fixed(row.achieved)}/s (at most ${fixed(row.queued / 1024)} KiB ` +
        `waiting in the publisher), shown ${fixed(row.shown)} values/s in ` +
        `${fixed(row.frames, 1)} deliveries/s; latency p50 ${ms(row.p50)}, p99 ${ms(row.p99)}; ` +
        `p50 first half ${ms(row.early)}, second half ${ms(row.late)}; drain ${ms(row.drain)}` +
        `${row.sustained ? '' : '  (not sustained)'}\n` +
        `  publication to page p50 ${ms(row.toPage50)}, p99 ${ms(row.toPage99)}; ` +
        `page to frame p50 ${ms(row.inPage50)}, p99 ${ms(row.inPage99)}; ` +
        `frame to next batch p50 ${ms(row.turn50)}\n` +
        `  CPU: ${cpuLine(row.cpu)}; program ${fixed(row.perTenThousand, 1)} % per 10,000/s` +
        (before
          ? `\n  worker (before): p50 ${ms(before.p50)}, p99 ${ms(before.p99)}, ` +
            `shown ${before.shown}/s, ${yesNo(before.sustained)}`
          : ''),
    );
    await sleep(1000);
  };

  for (const rate of rates) await runRate(rate);
  for (
    let rate = Math.max(...rates) * 2;
    rate <= HIGHEST_RATE && rows.find((row) => row.rate === rate / 2)?.sustained;
    rate *= 2
  ) {
    await runRate(rate);
  }
  // Between the highest rate kept up with and the next one tried, once.
  const kept = Math.max(0, ...rows.filter((row) => row.sustained).map((row) => row.rate));
  const missed = Math.min(...rows.filter((row) => row.rate > kept).map((row) => row.rate));
  if (kept > 0 && Number.isFinite(missed) && missed > 1.5 * kept) {
    await runRate(Math.round((kept + missed) / 2 / 1000) * 1000);
  }
  rows.sort((a, b) => a.rate - b.rate);

  const sustained = rows.filter((row) => row.sustained).map((row) => row.rate);
  const pair = (row, key, format) => {
    const before = WORKER.get(row.rate)?.[key];
    return `${before === undefined ? '—' : format(before)} | ${format(row[key])}`;
  };
  const halves = (figures) => `${ms(figures.early)} → ${ms(figures.late)}`;
  const comparison = [
    '| Asked (values/s) | Published | Shown/s: worker (before) | host (now) | Deliveries/s: before | now | ' +
      'p50: before | now | p99: before | now | p50 1st → 2nd half: before | now | ' +
      'Drain: before | now | Without backlog: before | now |',
    `|${'---|'.repeat(16)}`,
    ...rows.map((row) => {
      const before = WORKER.get(row.rate);
      return (
        `| ${row.rate} | ${fixed(row.achieved)} | ${pair(row, 'shown', fixed)} | ` +
        `${pair(row, 'frames', (value) => fixed(value, 1))} | ${pair(row, 'p50', ms)} | ` +
        `${pair(row, 'p99', ms)} | ${before ? halves(before) : '—'} | ${halves(row)} | ` +
        `${pair(row, 'drain', ms)} | ${pair(row, 'sustained', yesNo)} |`
      );
    }),
  ];
  const where = [
    '| Asked (values/s) | Publication → page: p50 | p99 | Page → frame: p50 | p99 | Frame → next batch: p50 | ms per delivery | Publisher queue, most |',
    `|${'---|'.repeat(8)}`,
    ...rows.map(
      (row) =>
        `| ${row.rate} | ${ms(row.toPage50)} | ${ms(row.toPage99)} | ${ms(row.inPage50)} | ` +
        `${ms(row.inPage99)} | ${ms(row.turn50)} | ${ms(1000 / row.frames)} | ${fixed(row.queued / 1024)} KiB |`,
    ),
  ];
  const cpuRow = (label, cpu, perTenThousand) =>
    `| ${label} | ${fixed(cpu.program)} % | ${perTenThousand} | ${fixed(cpu.guiThread)} % | ` +
    `${fixed(cpu.brokerClient)} % | ${fixed(cpu.softwareGl)} % | ${fixed(cpu.renderer)} % | ` +
    `${fixed(cpu.mosquitto)} % | ${fixed(cpu.bench)} % | ${fixed(cpu.idle)} % |`;
  const cpu = [
    '| Asked (values/s) | Program (own process) | Program per 10,000 messages/s | of it: GUI thread | ' +
      'broker client | llvmpipe | Renderers | mosquitto | Bench (publisher, driver) | Machine idle |',
    `|${'---|'.repeat(10)}`,
    cpuRow('none (scheme open)', quiet, '—'),
    ...rows.map((row) => cpuRow(String(row.rate), row.cpu, `${fixed(row.perTenThousand, 1)} %`)),
  ];
  const aims = [10_000, 50_000].map((rate) => {
    const row = rows.find((candidate) => candidate.rate === rate);
    if (!row) return `${rate}/s: not run.`;
    const limit = rate === 10_000 ? 50 : 100;
    const met = row.sustained && row.p99 < limit;
    return `${rate}/s sustained with p99 < ${limit} ms: ${met ? 'met' : 'not met'} (p99 ${ms(row.p99)}).`;
  });
  const summary = [
    `Highest rate followed without a growing backlog: ${
      sustained.length > 0 ? `${Math.max(...sustained)} values/s` : 'none of the rates tried'
    }.`,
    ...aims,
  ];
  console.log(`\n${summary.join('\n')}`);
  writeFileSync(
    OUTPUT,
    `# Live values from a broker\n\n${header.join('\n\n')}\n\n${comparison.join('\n')}\n\n` +
      `Where a value's time goes (host now):\n\n${where.join('\n')}\n\n` +
      `CPU, % of one core over the counted seconds (host now):\n\n${cpu.join('\n')}\n\n` +
      `${summary.join('\n\n')}\n`,
  );
  console.log(`figures written to ${OUTPUT}`);
} finally {
  await publisher?.close();
  await program?.app.close();
  await broker?.close();
  rmSync(folder, { recursive: true, force: true });
}
