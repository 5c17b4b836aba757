// Builds a test page with its Vite configuration into a temporary folder and
// serves it on 127.0.0.1; `close()` stops the server and removes the folder.
import { mkdtempSync, rmSync } from 'node:fs';
import { readFile } from 'node:fs/promises';
import { createServer } from 'node:http';
import type { AddressInfo } from 'node:net';
import { tmpdir } from 'node:os';
import { extname, join, normalize } from 'node:path';
import { fileURLToPath } from 'node:url';
import { build } from 'vite';

const TYPES: Record<string, string> = {
  '.html': 'text/html; charset=utf-8',
  '.js': 'text/javascript; charset=utf-8',
  '.css': 'text/css; charset=utf-8',
};

export interface TestPageServer {
  /** Address of the page, without a query. */
  url: string;
  close(): Promise<void>;
}

export async function startTestPage(config: URL, page: string): Promise<TestPageServer> {
  const out = mkdtempSync(join(tmpdir(), 'corvane-test-page-'));
  try {
    await build({ configFile: fileURLToPath(config), build: { outDir: out } });
  } catch (error) {
    rmSync(out, { recursive: true, force: true });
    throw error;
  }
  const server = createServer((request, response) => {
    const path = normalize(new URL(request.url ?? '/', 'http://localhost').pathname);
    if (path.includes('..')) {
      response.writeHead(404).end();
      return;
    }
    readFile(join(out, path)).then(
      (body) =>
        response
          .writeHead(200, {
            'Content-Type': TYPES[extname(path)] ?? 'application/octet-stream',
            'Cache-Control': 'no-store',
          })
          .end(body),
      () => response.writeHead(404).end(),
    );
  });
  await new Promise<void>((resolve) => server.listen(0, '127.0.0.1', resolve));
  const { port } = server.address() as AddressInfo;
  return {
    url: `http://127.0.0.1:${port}/${page}`,
    async close() {
      server.closeAllConnections();
      await new Promise((resolve) => server.close(resolve));
      rmSync(out, { recursive: true, force: true });
    },
  };
}
