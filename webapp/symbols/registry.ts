import type { SymbolDefinition, SymbolEntry } from './types';

// A Map rather than a plain record: ids such as "constructor" or "__proto__"
// coming from a scheme file must find nothing. Re-setting a key keeps its
// insertion position, which is the palette order.
const definitions = new Map<string, SymbolDefinition>();

// The built-in symbols are registered once, before anything is drawn; own
// symbols come and go with the station's folder, and what draws symbols
// follows the registry's version.
let version = 0;
const listeners = new Set<() => void>();
let entries: readonly SymbolEntry[] | undefined;

function changed(): void {
  version += 1;
  entries = undefined;
  listeners.forEach((listener) => listener());
}

/** Stores `definition` under `symbolId`; an id registered again keeps its place. */
export function registerSymbol(symbolId: string, definition: SymbolDefinition): void {
  definitions.set(symbolId, definition);
  changed();
}

/** Removes the symbol; elements naming it draw the placeholder from then on. */
export function unregisterSymbol(symbolId: string): void {
  if (definitions.delete(symbolId)) changed();
}

/** Calls `listener` after every change of the registry; returns the function that stops it. */
export function subscribeSymbols(listener: () => void): () => void {
  listeners.add(listener);
  return () => {
    listeners.delete(listener);
  };
}

/** The registered symbols as `listSymbols` lists them, the same list until the registry changes. */
export function symbolEntries(): readonly SymbolEntry[] {
  entries ??= listSymbols();
  return entries;
}

/** A number that changes with every change of the registry. */
export function symbolsVersion(): number {
  return version;
}

/** The registered symbols in registration order, as a new list. */
export function listSymbols(): SymbolEntry[] {
  const entries: SymbolEntry[] = [];
  definitions.forEach((definition, symbolId) => {
    entries.push({
      symbolId,
      label: definition.label,
      category: definition.category,
      defaultSize: definition.defaultSize,
    });
  });
  return entries;
}

/** The definition registered under `symbolId`, if any. */
export function findSymbol(symbolId: unknown): SymbolDefinition | undefined {
  return typeof symbolId === 'string' ? definitions.get(symbolId) : undefined;
}
