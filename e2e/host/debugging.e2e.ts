// The DevTools protocol drives every page of the program: it is served on
// this machine only.
import { spawnSync } from 'node:child_process';
import { describe, expect, it } from 'vitest';
import { defaultExecutable } from './harness';

describe('remote debugging', () => {
  it.each(['0.0.0.0:9222', '10.1.2.3:9222', 'plant-gw:9222'])(
    'refuses %s before it opens a window',
    (address) => {
      const result = spawnSync(defaultExecutable, [], {
        encoding: 'utf8',
        timeout: 10_000,
        env: { ...process.env, QTWEBENGINE_REMOTE_DEBUGGING: address, QT_QPA_PLATFORM: 'offscreen' },
      });
      expect(result.status).toBe(1);
      expect(result.stderr).toContain('remote debugging is only served on this machine');
      expect(result.stderr).toContain('is not a loopback address');
    },
  );
});
