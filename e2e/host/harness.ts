// Starts the real desktop program and attaches to its page over the DevTools
// protocol, for end-to-end checks of the program as users run it.
//
// Usage (in an e2e/**/*.e2e.ts file, run under `xvfb-run -a` or headless):
//
//   import { launchHost, type HostApp } from './harness';
//
//   let app: HostApp;
//   beforeAll(async () => {
//     app = await launchHost();
//   });
//   afterAll(async () => {
//     await app?.close();
//   });
//
//   it('…', async () => {
//     await app.page.getByTestId('…').click();
//     expect(app.consoleMessages.filter((m) => m.type === 'error')).toEqual([]);
//   });
//
// `page` is the built-in application ("qrc:/mvp/index.html"); external
// applications and web addresses open in another page, found with
// `await app.pageAt('corvane://content/mvp/index.html')`. By default `page` is
// reloaded once after attaching, so `consoleMessages` holds everything the
// page wrote since its (re)start. `close()` always ends the program, also
// when the test failed half-way.

import { spawn, type ChildProcess } from 'node:child_process';
import { existsSync, mkdirSync, mkdtempSync, rmSync } from 'node:fs';
import { createServer } from 'node:net';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { fileURLToPath } from 'node:url';
import { chromium, type Browser, type Page } from 'playwright-core';

export const builtInAddress = 'qrc:/mvp/index.html';

const repositoryRoot = fileURLToPath(new URL('../..', import.meta.url));
export const defaultExecutable = `${repositoryRoot}build/corvane-ui`;

export interface ConsoleEntry {
  type: string;
  text: string;
  url: string;
}

export interface HostApp {
  browser: Browser;
  /** The DevTools protocol's address, "http://127.0.0.1:<port>". */
  endpoint: string;
  page: Page;
  consoleMessages: ConsoleEntry[];
  /**
   * The first page whose address is `match` (or passes it), waited for. External
   * applications and web addresses run in a page of their own, another target
   * than `page`.
   */
  pageAt: (match: string | ((url: string) => boolean), timeoutMs?: number) => Promise<Page>;
  /** Everything the program wrote to stdout and stderr so far. */
  output: () => string;
  /** Whether the program is still running. */
  running: () => boolean;
  /** The program's exit code once it has ended by itself; null while it runs or after a signal. */
  exitCode: () => number | null;
  close: () => Promise<void>;
}

export interface LaunchOptions {
  executable?: string;
  args?: string[];
  env?: Record<string, string>;
  /** Reload the page after attaching, so no console message is missed. */
  reload?: boolean;
  timeoutMs?: number;
}

interface TargetInfo {
  type: string;
  url: string;
}

/** A loopback port nobody listens on just now. */
export function freePort(): Promise<number> {
  return new Promise((resolve, reject) => {
    const server = createServer();
    server.unref();
    server.on('error', reject);
    server.listen(0, '127.0.0.1', () => {
      const address = server.address();
      const port = typeof address === 'object' && address ? address.port : 0;
      server.close(() => resolve(port));
    });
  });
}

const delay = (ms: number) => new Promise((resolve) => setTimeout(resolve, ms));

async function waitFor<T>(
  what: string,
  timeoutMs: number,
  exited: () => string | null,
  probe: () => Promise<T | undefined>,
): Promise<T> {
  const deadline = Date.now() + timeoutMs;
  for (;;) {
    const failure = exited();
    if (failure) throw new Error(`corvane-ui ended while waiting for ${what}: ${failure}`);
    try {
      const value = await probe();
      if (value !== undefined) return value;
    } catch {
      // Not there yet.
    }
    if (Date.now() > deadline) throw new Error(`Timed out waiting for ${what}`);
    await delay(100);
  }
}

// Ends the program's whole process group (the engine's helpers included).
async function stop(child: ChildProcess): Promise<void> {
  if (child.exitCode !== null || child.signalCode !== null || child.pid === undefined) return;
  const pid = child.pid;
  const ended = new Promise<void>((resolve) => child.once('exit', () => resolve()));
  const signal = (name: NodeJS.Signals) => {
    try {
      process.kill(-pid, name);
    } catch {
      // Already gone.
    }
  };
  signal('SIGTERM');
  const timer = setTimeout(() => signal('SIGKILL'), 5000);
  await ended;
  clearTimeout(timer);
}

