import { createConnectionStore, type ConnectionMonitor } from './connection';
import { createEmulatorDataSource } from './emulator-source';
import type { DataSource } from './types';

export interface PageDataSource {
  dataSource: DataSource;
  connection: ConnectionMonitor;
  /** Whether the values come from the page's own emulator. */
  emulated?: boolean;
  /** Hands the emulator a command the station gives it to carry out. */
  command?: (id: string, value: boolean | number) => void;
}

/**
 * The page's own emulator: the source of a plain browser, and of the program
 * when it is given no broker. A broker is the program's alone to follow.
 */
export function createEmulatorPageSource(): PageDataSource {
  const dataSource = createEmulatorDataSource();
  return {
    dataSource,
    connection: createConnectionStore({ state: 'online', broker: '' }),
    emulated: true,
    command: (id, value) => dataSource.command(id, value),
  };
}

/** A source that never delivers anything. */
export function createSilentDataSource(): DataSource {
  return {
    subscribe: () => () => {},
    read: () => Promise.resolve([]),
    listPoints: () => Promise.resolve([]),
    writeCommand: () => Promise.resolve(),
    getHistory: () => Promise.resolve([]),
    subscribeEvents: () => () => {},
  };
}
