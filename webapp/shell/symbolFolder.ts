// The station's own symbols: the desktop program lists the sanitised SVG
// drawings of its symbol folder at "corvane-symbols:" (to the built-in
// application alone) and announces changes with an event on the window, after
// which the listing is read again and the registry follows it. A browser has
// no such folder: the request fails and nothing happens.

import { parseOwnSymbolListing, registerOwnSymbols } from '../symbols';
import { xhrTransport, type SchemeFolderTransport } from './schemeFolder';

export const SYMBOL_FOLDER_ADDRESS = 'corvane-symbols://folder/';
/** The event the program dispatches on the window when the symbol folder changed. */
export const SYMBOL_FOLDER_CHANGED_EVENT = 'corvane-symbols-changed';

export interface SymbolFolderOptions {
  transport?: SchemeFolderTransport;
  target?: EventTarget;
  log?: Pick<Console, 'warn'>;
}

export interface SymbolFolderFollower {
  /** Reads the listing again; readings run one after another. */
  refresh(): Promise<void>;
  stop(): void;
}

/** Reads the symbol folder now and on every change the program announces. */
export function followSymbolFolder(options: SymbolFolderOptions = {}): SymbolFolderFollower {
  const transport = options.transport ?? xhrTransport;
  const target = options.target ?? window;
  const log = options.log ?? console;
  let queue: Promise<void> = Promise.resolve();

  async function readNow(): Promise<void> {
    let text: string;
    try {
      text = await transport.get(SYMBOL_FOLDER_ADDRESS);
    } catch {
      // No folder to be had: the program has logged why, or there is no program.
      return;
    }
    try {
      registerOwnSymbols(parseOwnSymbolListing(text), log);
    } catch (error) {
      log.warn(`The symbol folder's listing cannot be read: ${String(error)}`);
    }
  }

  const refresh = () => {
    queue = queue.then(readNow);
    return queue;
  };
  const onChange = () => void refresh();
  target.addEventListener(SYMBOL_FOLDER_CHANGED_EVENT, onChange);
  void refresh();
  return {
    refresh,
    stop: () => target.removeEventListener(SYMBOL_FOLDER_CHANGED_EVENT, onChange),
  };
}
