// CPU cost of the blink and flow markers in Chromium: a scheme the size of the
// pump station (960 × 560, six blinking lamps, eight flowing pipes among its
// static elements) is shown for a while in each variant, and the CPU time the
// browser's processes spent meanwhile is printed side by side:
//
//   still    - the same scheme without marker classes;
//   idle     - still, but with the marker clock ticking (a scheme with
//              nothing marked at the moment);
//   clock    - the marker classes with the built stylesheet and one marker clock
//              (what the application does);
//   perframe - for comparison, the classes animated by free-running CSS
//              animations (blink in steps, dashes gliding every frame).
//
// Usage: npx vite build && node e2e/bench/animation.bench.mjs [seconds] [rounds]
//        xvfb-run -a node e2e/bench/animation.bench.mjs --host [seconds] [rounds]
//
// With --host the variants run inside the desktop program (build/corvane-ui,
// QtWebEngine's Chromium, its window as the program opens it), served from
// 127.0.0.1, and three more take their turns, the program's own built-in page
// with the emulator running:
//
//   pump         - "Насосная станция", the scheme the program opens on, as shipped;
//   pump-reduced - the same with prefers-reduced-motion: reduce emulated, so
//                  the markers stand still (the clock still ticks);
//   heat         - "Тепловой пункт" as shipped.
//
// There CPU time comes from /proc (user + system of the renderer processes, of
// the program's own process and of its whole process tree) and from the
// renderer's Performance.getMetrics (ProcessTime, and TaskDuration of its
// main thread). Under Xvfb the program draws its window with Mesa's software
// rasteriser; its llvmpipe threads are shown apart.
// The variants take turns, round after round, so that a slow spell of a
// shared machine falls on all of them; the median of the rounds is printed.
import { readdirSync, readFileSync } from 'node:fs';
import { fileURLToPath } from 'node:url';
import ts from 'typescript';
import {
  launchChromium,
  loadAverage,
  machineLine,
  median,
  pageSize,
  parseArguments,
} from './common.mjs';
import { engineOf, launchProgram, programShares, programTimes, serve } from './host.mjs';

const { host, rest } = parseArguments();
const seconds = Number(rest[0] ?? 10);
const rounds = Number(rest[1] ?? 3);

const mvpAssets = fileURLToPath(new URL('../../mvp/assets/', import.meta.url));
const cssName = readdirSync(mvpAssets).find((name) => /^index-[\w-]+\.css$/.test(name));
if (!cssName) throw new Error('no built stylesheet in mvp/assets: run npx vite build first');
const stylesheet = readFileSync(mvpAssets + cssName, 'utf8');

const clockSource = readFileSync(
  new URL('../../webapp/styles/markerClock.ts', import.meta.url),
  'utf8',
);
const clockScript =
  ts.transpileModule(clockSource, {
    compilerOptions: { module: ts.ModuleKind.ESNext, target: ts.ScriptTarget.ES2021 },
  }).outputText +
  "\nstartMarkerClock(document.getElementById('root'));\nwindow.markerClockStarted = true;";

// The naive alternative: each element runs its own animation from the moment
// it got its class.
const perFrameStyle = `
@keyframes bench-blink { 50% { opacity: 0.2; } }
@keyframes bench-flow { to { stroke-dashoffset: -20px; } }
.mnemo-blink { animation: bench-blink 1s steps(1, end) infinite; }
.mnemo-flow { animation: bench-flow 1s linear infinite; }`;

