import { fileURLToPath } from 'node:url';
import { defineConfig } from 'vite';

export interface PageConfigOptions {
  /** Whether the page's stylesheet is minified (Vite's default); readable when not. */
  minifyCss?: boolean;
  /** Workers built as ES modules, for a page whose modules start a (shared) worker. */
  esWorkers?: boolean;
}

/**
 * Vite configuration of a bench or test page `html` (a file URL), built from
 * the application's own source modules with the application's target. The
 * caller passes the output folder.
 */
export function pageConfig(
  html: URL,
  { minifyCss = true, esWorkers = false }: PageConfigOptions = {},
) {
  return defineConfig({
    root: fileURLToPath(new URL('.', html)),
    base: './',
    publicDir: false,
    logLevel: 'warn',
    build: {
      emptyOutDir: true,
      target: 'chrome102',
      modulePreload: false,
      ...(minifyCss ? {} : { cssMinify: false }),
      reportCompressedSize: false,
      rollupOptions: { input: fileURLToPath(html) },
    },
    ...(esWorkers ? { worker: { format: 'es' as const } } : {}),
  });
}
