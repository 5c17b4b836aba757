// The executable as the Debian package installs it: unpacked from the .deb
// that scripts/check-package.sh builds, started on its own and showing the
// live pump station.
import { execFileSync } from 'node:child_process';
import { mkdtempSync, readdirSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { fileURLToPath } from 'node:url';
import { afterAll, beforeAll, describe, expect, it } from 'vitest';
import { launchHost, type HostApp } from './harness';

const buildDir = fileURLToPath(new URL('../../build', import.meta.url));

describe('the installed program', () => {
  let app: HostApp;
  let root = '';

  beforeAll(async () => {
    const deb = readdirSync(buildDir).find((name) => /^corvane-ui_.*_amd64\.deb$/.test(name));
    if (!deb) throw new Error('build/corvane-ui_<version>_amd64.deb is missing: run scripts/check-package.sh');
    root = mkdtempSync(join(tmpdir(), 'corvane-deb-'));
    execFileSync('dpkg', ['-x', join(buildDir, deb), root]);
    app = await launchHost({ executable: join(root, 'usr/bin/corvane-ui') });
  });

  afterAll(async () => {
    await app?.close();
    if (root) rmSync(root, { recursive: true, force: true });
  });

  it('shows the live pump station', async () => {
    const texts = () =>
      app.page.evaluate(() =>
        Array.from(document.querySelectorAll('[data-testid="runtime"] svg text'))
          .map((node) => node.textContent ?? '')
          .join('|'),
      );
    await app.page.waitForFunction(() => document.querySelector('[data-testid="runtime"] svg text'));
    const title = await app.page.evaluate(
      () => document.querySelector('[data-testid="scheme-title"]')?.textContent,
    );
    expect(title).toBe('Насосная станция №1');
    const first = await texts();
    await expect.poll(texts, { timeout: 5000 }).not.toBe(first);
  });
});
