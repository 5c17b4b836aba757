import { createPortDataSource, type PortDataSource } from './client';

/**
 * Starts the emulator shared worker, or joins the one already running for this
 * origin, and returns the data source over its port. The worker script is
 * resolved against this module's own address, so it is loaded from the same
 * folder and scheme as the page ("qrc:", "corvane:" or http).
 */
export function createEmulatorDataSource(): PortDataSource {
  const worker = new SharedWorker(new URL('../emulator/emulator.worker.ts', import.meta.url), {
    type: 'module',
    name: 'orvo-emulator',
  });
  return createPortDataSource(worker.port);
}
