// Publish-to-screen latency of live values from a broker, and the highest
// rate the station follows without a growing backlog. A real mosquitto (the
// tests' e2e/broker.ts) on free loopback ports; a publisher on this machine
// (mqtt.publisher.mjs, in its own thread) publishing to 2000 distinct points
// at each rate in turn; in the browser, a load scheme of 2000 rectangles bound
// to those 2000 points through the application's broker data source, its
// shared worker and its binder (mqtt.page.tsx). A value's latency runs from
// its publication to the first animation frame after the binder wrote it.
// Above what the station can show, values are coalesced (the newest per
// point), so "shown" is below "published"; a backlog would show as latency
// growing through a run and a long drain after it.
//
// Usage: node e2e/bench/mqtt.bench.mjs [rates] [seconds]
//        xvfb-run -a node e2e/bench/mqtt.bench.mjs --host [rates] [seconds]
// rates: comma-separated updates per second (default 2000,10000,50000);
// seconds per rate (default 8). With --host the page runs inside the desktop
// program (build/corvane-ui), served from 127.0.0.1 and told the broker in its
// address. The figures are also written to /tmp/perf-mqtt.md.
import { writeFileSync } from 'node:fs';
import { fileURLToPath } from 'node:url';
import { Worker } from 'node:worker_threads';
import { runnerImport } from 'vite';
import {
  engineLine,
  loadAverage,
  machineLine,
  openPage,
  parseArguments,
  servePage,
} from './common.mjs';

const { host, rest } = parseArguments();
const rates = (rest[0] ?? '2000,10000,50000').split(',').map(Number);
const seconds = Number(rest[1] ?? 8);
const POINTS = 2000;
const PREFIX = 'bench/points';
const WARM_UP_SECONDS = 1;
const OUTPUT = '/tmp/perf-mqtt.md';

function quantile(values, q) {
  if (values.length === 0) return NaN;
  const sorted = Float64Array.from(values).sort();
  return sorted[Math.min(sorted.length - 1, Math.floor(q * sorted.length))];
}

const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));
const ms = (value) => (Number.isFinite(value) ? `${value.toFixed(1)} ms` : '—');

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

const { module: brokers } = await runnerImport(
  fileURLToPath(new URL('../broker.ts', import.meta.url)),
);
let broker;
let served;
let opened;
let publisher;
try {
  broker = await brokers.startBroker();
  served = await servePage('mqtt');
  opened = await openPage(host);
  const { page } = opened;
  page.on('pageerror', (error) => console.error(`page error: ${error.message}`));
  const query = `?broker=${encodeURIComponent(broker.wsUrl)}&topic-prefix=${encodeURIComponent(PREFIX)}`;
  await page.goto(`${served.url}${query}`);
  await page.waitForFunction(
    (n) => 'mqttBench' in globalThis && globalThis.mqttBench.bound() === n,
    POINTS,
    { timeout: 30_000 },
  );
  await page.waitForFunction(() => globalThis.mqttBench.take().state === 'online', null, {
    timeout: 30_000,
  });
  publisher = startPublisher(broker.mqttUrl);
  await publisher.ready;

  const engine = await engineLine(opened);
  const header = [
    machineLine(),
    `${engine}; mosquitto on loopback; ${POINTS} rectangles bound to ${POINTS} points;` +
      ` ${seconds} s per rate (first ${WARM_UP_SECONDS} s not counted); load average ${loadAverage()}`,
  ];
  console.log(`${header.join('\n')}\n`);

  const rows = [];
  for (const rate of rates) {
    await page.evaluate(() => globalThis.mqttBench.take());
    const running = publisher.run(rate, seconds);
    const perSecond = [];
    let shownValues = 0;
    let frames = 0;
    const started = Date.now();
    while (Date.now() - started < (seconds - 0.5) * 1000) {
      await sleep(1000);
      const taken = await page.evaluate(() => globalThis.mqttBench.take());
      perSecond.push(taken.latencies);
      if (perSecond.length > WARM_UP_SECONDS) {
        shownValues += taken.values;
        frames += taken.deliveries;
      }
    }
    const published = await running;
    // Drain: from the last publication to the frame that showed it.
    let drain = NaN;
    for (let waited = 0; waited < 10_000; waited += 20) {
      const taken = await page.evaluate(() => globalThis.mqttBench.take());
      if (taken.newest >= published.newest) {
        drain = taken.newestShown - published.newest;
        break;
      }
      await sleep(20);
    }
    const counted = perSecond.slice(WARM_UP_SECONDS);
    const all = counted.flat();
    const half = Math.floor(counted.length / 2);
    const early = quantile(counted.slice(0, half).flat(), 0.5);
    const late = quantile(counted.slice(half).flat(), 0.5);
    const span = counted.length;
    const row = {
      rate,
      achieved: published.sent / published.seconds,
      shown: shownValues / span,
      frames: frames / span,
      p50: quantile(all, 0.5),
      p99: quantile(all, 0.99),
      early,
      late,
      drain,
    };
    row.sustained = row.achieved >= 0.95 * rate && late - early < 50 && drain < 500;
    rows.push(row);
    console.log(
      `${rate}/s: published ${row.achieved.toFixed(0)}/s, shown ${row.shown.toFixed(0)} values/s in ` +
        `${row.frames.toFixed(1)} deliveries/s; latency p50 ${ms(row.p50)}, p99 ${ms(row.p99)}; ` +
        `p50 first half ${ms(early)}, second half ${ms(late)}; drain ${ms(drain)}` +
        `${row.sustained ? '' : '  (not sustained)'}`,
    );
    await sleep(1000);
  }

  const sustained = rows.filter((row) => row.sustained).map((row) => row.rate);
  const table = [
    '| Asked (values/s) | Published | Shown (values/s) | Deliveries/s | p50 | p99 | p50 1st half → 2nd half | Drain | Without backlog |',
    '|---|---|---|---|---|---|---|---|---|',
    ...rows.map(
      (row) =>
        `| ${row.rate} | ${row.achieved.toFixed(0)} | ${row.shown.toFixed(0)} | ${row.frames.toFixed(1)} | ` +
        `${ms(row.p50)} | ${ms(row.p99)} | ${ms(row.early)} → ${ms(row.late)} | ${ms(row.drain)} | ` +
        `${row.sustained ? 'yes' : 'no'} |`,
    ),
  ];
  const summary = `Highest rate followed without a growing backlog: ${
    sustained.length > 0 ? `${Math.max(...sustained)} values/s` : 'none of the rates tried'
  }.`;
  console.log(`\n${summary}`);
  writeFileSync(
    OUTPUT,
    `# Live values from a broker\n\n${header.join('\n\n')}\n\n${table.join('\n')}\n\n${summary}\n`,
  );
  console.log(`figures written to ${OUTPUT}`);
} finally {
  await publisher?.close();
  await opened?.close();
  served?.close();
  await broker?.close();
}
