// Builds the canvas test page and serves it on 127.0.0.1 (see pageServer.ts).
import { startTestPage, type TestPageServer } from './pageServer';

export type CanvasPageServer = TestPageServer;

export function startCanvasPage(): Promise<CanvasPageServer> {
  return startTestPage(new URL('./canvas.vite.config.ts', import.meta.url), 'canvas.html');
}
