// Browser harness for tests of the built application: serves the already
// built mvp/ folder under "/mvp/" from a small static server on a free local
// port and launches Debian's Chromium through playwright-core. Nothing is
// built here; run `npx vite build` first. The server serves a private copy of
// mvp/ taken at start, so a build running meanwhile (which empties mvp/) cannot
// pull files from under a test.
//
// Usage in a *.e2e.ts file:
//
//   let harness: BrowserHarness;
//   beforeAll(async () => { harness = await startBrowserHarness(); });
//   afterAll(async () => { await harness?.close(); });
//
//   const page = await harness.browser.newPage();
//   await page.goto(`${harness.baseUrl}index.html`);
//
// `baseUrl` ends with "/mvp/". `requests` lists every path the server was
// asked for, in order; `assetPath(/^emulator\.worker-.*\.js$/)` gives the
// served path of a hashed build output ("/mvp/assets/emulator.worker-….js").
// `close()` closes the browser and then the server.

import { cpSync, existsSync, mkdtempSync, readFileSync, readdirSync, rmSync } from 'node:fs';
import { readFile } from 'node:fs/promises';
import { tmpdir } from 'node:os';
import { createServer, type Server } from 'node:http';
import type { AddressInfo } from 'node:net';
import { extname, join, relative, resolve, sep } from 'node:path';
import { fileURLToPath } from 'node:url';
import { chromium, type Browser } from 'playwright-core';

export const mvpDir = fileURLToPath(new URL('../../mvp/', import.meta.url));

/** Debian's Chromium, headless and quiet, as every browser test starts it. */
export const CHROMIUM_ARGS = [
  '--headless',
  '--no-sandbox',
  '--disable-gpu',
  '--disable-background-networking',
  '--disable-component-update',
  '--disable-sync',
  '--disable-quic',
  '--no-first-run',
];

export function launchChromium(): Promise<Browser> {
  return chromium.launch({ executablePath: '/usr/bin/chromium', args: CHROMIUM_ARGS });
}

const CONTENT_TYPES: Record<string, string> = {
  '.html': 'text/html; charset=utf-8',
  '.js': 'text/javascript; charset=utf-8',
  '.mjs': 'text/javascript; charset=utf-8',
  '.css': 'text/css; charset=utf-8',
  '.json': 'application/json; charset=utf-8',
  '.svg': 'image/svg+xml',
  '.png': 'image/png',
  '.map': 'application/json; charset=utf-8',
};

export interface BrowserHarness {
  /** Address of the served application folder, ending with "/mvp/". */
  baseUrl: string;
  browser: Browser;
  /** Paths requested from the server so far, in order. */
  requests: readonly string[];
  /** Served path of the one built asset whose file name matches `pattern`. */
  assetPath(pattern: RegExp): string;
  close(): Promise<void>;
}

/** The file under `root` for a request path, or nothing when it lies outside. */
function fileFor(root: string, pathname: string): string | undefined {
  if (!pathname.startsWith('/mvp/')) return undefined;
  let relativePath: string;
  try {
    relativePath = decodeURIComponent(pathname.slice('/mvp/'.length));
  } catch {
    return undefined;
  }
  if (relativePath.includes('\0')) return undefined;
  if (relativePath === '') relativePath = 'index.html';
  const file = resolve(root, relativePath);
  const inside = relative(root, file);
  if (inside === '' || inside.startsWith('..') || inside.startsWith(sep)) return undefined;
  return file;
}

function startServer(root: string, requests: string[]): Promise<Server> {
  const server = createServer((request, response) => {
    const pathname = new URL(request.url ?? '/', 'http://localhost').pathname;
    requests.push(pathname);
    const file = fileFor(root, pathname);
    if (!file || request.method !== 'GET') {
      response.writeHead(file ? 405 : 404).end();
      return;
    }
    readFile(file).then(
      (body) => {
        response.writeHead(200, {
          'Content-Type': CONTENT_TYPES[extname(file)] ?? 'application/octet-stream',
          'Cache-Control': 'no-store',
        });
        response.end(body);
      },
      () => response.writeHead(404).end(),
    );
  });
  return new Promise((resolveServer, reject) => {
    server.once('error', reject);
    server.listen(0, '127.0.0.1', () => resolveServer(server));
  });
}

function stopServer(server: Server): Promise<void> {
  server.closeAllConnections();
  return new Promise((resolveClose) => server.close(() => resolveClose()));
}

function findAsset(root: string, pattern: RegExp): string {
  const matches = readdirSync(join(root, 'assets')).filter((name) => pattern.test(name));
  if (matches.length !== 1) {
    throw new Error(
      `expected one asset matching ${pattern} in mvp/assets, found ${matches.length}`,
    );
  }
  return `/mvp/assets/${matches[0]}`;
}

/** Whether the copy holds index.html and every asset it refers to. */
function isComplete(root: string): boolean {
  const page = join(root, 'index.html');
  if (!existsSync(page)) return false;
  const referenced = readFileSync(page, 'utf8').match(/\/mvp\/assets\/[^"'\s)]+/g) ?? [];
  return referenced.every((path) => existsSync(join(root, path.slice('/mvp/'.length))));
}

/** Copies mvp/ aside, retrying while a build is rewriting it. */
async function copyBuild(): Promise<string> {
  for (let attempt = 0; attempt < 20; attempt += 1) {
    if (existsSync(join(mvpDir, 'index.html'))) {
      const root = mkdtempSync(join(tmpdir(), 'corvane-mvp-'));
      try {
        cpSync(mvpDir, root, { recursive: true });
        if (isComplete(root)) return root;
      } catch {
        // A file vanished while copying: the build is still running.
      }
      rmSync(root, { recursive: true, force: true });
    }
    await new Promise((resolveWait) => setTimeout(resolveWait, 500));
  }
  throw new Error('mvp/ holds no complete build: build the application first (npx vite build)');
}

export async function startBrowserHarness(): Promise<BrowserHarness> {
  const root = await copyBuild();
  const removeCopy = () => rmSync(root, { recursive: true, force: true });
  const requests: string[] = [];
  let server: Server;
  let browser: Browser;
  try {
    server = await startServer(root, requests);
  } catch (error) {
    removeCopy();
    throw error;
  }
  try {
    browser = await launchChromium();
  } catch (error) {
    await stopServer(server);
    removeCopy();
    throw error;
  }
  const { port } = server.address() as AddressInfo;
  return {
    baseUrl: `http://127.0.0.1:${port}/mvp/`,
    browser,
    requests,
    assetPath: (pattern) => findAsset(root, pattern),
    async close() {
      try {
        await browser.close();
      } finally {
        await stopServer(server);
        removeCopy();
      }
    },
  };
}
