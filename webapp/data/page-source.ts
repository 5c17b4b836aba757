import { createBrokerDataSource } from './broker-source';
import { createConnectionStore, type ConnectionMonitor } from './connection';
import { createEmulatorDataSource } from './emulator-source';
import { chooseDataSource, DATA_SETTINGS_GLOBAL } from './settings';
import type { DataSource } from './types';

export interface PageDataSource {
  dataSource: DataSource;
  connection: ConnectionMonitor;
  /** Whether the values come from the page's own emulator. */
  emulated?: boolean;
}

/** A source that never delivers anything, for settings that cannot be used. */
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

/**
 * The part of the page address that may name a broker: its query, in a
 * browser only. Inside the program the built-in page is served from "qrc:",
 * and there the program alone chooses the source, so that no page can open
 * the built-in application at an address that points it at another broker.
 */
export function settingsQuery(address: Pick<Location, 'protocol' | 'search'>): string {
  return address.protocol === 'qrc:' ? '' : address.search;
}

/**
 * The page's one data source, chosen from the settings the desktop program
 * put into the page (taken once and removed from the page's globals, so the
 * password does not linger there) or, in a browser, from the page address's query.
 */
export function createPageDataSource(
  scope: Record<string, unknown> = globalThis as unknown as Record<string, unknown>,
  search: string = typeof location === 'undefined' ? '' : settingsQuery(location),
  log: Pick<Console, 'warn'> = console,
): PageDataSource {
  const injected = scope[DATA_SETTINGS_GLOBAL];
  try {
    delete scope[DATA_SETTINGS_GLOBAL];
  } catch {
    // A global defined as fixed stays; the choice below is made all the same.
  }
  const choice = chooseDataSource(injected, search);
  for (const warning of choice.warnings) log.warn(warning);
  switch (choice.kind) {
    case 'broker':
      return createBrokerDataSource(choice.settings);
    case 'refused':
      log.warn(`Data server not used: ${choice.problem}`);
      return {
        dataSource: createSilentDataSource(),
        connection: createConnectionStore({
          state: 'offline',
          broker: choice.broker,
          problem: choice.problem,
        }),
      };
    default:
      return {
        dataSource: createEmulatorDataSource(),
        connection: createConnectionStore({ state: 'online', broker: '' }),
        emulated: true,
      };
  }
}
