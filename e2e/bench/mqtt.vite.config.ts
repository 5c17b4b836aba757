import { fileURLToPath } from 'node:url';
import { defineConfig } from 'vite';

// The page of the broker benchmark, built from the application's own source
// modules (its broker worker included) with the application's target. The
// runner passes the output folder.
export default defineConfig({
  root: fileURLToPath(new URL('.', import.meta.url)),
  base: './',
  publicDir: false,
  logLevel: 'warn',
  build: {
    emptyOutDir: true,
    target: 'chrome102',
    modulePreload: false,
    reportCompressedSize: false,
    rollupOptions: { input: fileURLToPath(new URL('./mqtt.html', import.meta.url)) },
  },
  worker: { format: 'es' },
});
