// Process ids of the running program over the DevTools protocol: the host
// (the browser process) and the renderers, which are forked from a zygote and
// cannot be told apart by their command line.
import { readFileSync } from 'node:fs';
import type { Browser } from 'playwright-core';

interface ProcessInfo {
  type: string;
  id: number;
}

export async function processIds(browser: Browser): Promise<{ host: number; renderers: number[] }> {
  const session = await browser.newBrowserCDPSession();
  try {
    const { processInfo } = (await session.send('SystemInfo.getProcessInfo')) as {
      processInfo: ProcessInfo[];
    };
    const host = processInfo.find((p) => p.type === 'browser')?.id ?? 0;
    const renderers = processInfo.filter((p) => p.type === 'renderer').map((p) => p.id);
    return { host, renderers };
  } finally {
    await session.detach().catch(() => undefined);
  }
}

/** Resident memory of a process in MB, from /proc. */
export function residentMb(pid: number): number {
  const status = readFileSync(`/proc/${pid}/status`, 'utf8');
  const kb = Number(/VmRSS:\s+(\d+)/.exec(status)?.[1] ?? 0);
  return Math.round(kb / 1024);
}

/** The DevTools endpoint the program was started with. */
export function debuggingEndpoint(hostPid: number): string {
  const environment = readFileSync(`/proc/${hostPid}/environ`, 'utf8').split('\0');
  const address = environment
    .find((entry) => entry.startsWith('QTWEBENGINE_REMOTE_DEBUGGING='))
    ?.split('=')[1];
  if (!address) throw new Error('the program has no DevTools endpoint');
  return `http://${address}`;
}