/** A pump-station-like scheme: tanks, pipes, valves, pumps, texts and lamps. */
function schemeMarkup(marked) {
  const parts = [];
  const pipe = (points, stroke) =>
    parts.push(
      `<polyline class="mnemo-pipe${marked ? ' mnemo-flow' : ''}" points="${points}" fill="none" stroke="${stroke}" stroke-width="6"/>`,
    );
  parts.push('<rect x="60" y="120" width="104" height="180" fill="#eef3f7" stroke="#41505f"/>');
  parts.push('<rect x="200" y="120" width="104" height="180" fill="#eef3f7" stroke="#41505f"/>');
  parts.push('<rect x="62" y="190" width="100" height="108" fill="#5bb4e0"/>');
  parts.push('<rect x="202" y="268" width="100" height="30" fill="#d04545"/>');
  pipe('112,300 112,378 248,378 248,300', '#4a90c0');
  pipe('180,378 320,378 320,330 660,330 700,330 700,394 780,394', '#4a90c0');
  pipe('320,378 320,458 660,458 700,458 700,394', '#4a90c0');
  pipe('780,394 900,394', '#4a90c0');
  pipe('60,520 400,520', '#4a90c0');
  pipe('420,520 760,520', '#4a90c0');
  pipe('400,40 400,100 560,100', '#4a90c0');
  pipe('600,40 600,100 760,100', '#4a90c0');
  for (const [x, y] of [
    [380, 330],
    [560, 330],
    [380, 458],
    [560, 458],
  ]) {
    parts.push(
      `<g><polygon points="${x - 12},${y - 9} ${x + 12},${y + 9} ${x + 12},${y - 9} ${x - 12},${y + 9}" fill="#3fb54a" stroke="#2d3a46"/></g>`,
    );
  }
  for (const [x, y] of [
    [470, 330],
    [470, 458],
  ]) {
    parts.push(
      `<g><circle cx="${x}" cy="${y}" r="22" fill="#3fb54a" stroke="#2d3a46" stroke-width="2"/><path d="M${x - 10} ${y - 12} L${x + 14} ${y} L${x - 10} ${y + 12} Z" fill="#fff"/></g>`,
    );
  }
  parts.push('<rect x="800" y="110" width="150" height="240" fill="#ffffff" stroke="#c9d1d9"/>');
  for (let i = 0; i < 8; i += 1) {
    const y = 128 + i * 24;
    parts.push(
      `<text x="812" y="${y + 12}" font-size="12" fill="#41505f">Параметр ${i + 1}</text>`,
    );
    parts.push(
      `<text x="890" y="${y + 12}" font-size="12" fill="#1d2733">${(i * 7.3).toFixed(1)}</text>`,
    );
  }
  for (let i = 0; i < 6; i += 1) {
    parts.push(
      `<circle class="${marked ? 'mnemo-blink' : ''}" cx="${60 + i * 40}" cy="40" r="7" fill="#d04545" visibility="visible"/>`,
    );
  }
  return `<svg id="scheme" viewBox="0 0 960 560" width="960" height="560" preserveAspectRatio="xMidYMid meet">${parts.join('')}</svg>`;
}

/** The application frame around the scheme, as the shell draws it. */
function frameMarkup(scheme) {
  const entries = ['Насосная станция', 'Газотурбинный агрегат', 'Тепловой пункт'];
  const buttons = entries.map(
    (name, i) => `<button class="app__nav-item" aria-current="${i === 0}">${name}</button>`,
  );
  return `<nav class="app__nav"><div class="app__nav-title">Мнемосхемы</div>${buttons.join('')}</nav>
    <main class="app__main">
      <header class="app__head"><div class="app__title">Насосная станция №1</div></header>
      <div class="app__stage"><div style="width:960px;height:560px">${scheme}</div></div>
    </main>`;
}

const VARIANTS = {
  still: { marked: false, clock: false, extraStyle: '' },
  idle: { marked: false, clock: true, extraStyle: '' },
  clock: { marked: true, clock: true, extraStyle: '' },
  perframe: { marked: true, clock: false, extraStyle: perFrameStyle },
};

async function processTimes(browserSession) {
  const { processInfo } = await browserSession.send('SystemInfo.getProcessInfo');
  const sum = (type) =>
    processInfo
      .filter((info) => info.type === type)
      .reduce((total, info) => total + info.cpuTime, 0);
  return { renderer: sum('renderer'), gpu: sum('GPU'), browser: sum('browser') };
}

async function taskDuration(pageSession) {
  const { metrics } = await pageSession.send('Performance.getMetrics');
  return metrics.find((metric) => metric.name === 'TaskDuration').value;
}

