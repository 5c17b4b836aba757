// What the benches need to run inside the desktop program instead of Debian's
// Chromium: the program started through the end-to-end harness (build/corvane-ui,
// attached over the DevTools protocol), a small http server for the bench
// pages on 127.0.0.1, and the CPU time of the program's processes read from
// /proc.
//
// The engine in the program is QtWebEngine's Chromium (102 in Qt 6.4): the
// benches talk to it with page.goto, page.evaluate and plain CDP commands
// only, nothing that needs a newer protocol.
//
// Renderers are found by pid from the browser's SystemInfo.getProcessInfo and
// checked to descend from the program; a renderer forked by the zygote keeps
// the zygote's command line, so "--type=renderer" alone does not find it.
import { execFileSync } from 'node:child_process';
import { readdirSync, readFileSync, readlinkSync, realpathSync } from 'node:fs';
import { readFile } from 'node:fs/promises';
import { createServer } from 'node:http';
import { extname, join, normalize } from 'node:path';
import { fileURLToPath } from 'node:url';
import { runnerImport } from 'vite';

const harnessPath = fileURLToPath(new URL('../host/harness.ts', import.meta.url));

/** Whether the bench was asked to run in the program (`--host`); the other arguments. */
export function parseArguments(argv = process.argv.slice(2)) {
  return { host: argv.includes('--host'), rest: argv.filter((arg) => arg !== '--host') };
}

/**
 * Starts build/corvane-ui (or `options.executable`) through the harness
 * (`options`: the harness's LaunchOptions, such as `args` and `env`); resolves
 * with its HostApp and its pid.
 */
export async function launchProgram(options = {}) {
  const { module: harness } = await runnerImport(harnessPath);
  const app = await harness.launchHost({ reload: false, ...options });
  const pid = childRunning(options.executable ?? harness.defaultExecutable);
  if (pid === undefined) {
    await app.close();
    throw new Error('the started program was not found among this process’s children');
  }
  return { app, pid, builtInAddress: harness.builtInAddress };
}

/** "Chrome/102.0.5005.177, QtWebEngine/6.4.2" from the page's user agent. */
export async function engineOf(page) {
  const agent = await page.evaluate(() => navigator.userAgent);
  return ['Chrome', 'QtWebEngine']
    .map((name) => agent.match(new RegExp(`${name}/[\\d.]+`))?.[0])
    .filter(Boolean)
    .join(', ');
}

const TYPES = {
  '.html': 'text/html; charset=utf-8',
  '.js': 'text/javascript; charset=utf-8',
  '.css': 'text/css; charset=utf-8',
};

/**
 * Serves on 127.0.0.1, with cross-origin isolation (a 5 µs page clock where the
 * engine grants it): `pages` by path ("/still" → markup), anything else from
 * the folder `root`, "/" being `index`.
 */
export function serve({ root, index, pages = {} }) {
  const server = createServer((request, response) => {
    const path = normalize(new URL(request.url ?? '/', 'http://localhost').pathname);
    const headers = (type) => ({
      'Content-Type': type,
      'Cross-Origin-Opener-Policy': 'same-origin',
      'Cross-Origin-Embedder-Policy': 'require-corp',
      'Cache-Control': 'no-store',
    });
    if (path in pages) {
      response.writeHead(200, headers(TYPES['.html'])).end(pages[path]);
      return;
    }
    if (!root) {
      response.writeHead(404).end();
      return;
    }
    readFile(join(root, path === '/' ? index : path)).then(
      (body) =>
        response
          .writeHead(200, headers(TYPES[extname(path)] ?? 'application/octet-stream'))
          .end(body),
      () => response.writeHead(404).end(),
    );
  });
  return new Promise((resolve) => server.listen(0, '127.0.0.1', () => resolve(server)));
}

const clockTicks = (() => {
  try {
    return Number(execFileSync('getconf', ['CLK_TCK'], { encoding: 'utf8' }).trim()) || 100;
  } catch {
    return 100;
  }
})();

function exeOf(pid) {
  try {
    return readlinkSync(`/proc/${pid}/exe`);
  } catch {
    return '';
  }
}

/** The pid of this process's child that runs `executable`, if there is one. */
export function childRunning(executable) {
  const path = realpathSync(executable);
  return processes().find((entry) => entry.ppid === process.pid && exeOf(entry.pid) === path)?.pid;
}

/** CPU seconds (user + system) of one process so far; NaN once it has ended. */
export function cpuSeconds(pid) {
  return processes([pid])[0]?.cpu ?? Number.NaN;
}

