import { fileURLToPath } from 'node:url';
import { defineConfig } from 'vite';

// The built application is packed into the executable's resources under
// "/mvp/", so every address it emits is absolute under that prefix.
export default defineConfig({
  root: fileURLToPath(new URL('./webapp', import.meta.url)),
  base: '/mvp/',
  publicDir: false,
  build: {
    outDir: fileURLToPath(new URL('./mvp', import.meta.url)),
    emptyOutDir: true,
    // The engine inside Debian's QtWebEngine 6.4 is Chromium 102.
    target: 'chrome102',
    modulePreload: false,
    // The minifier rewrites colours ("#ffffff" to "#fff", rgba shadows to
    // rounded hex), which changes what the theme's custom properties read as.
    cssMinify: false,
    reportCompressedSize: false,
  },
  worker: { format: 'es' },
});