async function measure(page, pageSession, browserSession, variant) {
  const { marked, clock, extraStyle } = VARIANTS[variant];
  await page.setContent(
    `<style>${stylesheet}${extraStyle}</style>
     <div class="orvo-root app" id="root">${frameMarkup(schemeMarkup(marked))}</div>`,
  );
  if (clock) {
    await page.addScriptTag({ type: 'module', content: clockScript });
    await page.waitForFunction('window.markerClockStarted === true');
  }
  await page.waitForTimeout(1000); // settle after loading
  const before = await processTimes(browserSession);
  const taskBefore = await taskDuration(pageSession);
  const started = process.hrtime.bigint();
  await page.waitForTimeout(seconds * 1000);
  const wall = Number(process.hrtime.bigint() - started) / 1e9;
  const after = await processTimes(browserSession);
  const taskAfter = await taskDuration(pageSession);
  const share = (key) => (100 * (after[key] - before[key])) / wall;
  return {
    renderer: share('renderer'),
    gpu: share('gpu'),
    browser: share('browser'),
    mainThread: (100 * (taskAfter - taskBefore)) / wall,
  };
}

async function runInChromium() {
  const browser = await launchChromium();
  try {
    const page = await browser.newPage({ viewport: { width: 1280, height: 720 } });
    const pageSession = await page.context().newCDPSession(page);
    await pageSession.send('Performance.enable', { timeDomain: 'threadTicks' });
    const browserSession = await browser.newBrowserCDPSession();

    // Warm-up: the first seconds of a fresh browser are busy with its own start.
    await page.setContent(frameMarkup(schemeMarkup(false)));
    await page.waitForTimeout(3000);

    const results = Object.fromEntries(Object.keys(VARIANTS).map((name) => [name, []]));
    for (let round = 1; round <= rounds; round += 1) {
      for (const variant of Object.keys(VARIANTS)) {
        const figures = await measure(page, pageSession, browserSession, variant);
        results[variant].push(figures);
        console.error(`round ${round} ${variant}: ${JSON.stringify(figures)}`);
      }
    }

    const columns = ['renderer', 'mainThread', 'gpu', 'browser'];
    console.log(
      `\nCPU share in % of one core, median of ${rounds} rounds of ${seconds} s` +
        ` (renderer and GPU process time from SystemInfo.getProcessInfo,` +
        ` renderer main thread from Performance.getMetrics TaskDuration)\n`,
    );
    console.log(['variant', ...columns].map((name) => name.padStart(11)).join(''));
    for (const [variant, runs] of Object.entries(results)) {
      const row = columns.map((column) => median(runs.map((run) => run[column])).toFixed(2));
      console.log([variant, ...row].map((cell) => cell.padStart(11)).join(''));
    }
  } finally {
    await browser.close();
  }
}

/** The page of one variant as the program loads it over http. */
function variantPage(variant) {
  const { marked, clock, extraStyle } = VARIANTS[variant];
  const script = clock ? `<script type="module">${clockScript}</script>` : '';
  return `<style>${stylesheet}${extraStyle}</style>
     <div class="orvo-root app" id="root">${frameMarkup(schemeMarkup(marked))}</div>${script}`;
}

const APPLICATION = {
  pump: { entry: 'Насосная станция', reducedMotion: false },
  'pump-reduced': { entry: 'Насосная станция', reducedMotion: true },
  heat: { entry: 'Тепловой пункт', reducedMotion: false },
};

async function pageMetrics(pageSession) {
  const { metrics } = await pageSession.send('Performance.getMetrics');
  const value = (name) => metrics.find((metric) => metric.name === name)?.value ?? NaN;
  return { task: value('TaskDuration'), process: value('ProcessTime') };
}

