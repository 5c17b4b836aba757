import { afterAll, beforeAll, describe, expect, it } from 'vitest';
import { builtInAddress, launchHost, type HostApp } from './harness';

describe('desktop program', () => {
  let app: HostApp;

  beforeAll(async () => {
    app = await launchHost();
  });

  afterAll(async () => {
    await app?.close();
  });

  it('shows the built-in application', () => {
    expect(app.page.url()).toBe(builtInAddress);
  });

  it('serves the page head as built', async () => {
    const head = await app.page.evaluate(() => ({
      lang: document.documentElement.lang,
      title: document.title,
      root: document.querySelectorAll('div#root').length,
    }));
    expect(head).toEqual({ lang: 'ru', title: 'Orvo', root: 1 });
  });

  it('starts with a clean console', async () => {
    // Give the application's start-up, which runs after the load event, time to speak.
    await app.page.waitForTimeout(1000);
    const problems = app.consoleMessages.filter((m) => m.type === 'error' || m.type === 'warning');
    expect(problems).toEqual([]);
  });

  it('hears the page console, so a clean console means one', async () => {
    await app.page.evaluate(() => console.warn('harness probe'));
    await expect
      .poll(() => app.consoleMessages.map((m) => `${m.type}: ${m.text}`))
      .toContain('warning: harness probe');
  });
});