export async function launchHost(options: LaunchOptions = {}): Promise<HostApp> {
  const executable = options.executable ?? defaultExecutable;
  if (!existsSync(executable)) {
    throw new Error(`${executable} is missing: build it with scripts/build.sh`);
  }
  const timeoutMs = options.timeoutMs ?? 30_000;
  const port = await freePort();
  // A data folder of its own for each run (history, the views' settings, the
  // default scheme folder), unless the test names one: no run reads what an
  // earlier one left, and none writes into the user's own.
  const ownDataHome =
    options.env?.XDG_DATA_HOME === undefined ? mkdtempSync(join(tmpdir(), 'corvane-data-')) : '';
  const env: Record<string, string | undefined> = {
    ...process.env,
    ...(ownDataHome ? { XDG_DATA_HOME: ownDataHome } : {}),
    QTWEBENGINE_REMOTE_DEBUGGING: `127.0.0.1:${port}`,
    QTWEBENGINE_DISABLE_SANDBOX: '1',
    QTWEBENGINE_CHROMIUM_FLAGS: process.env.QTWEBENGINE_CHROMIUM_FLAGS ?? '--disable-gpu',
    ...options.env,
  };
  if (!env.DISPLAY && !env.WAYLAND_DISPLAY && !env.QT_QPA_PLATFORM) {
    env.QT_QPA_PLATFORM = 'offscreen';
  }

  const child = spawn(executable, options.args ?? [], {
    env,
    cwd: repositoryRoot,
    detached: true, // its own process group, so close() can end it whole
    stdio: ['ignore', 'pipe', 'pipe'],
  });
  let output = '';
  child.stdout?.on('data', (chunk: Buffer) => (output += chunk.toString()));
  child.stderr?.on('data', (chunk: Buffer) => (output += chunk.toString()));
  let startError: Error | null = null;
  child.on('error', (error) => (startError = error));
  const exited = () => {
    if (startError) return String(startError);
    if (child.exitCode !== null || child.signalCode !== null) {
      return `exit ${child.exitCode ?? child.signalCode}\n${output}`;
    }
    return null;
  };
  // A test run that dies without close() must not leave the program behind.
  const onExit = () => {
    if (child.pid !== undefined && child.exitCode === null) {
      try {
        process.kill(-child.pid, 'SIGKILL');
      } catch {
        // Already gone.
      }
    }
  };
  process.once('exit', onExit);

  let browser: Browser | undefined;
  const close = async () => {
    process.removeListener('exit', onExit);
    await browser?.close().catch(() => undefined);
    await stop(child);
    if (ownDataHome) rmSync(ownDataHome, { recursive: true, force: true });
  };

  try {
    const endpoint = `http://127.0.0.1:${port}`;
    await waitFor('the page target', timeoutMs, exited, async () => {
      const response = await fetch(`${endpoint}/json/list`);
      const targets = (await response.json()) as TargetInfo[];
      return targets.some((t) => t.type === 'page' && t.url === builtInAddress) ? true : undefined;
    });
    const connected = await chromium.connectOverCDP(endpoint, { noDefaults: true });
    browser = connected;
    const page = await waitFor('the attached page', timeoutMs, exited, async () =>
      connected
        .contexts()
        .flatMap((context) => context.pages())
        .find((p) => p.url() === builtInAddress),
    );

    const consoleMessages: ConsoleEntry[] = [];
    page.on('console', (message) => {
      consoleMessages.push({
        type: message.type(),
        text: message.text(),
        url: message.location().url,
      });
    });
    if (options.reload ?? true) {
      await page.reload({ waitUntil: 'load', timeout: timeoutMs });
    }
    const pageAt = (match: string | ((url: string) => boolean), waitMs = 15_000) => {
      const matches = typeof match === 'string' ? (url: string) => url === match : match;
      return waitFor(`a page at ${String(match)}`, waitMs, exited, async () =>
        connected
          .contexts()
          .flatMap((context) => context.pages())
          .find((p) => matches(p.url())),
      );
    };
    return {
      browser: connected,
      endpoint,
      page,
      consoleMessages,
      pageAt,
      output: () => output,
      running: () => exited() === null,
      exitCode: () => child.exitCode,
      close,
    };
  } catch (error) {
    await close();
    throw error;
  }
}

export interface StationFolder {
  root: string;
  /** The station database, given with --history. */
  historyFile: string;
  /** The scheme folder, given with --schemes. */
  schemes: string;
  /** HOME and the XDG folders inside `root`: never the user's own. */
  env: Record<string, string>;
  remove(): void;
}

/** A temporary folder holding everything a station run keeps. */
export function stationFolder(prefix: string): StationFolder {
  const root = mkdtempSync(join(tmpdir(), prefix));
  mkdirSync(join(root, 'home'));
  mkdirSync(join(root, 'schemes'));
  return {
    root,
    historyFile: join(root, 'station.sqlite'),
    schemes: join(root, 'schemes'),
    env: {
      HOME: join(root, 'home'),
      XDG_DATA_HOME: join(root, 'data'),
      XDG_CONFIG_HOME: join(root, 'config'),
      XDG_CACHE_HOME: join(root, 'cache'),
    },
    remove: () => rmSync(root, { recursive: true, force: true }),
  };
}
