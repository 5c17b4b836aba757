import { useSyncExternalStore } from 'react';
import type { SymbolEntry } from './types';
import { subscribeSymbols, symbolEntries, symbolsVersion } from './registry';

/** The registry's version: a component that draws symbols redraws when it changes. */
export function useSymbolsVersion(): number {
  return useSyncExternalStore(subscribeSymbols, symbolsVersion);
}

/** The registered symbols, a new list only when the registry changes. */
export function useSymbolEntries(): readonly SymbolEntry[] {
  return useSyncExternalStore(subscribeSymbols, symbolEntries);
}
