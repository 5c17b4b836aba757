// A renderer that dies (killed here, as the system's memory killer would)
// brings the pump station back by itself, live.
import { afterAll, beforeAll, describe, expect, it } from 'vitest';
import { chromium, type Browser, type Page } from 'playwright-core';
import { builtInAddress, launchHost, type HostApp } from './harness';
import { debuggingEndpoint, processIds } from './processes';

// The texts drawn in the scheme: live values change them every 500 ms.
function drawnTexts(page: Page): Promise<string> {
  return page.evaluate(() =>
    Array.from(document.querySelectorAll('[data-testid="runtime"] svg text'))
      .map((node) => node.textContent ?? '')
      .join('|'),
  );
}

async function waitUntilLive(page: Page, timeoutMs: number): Promise<void> {
  const deadline = Date.now() + timeoutMs;
  let first: string | null = null;
  for (;;) {
    try {
      const texts = await drawnTexts(page);
      if (texts && first === null) first = texts;
      else if (texts && texts !== first) return;
    } catch {
      // The page is not there yet.
    }
    if (Date.now() > deadline) throw new Error('the pump station did not come back live');
    await new Promise((resolve) => setTimeout(resolve, 50));
  }
}

describe('renderer recovery in the desktop program', () => {
  let app: HostApp;

  beforeAll(async () => {
    app = await launchHost();
  });

  afterAll(async () => {
    await app?.close();
  });

  it('shows the live pump station again within 3 s of the renderer being killed', async () => {
    await waitUntilLive(app.page, 10_000);
    const { host, renderers } = await processIds(app.browser);
    expect(host).toBeGreaterThan(0);
    expect(renderers.length).toBeGreaterThan(0);

    // The attached page dies with its renderer: watch the new one through
    // connections made after the kill.
    const endpoint = debuggingEndpoint(host);
    await app.browser.close();
    const killedAt = Date.now();
    for (const pid of renderers) process.kill(pid, 'SIGKILL');
    let watcher: Browser | undefined;
    let page: Page | undefined;
    while (!page) {
      if (Date.now() - killedAt > 3000) throw new Error('the pump station did not come back live');
      await new Promise((resolve) => setTimeout(resolve, 100));
      try {
        watcher = await chromium.connectOverCDP(endpoint, { noDefaults: true });
        const candidate = watcher
          .contexts()
          .flatMap((context) => context.pages())
          .find((p) => p.url() === builtInAddress);
        if (candidate && (await drawnTexts(candidate))) page = candidate;
      } catch {
        // Not back yet.
      }
      if (!page) await watcher?.close().catch(() => undefined);
    }
    await waitUntilLive(page, 3000 - (Date.now() - killedAt));
    const backMs = Date.now() - killedAt;
    console.log(`renderer killed -> live pump station again: ${backMs} ms`);

    const title = await page.evaluate(
      () => document.querySelector('[data-testid="scheme-title"]')?.textContent,
    );
    expect(title).toBe('Насосная станция №1');
    const after = await processIds(page.context().browser() ?? app.browser);
    await watcher?.close();
    expect(after.host).toBe(host);
    expect(after.renderers.some((pid) => !renderers.includes(pid))).toBe(true);
  });
});
