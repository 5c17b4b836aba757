import { defineConfig } from 'vitest/config';

export default defineConfig({
  test: {
    environment: 'jsdom',
    globals: true,
    include: ['webapp/**/*.test.{ts,tsx}'],
    setupFiles: ['webapp/test-setup.ts'],
  },
});
