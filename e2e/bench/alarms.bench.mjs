// The station's alarms inside the program, on a real mosquitto:
//
//   - at rest: 100 alarms raised one after another, 300 ms apart, each by one
//     value published to the broker; raise-to-banner is the time from the
//     publication (the value's own stamp) to the banner's count of
//     unacknowledged alarms changing in the page (a MutationObserver, on the
//     page's clock, which is this machine's);
//   - a flood: 10,000 hi alarms on 10,000 points (the shared definitions,
//     retained on PREFIX/$alarms, as stations share them), all raised at once
//     by 10,000 values published in one burst; the times from the burst until
//     the banner counts them all and until the journal holds all their
//     records (`corvane-ui --export-journal --from …` on the same file, read
//     beside the running program, every 100 ms);
//   - the summary ("Тревоги") holding the 10,100 rows, scrolled by real mouse
//     wheel input, 100 px a notch, one notch every 16 ms for 4 s; the frame
//     times while it scrolls (requestAnimationFrame intervals in the page).
//
// Usage: xvfb-run -a node e2e/bench/alarms.bench.mjs --host
// CORVANE_UI_EXECUTABLE runs another build. The figures also go to /tmp/perf-alarms.md.
import { execFileSync } from 'node:child_process';
import { mkdtempSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { fileURLToPath } from 'node:url';
import mqtt from 'mqtt';
import { runnerImport } from 'vite';
import { engineLine, loadAverage, machineLine, median, parseArguments } from './common.mjs';
import { launchProgram } from './host.mjs';

const { host } = parseArguments();
if (!host) {
  console.error(
    'The alarm bench measures the program’s own alarms and needs the program:\n' +
      '  xvfb-run -a node e2e/bench/alarms.bench.mjs --host',
  );
  process.exit(2);
}

const PREFIX = 'bench/alarms';
const FLOOD = 10_000;
const REST = 100;
const REST_GAP_MS = 300;
const SCROLL_MS = 4000;
const OUTPUT = '/tmp/perf-alarms.md';

const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));
const fixed = (value, digits = 1) => (Number.isFinite(value) ? value.toFixed(digits) : '—');
function quantile(values, q) {
  if (values.length === 0) return Number.NaN;
  const sorted = Float64Array.from(values).sort();
  return sorted[Math.min(sorted.length - 1, Math.floor(q * sorted.length))];
}

const hiAlarm = (id, pointId, priority, message, area) => ({
  id,
  pointId,
  kind: 'hi',
  limit: 50,
  priority,
  message,
  ...(area ? { area } : {}),
});
const definitions = [];
for (let i = 1; i <= REST; i++) definitions.push(hiAlarm(`rest-${i}`, `rest${i}`, 3, `Покой ${i}`));
for (let i = 1; i <= FLOOD; i++)
  definitions.push(
    hiAlarm(`flood-${i}`, `f${i}`, (i % 4) + 1, `Лавина ${i}`, `Участок ${(i % 10) + 1}`),
  );

/** Put into the page: each change of the banner's unacknowledged count, with its time. */
function installProbe() {
  const changes = [];
  const count = () => {
    const text =
      globalThis.document.querySelector('[data-testid="banner-unacknowledged"]')?.textContent ?? '';
    const found = /(\d+)/.exec(text);
    return found ? Number(found[1]) : 0;
  };
  let last = count();
  const observer = new globalThis.MutationObserver(() => {
    const now = count();
    if (now !== last) {
      last = now;
      changes.push({ count: now, at: performance.timeOrigin + performance.now() });
    }
  });
  observer.observe(globalThis.document.body, {
    subtree: true,
    childList: true,
    characterData: true,
  });
  globalThis.alarmBench = {
    count,
    take() {
      const taken = changes.splice(0);
      return taken;
    },
  };
}

function journalActives(executable, historyFile, from) {
  const csv = execFileSync(
    executable,
    ['--history', historyFile, '--export-journal', '--from', new Date(from).toISOString()],
    { encoding: 'utf8', maxBuffer: 64 * 1024 * 1024 },
  );
  let actives = 0;
  for (const line of csv.split('\n')) if (line.includes(',active,flood-')) actives += 1;
  return actives;
}