/** Every process (or those of `pids`): pid, parent, CPU seconds (user + system) and command line. */
function processes(pids) {
  const entries = [];
  for (const name of pids?.map(String) ?? readdirSync('/proc')) {
    if (!/^\d+$/.test(name)) continue;
    try {
      const stat = readFileSync(`/proc/${name}/stat`, 'utf8');
      // The command name may hold spaces and brackets: the fields start after the last ')'.
      const fields = stat.slice(stat.lastIndexOf(')') + 2).split(' ');
      entries.push({
        pid: Number(name),
        ppid: Number(fields[1]),
        cpu: (Number(fields[11]) + Number(fields[12])) / clockTicks,
        command: readFileSync(`/proc/${name}/cmdline`, 'utf8').replace(/\0/g, ' '),
      });
    } catch {
      // Ended meanwhile.
    }
  }
  return entries;
}

async function rendererIds(browserSession) {
  try {
    const { processInfo } = await browserSession.send('SystemInfo.getProcessInfo');
    return new Set(processInfo.filter((info) => info.type === 'renderer').map((info) => info.id));
  } catch {
    return new Set();
  }
}

/**
 * CPU seconds so far of the program's process tree: `program` is the program's
 * own process (Qt, the engine's browser side and, with --disable-gpu, its
 * compositing), `renderer` all renderer processes, `all` the whole tree;
 * `softwareGl`, `guiThread` and `brokerClient` are the parts of `program`
 * spent in Mesa's llvmpipe threads, the GUI thread and Paho's threads.
 */
export async function programTimes(pid, browserSession) {
  const renderers = await rendererIds(browserSession);
  const all = processes();
  const children = new Map();
  for (const entry of all) {
    if (!children.has(entry.ppid)) children.set(entry.ppid, []);
    children.get(entry.ppid).push(entry);
  }
  const tree = [];
  const queue = all.filter((entry) => entry.pid === pid);
  while (queue.length > 0) {
    const entry = queue.shift();
    tree.push(entry);
    queue.push(...(children.get(entry.pid) ?? []));
  }
  const perPid = Object.fromEntries(tree.map((entry) => [entry.pid, entry.cpu]));
  const threads = threadTimes(pid);
  const threadsCpu = (chosen) =>
    threads.filter(chosen).reduce((total, thread) => total + thread.cpu, 0);
  const isRenderer = (entry) =>
    renderers.has(entry.pid) || entry.command.includes('--type=renderer');
  return {
    perPid,
    rendererPids: tree.filter(isRenderer).map((entry) => entry.pid),
    programPid: pid,
    // Mesa's software rasteriser, when the program's window is drawn without a GPU (Xvfb).
    softwareGl: threadsCpu((thread) => thread.name.startsWith('llvmpipe')),
    // The GUI thread (the station's own work: bridge, point table, feeds).
    guiThread: threadsCpu((thread) => thread.tid === pid),
    // The broker client's threads (Paho's receiving and sending).
    brokerClient: threadsCpu((thread) => thread.name.startsWith('MQTTAsync')),
  };
}

function threadTimes(pid) {
  const threads = [];
  let names = [];
  try {
    names = readdirSync(`/proc/${pid}/task`);
  } catch {
    return threads;
  }
  for (const name of names) {
    try {
      const stat = readFileSync(`/proc/${pid}/task/${name}/stat`, 'utf8');
      const fields = stat.slice(stat.lastIndexOf(')') + 2).split(' ');
      threads.push({
        tid: Number(name),
        name: stat.slice(stat.indexOf('(') + 1, stat.lastIndexOf(')')),
        cpu: (Number(fields[11]) + Number(fields[12])) / clockTicks,
      });
    } catch {
      // Ended meanwhile.
    }
  }
  return threads;
}

/** CPU % of one core between two programTimes snapshots over `wall` seconds. */
export function programShares(before, after, wall) {
  const spent = (pid) => (after.perPid[pid] ?? 0) - (before.perPid[pid] ?? 0);
  const share = (pids) => (100 * pids.reduce((total, pid) => total + spent(pid), 0)) / wall;
  const renderers = [...new Set([...before.rendererPids, ...after.rendererPids])];
  return {
    renderer: share(renderers),
    program: share([after.programPid]),
    softwareGl: (100 * (after.softwareGl - before.softwareGl)) / wall,
    guiThread: (100 * (after.guiThread - before.guiThread)) / wall,
    brokerClient: (100 * (after.brokerClient - before.brokerClient)) / wall,
    all: share(Object.keys(after.perPid).map(Number)),
  };
}

/** Load average of the machine, for the record. */
export function loadAverage() {
  try {
    return readFileSync('/proc/loadavg', 'utf8').split(' ').slice(0, 3).join(' ');
  } catch {
    return 'unknown';
  }
}
