// A small web server on a free loopback port for pages that probe the
// program's boundaries. Each route answers with its page, or after a delay
// with an attachment; the server remembers which paths were asked for and
// which slow answers were sent.
import { createServer, type Server } from 'node:http';
import type { AddressInfo } from 'node:net';

export interface Route {
  body: string;
  type?: string;
  /** Answer only after this long. */
  delayMs?: number;
  /** Sent as an attachment under this file name. */
  attachment?: string;
}

export interface AttackerServer {
  origin: string;
  /** Paths asked for so far, with their query. */
  requested: string[];
  /** Paths whose delayed answer has been sent. */
  answered: string[];
  close: () => Promise<void>;
}

export async function startAttacker(routes: Record<string, Route>): Promise<AttackerServer> {
  const requested: string[] = [];
  const answered: string[] = [];
  const server: Server = createServer((request, response) => {
    const path = request.url ?? '/';
    requested.push(path);
    const route = routes[path.split('?')[0]];
    if (!route) {
      response.writeHead(404, { 'Content-Type': 'text/plain' });
      response.end('not here');
      return;
    }
    const answer = () => {
      if (response.destroyed) return;
      const headers: Record<string, string> = {
        'Content-Type': route.type ?? 'text/html; charset=utf-8',
        'Cache-Control': 'no-store',
      };
      if (route.attachment) {
        headers['Content-Disposition'] = `attachment; filename="${route.attachment}"`;
      }
      response.writeHead(200, headers);
      response.end(route.body);
      if (route.delayMs) answered.push(path);
    };
    if (route.delayMs) setTimeout(answer, route.delayMs);
    else answer();
  });
  await new Promise<void>((resolve, reject) => {
    server.once('error', reject);
    server.listen(0, '127.0.0.1', () => resolve());
  });
  const { port } = server.address() as AddressInfo;
  return {
    origin: `http://127.0.0.1:${port}`,
    requested,
    answered,
    close: () =>
      new Promise<void>((resolve) => {
        server.closeAllConnections();
        server.close(() => resolve());
      }),
  };
}