/** Opens one variant in the program's page; resolves with a fresh CDP session on it. */
async function openInProgram(program, page, address, variant) {
  if (variant in VARIANTS) {
    await page.goto(`${address}/${variant}`);
    if (VARIANTS[variant].clock) await page.waitForFunction('window.markerClockStarted === true');
  } else {
    const { entry } = APPLICATION[variant];
    await page.goto(program.builtInAddress);
    await page.waitForFunction(() =>
      globalThis.document.querySelector('[data-testid="runtime"] svg'),
    );
    const chosen = await page.evaluate((name) => {
      const button = Array.from(globalThis.document.querySelectorAll('nav button')).find(
        (node) => node.textContent === name,
      );
      button?.click();
      return button !== undefined;
    }, entry);
    if (!chosen) throw new Error(`no navigation entry "${entry}"`);
    await page.waitForFunction(
      (name) =>
        globalThis.document.querySelector('nav [aria-current="true"]')?.textContent === name,
      entry,
    );
  }
  const pageSession = await page.context().newCDPSession(page);
  await pageSession.send('Performance.enable', { timeDomain: 'threadTicks' });
  if (APPLICATION[variant]?.reducedMotion) {
    await pageSession.send('Emulation.setEmulatedMedia', {
      features: [{ name: 'prefers-reduced-motion', value: 'reduce' }],
    });
  }
  return pageSession;
}

async function measureInProgram(program, page, browserSession, address, variant) {
  const pageSession = await openInProgram(program, page, address, variant);
  try {
    await page.waitForTimeout(1000); // settle after loading
    const before = await programTimes(program.pid, browserSession);
    const metricsBefore = await pageMetrics(pageSession);
    const started = process.hrtime.bigint();
    await page.waitForTimeout(seconds * 1000);
    const wall = Number(process.hrtime.bigint() - started) / 1e9;
    const after = await programTimes(program.pid, browserSession);
    const metricsAfter = await pageMetrics(pageSession);
    const metric = (key) => (100 * (metricsAfter[key] - metricsBefore[key])) / wall;
    return {
      ...programShares(before, after, wall),
      cdpProcess: metric('process'),
      mainThread: metric('task'),
    };
  } finally {
    await pageSession.detach().catch(() => undefined);
  }
}

async function runInProgram() {
  const pages = Object.fromEntries(
    Object.keys(VARIANTS).map((variant) => [`/${variant}`, variantPage(variant)]),
  );
  const server = await serve({ pages });
  const address = `http://127.0.0.1:${server.address().port}`;
  let program;
  try {
    program = await launchProgram();
    const { page } = program.app;
    page.on('pageerror', (error) => console.error(`page error: ${error.message}`));
    const browserSession = await program.app.browser.newBrowserCDPSession();
    const engine = await engineOf(page);
    const window = await pageSize(page);
    console.log(machineLine());
    console.log(`${engine} in build/corvane-ui, page ${window}, load average ${loadAverage()}`);

    // Warm-up: the first seconds of the program are busy with its own start.
    await page.waitForTimeout(3000);

    const variants = [...Object.keys(VARIANTS), ...Object.keys(APPLICATION)];
    const results = Object.fromEntries(variants.map((name) => [name, []]));
    for (let round = 1; round <= rounds; round += 1) {
      for (const variant of variants) {
        const figures = await measureInProgram(program, page, browserSession, address, variant);
        results[variant].push(figures);
        console.error(`round ${round} ${variant}: ${JSON.stringify(figures)}`);
      }
    }

    const columns = ['renderer', 'cdpProcess', 'mainThread', 'program', 'softwareGl', 'all'];
    console.log(
      `\nCPU share in % of one core, median of ${rounds} rounds of ${seconds} s` +
        ` (renderer, program and all: user + system time from /proc of the renderer` +
        ` processes, of corvane-ui's own process and of its whole process tree;` +
        ` cdpProcess and mainThread: the renderer's Performance.getMetrics` +
        ` ProcessTime and TaskDuration; softwareGl: the part of program in Mesa's` +
        ` llvmpipe threads, drawing the window without a GPU)\n`,
    );
    console.log(['variant', ...columns].map((name) => name.padStart(13)).join(''));
    for (const [variant, runs] of Object.entries(results)) {
      const row = columns.map((column) => median(runs.map((run) => run[column])).toFixed(2));
      console.log([variant, ...row].map((cell) => cell.padStart(13)).join(''));
    }
    console.log(`\nload average at the end ${loadAverage()}`);
  } finally {
    await program?.app.close();
    server.close();
  }
}

if (host) {
  await runInProgram();
} else {
  await runInChromium();
}