const { module: brokers } = await runnerImport(
  fileURLToPath(new URL('../broker.ts', import.meta.url)),
);
const { module: harness } = await runnerImport(
  fileURLToPath(new URL('../host/harness.ts', import.meta.url)),
);
const executable = process.env.CORVANE_UI_EXECUTABLE ?? harness.defaultExecutable;
const folder = mkdtempSync(join(tmpdir(), 'corvane-alarms-bench-'));
const historyFile = join(folder, 'history.sqlite');
let broker;
let program;
let client;
try {
  broker = await brokers.startBroker();
  client = await mqtt.connectAsync(broker.mqttUrl, { reconnectPeriod: 0 });
  await client.publishAsync(`${PREFIX}/$alarms`, JSON.stringify(definitions), {
    retain: true,
    qos: 1,
  });
  const publish = (id, value) =>
    client.publish(`${PREFIX}/${id}`, `{"value":${value},"timestamp":${Date.now()}}`, { qos: 0 });
  // Every point at a normal value first, retained, so that the program starts quiet.
  for (let i = 1; i <= REST; i++)
    client.publish(`${PREFIX}/rest${i}`, '{"value":0}', { qos: 0, retain: true });
  for (let i = 1; i <= FLOOD; i++)
    client.publish(`${PREFIX}/f${i}`, '{"value":0}', { qos: 0, retain: true });

  program = await launchProgram({
    ...(process.env.CORVANE_UI_EXECUTABLE ? { executable } : {}),
    args: [
      '--broker',
      broker.mqttUrl,
      '--topic-prefix',
      PREFIX,
      '--history',
      historyFile,
      '--no-horn',
      '--station',
      'bench',
    ],
  });
  const { page } = program.app;
  page.on('pageerror', (error) => console.error(`page error: ${error.message}`));
  await page.getByRole('status', { name: 'Тревоги' }).waitFor({ timeout: 30_000 });
  await sleep(3000); // the definitions and the quiet values taken
  await page.evaluate(installProbe);
  if ((await page.evaluate(() => globalThis.alarmBench.count())) !== 0)
    throw new Error('alarms were raised before the bench began');

  const engine = await engineLine({ page, program });
  const header = [
    machineLine(),
    `${engine}; mosquitto on loopback; the program's own broker client; ` +
      `${REST + FLOOD} shared definitions; load average ${loadAverage()}`,
  ];
  console.log(`${header.join('\n')}\n`);

  // At rest: one alarm at a time.
  const latencies = [];
  for (let i = 1; i <= REST; i++) {
    const sent = Date.now();
    publish(`rest${i}`, 100);
    const deadline = sent + 5000;
    let seen;
    while (!seen && Date.now() < deadline) {
      await sleep(20);
      seen = (await page.evaluate(() => globalThis.alarmBench.take())).find((c) => c.count >= i);
    }
    if (!seen) throw new Error(`rest-${i} did not reach the banner within 5 s`);
    latencies.push(seen.at - sent);
    await sleep(REST_GAP_MS);
  }

  // The flood: every flood point above its limit in one burst.
  await page.evaluate(() => globalThis.alarmBench.take());
  const burst = Date.now();
  for (let i = 1; i <= FLOOD; i++) publish(`f${i}`, 100);
  const published = Date.now() - burst;
  const total = REST + FLOOD;
  let bannerAt;
  let journalAt;
  let journalPolls = 0;
  while ((!bannerAt || !journalAt) && Date.now() - burst < 60_000) {
    if (!bannerAt) {
      const full = (await page.evaluate(() => globalThis.alarmBench.take())).find(
        (c) => c.count >= total,
      );
      if (full) bannerAt = full.at;
    }
    if (!journalAt) {
      journalPolls += 1;
      if (journalActives(executable, historyFile, burst - 1000) >= FLOOD) journalAt = Date.now();
    }
    await sleep(100);
  }
  if (!bannerAt || !journalAt) throw new Error('the flood was not taken within 60 s');

  // The summary with all of them, scrolled with the mouse wheel.
  await page.getByTestId('nav-alarms').click();
  const grid = page.getByRole('grid', { name: 'Текущие тревоги' });
  await grid.waitFor();
  await page.waitForFunction(
    (rows) =>
      Number(
        globalThis.document
          .querySelector('[role="grid"][aria-label="Текущие тревоги"]')
          ?.getAttribute('aria-rowcount'),
      ) >=
      rows + 1,
    total,
    { timeout: 30_000 },
  );
  const box = await page.locator('.alarm-table__body').first().boundingBox();
  await page.mouse.move(box.x + box.width / 2, box.y + box.height / 2);
  await page.evaluate(() => {
    const frames = [];
    let last = performance.now();
    let running = true;
    const frame = (now) => {
      frames.push(now - last);
      last = now;
      if (running) globalThis.requestAnimationFrame(frame);
    };
    globalThis.requestAnimationFrame(frame);
    globalThis.alarmBench.frames = () => {
      running = false;
      return frames.slice(1);
    };
  });
  const scrollStart = Date.now();
  while (Date.now() - scrollStart < SCROLL_MS) {
    await page.mouse.wheel(0, 100);
    await sleep(16);
  }
  const frames = await page.evaluate(() => globalThis.alarmBench.frames());
  const scrolled = await page.evaluate(
    () => globalThis.document.querySelector('.alarm-table__body')?.scrollTop ?? 0,
  );
  const rendered = await page.evaluate(
    () => globalThis.document.querySelectorAll('.alarm-table__body [role="row"]').length,
  );

  const lines = [
    ...header,
    '',
    '| measure | figure |',
    '|---|---|',
    `| raise-to-banner at rest, ${REST} alarms: p50 / p99 / max | ${fixed(median(latencies))} / ${fixed(quantile(latencies, 0.99))} / ${fixed(Math.max(...latencies))} ms |`,
    `| flood of ${FLOOD}: burst published in | ${published} ms |`,
    `| flood: burst to banner counting all ${total} | ${fixed(bannerAt - burst, 0)} ms |`,
    `| flood: burst to journal holding all ${FLOOD} records | ${fixed(journalAt - burst, 0)} ms (polled every 100 ms plus one export, ${journalPolls} exports) |`,
    `| summary of ${total} rows scrolled by wheel for ${SCROLL_MS / 1000} s: frames | ${frames.length} (${fixed(frames.length / (SCROLL_MS / 1000), 1)} a second) |`,
    `| summary scrolling: frame time p50 / p95 / max | ${fixed(median(frames))} / ${fixed(quantile(frames, 0.95))} / ${fixed(Math.max(...frames))} ms |`,
    `| summary scrolling: scrolled / rows in the document | ${Math.round(scrolled)} px / ${rendered} |`,
  ];
  console.log(lines.slice(header.length).join('\n'));
  writeFileSync(OUTPUT, `${lines.join('\n')}\n`);
  console.error(`written to ${OUTPUT}`);
} finally {
  await client?.endAsync().catch(() => {});
  await program?.app.close();
  await broker?.close();
  rmSync(folder, { recursive: true, force: true });
}
