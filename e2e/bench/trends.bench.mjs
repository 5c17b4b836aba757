// The trends view inside the program, on a real week of history:
//
//   - a station file of 8 points at 1 Hz over 7 days (4.8 M samples), written
//     by `bench_history --generate` through the station's own database classes
//     and ending now, so that "7 сут" shows all of it;
//   - the program started on it (`--history <file>`, a fresh data folder so
//     that no saved pens or range come along), "Тренды" opened and 8 pens added
//     through "Добавить точку";
//   - click to drawn: a real mouse click on "7 сут" (or "1 ч", taking turns)
//     to the chart's first uPlot drawing after the host's answer was taken by
//     the feed (the marks "trends-answer" and "trends-drawn" of TrendChart),
//     from the click event's time stamp; the median of the clicks;
//   - the host's time alone for the same 7-day request: `bench_history
//     --query` on the same file, after the program has closed it;
//   - live: the renderer's CPU while the 8 pens follow the emulator (at "1 ч"
//     and at "7 сут"), against the trends view without pens, taking turns
//     round after round; from /proc (user + system of the renderer processes,
//     as animation.bench.mjs) and the page's main thread (TaskDuration).
//
// Usage: scripts/build.sh && xvfb-run -a node e2e/bench/trends.bench.mjs [clicks] [seconds] [rounds]
//        (clicks of each range, default 7; seconds of each live turn, default 20; rounds, default 2)
import { execFileSync } from 'node:child_process';
import { existsSync, mkdtempSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { fileURLToPath } from 'node:url';
import { loadAverage, machineLine, median, pageSize, parseArguments } from './common.mjs';
import { engineOf, launchProgram, programShares, programTimes } from './host.mjs';

const { rest } = parseArguments();
const clicks = Number(rest[0] ?? 7);
const seconds = Number(rest[1] ?? 20);
const rounds = Number(rest[2] ?? 2);

const benchHistory = fileURLToPath(
  new URL('../../build/host/bench/bench_history', import.meta.url),
);
if (!existsSync(benchHistory)) throw new Error(`${benchHistory} is missing: run scripts/build.sh`);

// Eight analog points of the emulator, so that live values follow the week.
const PENS = ['LT-101', 'LT-102', 'PT-102', 'FT-103', 'ST-201', 'TE-202', 'PT-203', 'GE-204'];
const DAYS = 7;
const WEEK = DAYS * 24 * 60 * 60 * 1000;
const SAMPLES_PER_PIXEL = 4; // as TrendChart asks

const folder = mkdtempSync(join(tmpdir(), 'corvane-trends-bench-'));
const historyFile = join(folder, 'history.sqlite');

function generate() {
  const started = Date.now();
  const output = execFileSync(benchHistory, [
    '--generate',
    historyFile,
    '--points',
    PENS.join(','),
    '--days',
    String(DAYS),
  ]);
  console.error(`generated in ${((Date.now() - started) / 1000).toFixed(1)} s: ${output}`);
  return String(output).trim();
}

async function openTrends(page) {
  await page.waitForFunction(() =>
    globalThis.document.querySelector('[data-testid="runtime"] svg'),
  );
  await page.getByTestId('nav-trends').click();
  await page.locator('section.trends[aria-label="Тренды"]:not([aria-busy])').waitFor();
}

const region = (page) => page.getByRole('region', { name: 'Тренды' });

async function addPens(page) {
  const search = page.getByRole('searchbox', { name: 'Добавить точку' });
  for (const id of PENS) {
    await search.fill(id);
    await region(page).getByRole('list', { name: 'Найденные точки' }).waitFor();
    await search.press('Enter');
    await page.locator(`.trends__pen[data-pen="${id}"]`).waitFor();
  }
}

async function removePens(page) {
  for (const id of PENS) {
    await page.getByRole('button', { name: `Убрать ${id}` }).click();
    await page.locator(`.trends__pen[data-pen="${id}"]`).waitFor({ state: 'detached' });
  }
}

function rangeButton(page, label) {
  return region(page).getByRole('group', { name: 'Диапазон' }).getByRole('button', { name: label });
}

/** Remembers each click's event time stamp and wall time in the page. */
function watchClicks(page) {
  return page.evaluate(() => {
    globalThis.document.addEventListener(
      'click',
      (event) => {
        globalThis.benchClick = { at: event.timeStamp, now: Date.now() };
      },
      true,
    );
  });
}

/** One click on a range: ms from the click to the answer taken and to its drawing. */
async function clickRange(page, label) {
  await rangeButton(page, label).click();
  const marks = await page.waitForFunction(
    () => {
      const click = globalThis.benchClick;
      const last = (name) => globalThis.performance.getEntriesByName(name).at(-1)?.startTime;
      const answer = last('trends-answer');
      const drawn = last('trends-drawn');
      if (!click || !(answer > click.at) || !(drawn > answer)) return undefined;
      return { answer: answer - click.at, drawn: drawn - click.at, now: click.now };
    },
    undefined,
    { timeout: 30_000 },
  );
  return marks.jsonValue();
}

async function pageMetrics(pageSession) {
  const { metrics } = await pageSession.send('Performance.getMetrics');
  return metrics.find((metric) => metric.name === 'TaskDuration')?.value ?? Number.NaN;
}

async function measureLive(program, page, browserSession) {
  const pageSession = await page.context().newCDPSession(page);
  try {
    await pageSession.send('Performance.enable', { timeDomain: 'threadTicks' });
    await page.waitForTimeout(2000); // settle after the change
    const before = await programTimes(program.pid, browserSession);
    const taskBefore = await pageMetrics(pageSession);
    const started = process.hrtime.bigint();
    await page.waitForTimeout(seconds * 1000);
    const wall = Number(process.hrtime.bigint() - started) / 1e9;
    const after = await programTimes(program.pid, browserSession);
    const taskAfter = await pageMetrics(pageSession);
    return {
      ...programShares(before, after, wall),
      mainThread: (100 * (taskAfter - taskBefore)) / wall,
    };
  } finally {
    await pageSession.detach().catch(() => undefined);
  }
}

function hostQuery(request) {
  return String(
    execFileSync(benchHistory, [
      '--query',
      historyFile,
      '--points',
      PENS.join(','),
      '--from',
      String(request.from),
      '--to',
      String(request.to),
      '--max-points',
      String(request.maxPoints),
      '--rounds',
      '11',
    ]),
  ).trim();
}

const format = (ms) => `${ms.toFixed(0)} ms`;

let program;
try {
  const generated = generate();
  program = await launchProgram({
    args: ['--history', historyFile],
    env: { XDG_DATA_HOME: join(folder, 'data') },
  });
  const { page } = program.app;
  page.on('pageerror', (error) => console.error(`page error: ${error.message}`));
  const browserSession = await program.app.browser.newBrowserCDPSession();
  await openTrends(page);
  await watchClicks(page);
  const width = await page.getByTestId('trend-chart').evaluate((node) => node.clientWidth);
  const maxPoints = Math.max(100, Math.round(width * SAMPLES_PER_PIXEL));

  console.log(machineLine());
  console.log(
    `${await engineOf(page)} in build/corvane-ui, page ${await pageSize(page)}, chart ${width} px ` +
      `wide (maxPoints ${maxPoints}), load average ${loadAverage()}`,
  );
  console.log(`history: ${generated}\n`);

  // Click to drawn, the ranges taking turns.
  await addPens(page);
  await page.waitForTimeout(2000);
  const times = { '7 сут': [], '1 ч': [] };
  let weekRequest;
  for (let i = 0; i < clicks; i += 1) {
    for (const label of ['7 сут', '1 ч']) {
      const figures = await clickRange(page, label);
      times[label].push(figures);
      if (label === '7 сут') weekRequest = { from: figures.now - WEEK, to: figures.now, maxPoints };
      console.error(`${label}: ${JSON.stringify(figures)}`);
      await page.waitForTimeout(1500);
    }
  }

  // Live: no pens, 8 pens at "1 ч", 8 pens at "7 сут", round after round.
  const live = { 'no pens': [], '8 pens, 1 ч': [], '8 pens, 7 сут': [] };
  for (let round = 1; round <= rounds; round += 1) {
    await rangeButton(page, '1 ч').click();
    live['8 pens, 1 ч'].push(await measureLive(program, page, browserSession));
    await clickRange(page, '7 сут');
    live['8 pens, 7 сут'].push(await measureLive(program, page, browserSession));
    await rangeButton(page, '1 ч').click();
    await removePens(page);
    live['no pens'].push(await measureLive(program, page, browserSession));
    await addPens(page);
    for (const [variant, runs] of Object.entries(live)) {
      console.error(`round ${round} ${variant}: ${JSON.stringify(runs.at(-1))}`);
    }
  }
  await program.app.close();
  program = undefined;
  const query = hostQuery(weekRequest);

  console.log(
    `click on a range to the chart drawn, 8 pens, median of ${clicks} clicks each, ranges taking turns:`,
  );
  for (const [label, runs] of Object.entries(times)) {
    const aim = label === '7 сут' ? ' (aim: <= 500 ms)' : '';
    console.log(
      `  "${label}": drawn ${format(median(runs.map((run) => run.drawn)))}${aim}, answer taken ` +
        `${format(median(runs.map((run) => run.answer)))}; drawn min ` +
        `${format(Math.min(...runs.map((run) => run.drawn)))}, max ` +
        `${format(Math.max(...runs.map((run) => run.drawn)))}`,
    );
  }
  console.log(`  the same 7-day request in the host alone (bench_history --query): ${query}`);

  const columns = ['renderer', 'mainThread', 'program', 'all'];
  console.log(
    `\nlive, CPU share in % of one core, median of ${rounds} rounds of ${seconds} s ` +
      `(aim: 8 pens <= 1 % of a core more than none in the renderer; renderer, program and ` +
      `all from /proc: renderer processes, corvane-ui's own process, its whole tree; ` +
      `mainThread: the page's TaskDuration)\n`,
  );
  console.log(['variant', ...columns].map((name) => name.padStart(15)).join(''));
  for (const [variant, runs] of Object.entries(live)) {
    const row = columns.map((column) => median(runs.map((run) => run[column])).toFixed(2));
    console.log([variant, ...row].map((cell) => cell.padStart(15)).join(''));
  }
  console.log(`\nload average at the end ${loadAverage()}`);
} finally {
  await program?.app.close();
  rmSync(folder, { recursive: true, force: true });
}
