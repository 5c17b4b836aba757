import { defineConfig } from 'vitest/config';

// Browser tests of the built application (Debian's Chromium through
// playwright-core) and end-to-end tests of the real executable.
export default defineConfig({
  test: {
    environment: 'node',
    include: ['e2e/**/*.e2e.ts'],
    testTimeout: 60_000,
    hookTimeout: 60_000,
    fileParallelism: false,
  },
});
