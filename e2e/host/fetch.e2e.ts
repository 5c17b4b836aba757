// An external application that loads its data with fetch(), opened through
// the program's menu and file dialog as an operator would (Xvfb and xdotool).
// CORVANE_UI_EXECUTABLE runs it against another build of the program.
import { execFileSync } from 'node:child_process';
import { mkdirSync, mkdtempSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { afterAll, beforeAll, describe, expect, it } from 'vitest';
import { builtInAddress, launchHost, type HostApp } from './harness';

const xdotool = (...args: string[]) => execFileSync('xdotool', args, { encoding: 'utf8' }).trim();
const delay = (ms: number) => new Promise((resolve) => setTimeout(resolve, ms));

describe.skipIf(!process.env.DISPLAY)('external application with fetch()', () => {
  let app: HostApp;
  let root = '';

  beforeAll(async () => {
    root = mkdtempSync(join(tmpdir(), 'corvane-fetch-'));
    mkdirSync(join(root, 'data'));
    writeFileSync(join(root, 'data', 'points.json'), JSON.stringify({ 'LT-101': 42.5 }));
    writeFileSync(
      join(root, 'index.html'),
      `<!doctype html><meta charset="utf-8"><title>fetch app</title>
<p id="value">…</p>
<script type="module">
  const response = await fetch('data/points.json');
  const points = await response.json();
  document.getElementById('value').textContent = 'LT-101 = ' + points['LT-101'];
</script>`,
    );
    app = await launchHost({ executable: process.env.CORVANE_UI_EXECUTABLE });
  });

  afterAll(async () => {
    await app?.close();
    if (root) rmSync(root, { recursive: true, force: true });
  });

  it('shows the JSON its page fetched', async () => {
    const window = xdotool('search', '--sync', '--name', '^corvane-ui ').split('\n')[0];
    // No window manager under Xvfb: focus the window directly.
    xdotool('windowfocus', '--sync', window);
    // The menu bar's one menu, then its first entry.
    xdotool('mousemove', '--window', window, '20', '10', 'click', '1');
    await delay(500);
    xdotool('key', 'Down', 'Return');
    await delay(1000);
    // The file dialog's name field has the focus.
    xdotool('key', 'ctrl+a');
    xdotool('type', '--delay', '20', join(root, 'index.html'));
    xdotool('key', 'Return');

    // External content runs in a page of its own; the built-in one stays as it was.
    const external = await app.pageAt('corvane://content/mvp/index.html');
    await expect
      .poll(() => external.evaluate(() => document.getElementById('value')?.textContent), {
        timeout: 15_000,
      })
      .toBe('LT-101 = 42.5');
    expect(app.page.url()).toBe(builtInAddress);
  });
});
