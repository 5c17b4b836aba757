import type { SymbolDefinition, SymbolEntry } from './types';

// A Map rather than a plain record: ids such as "constructor" or "__proto__"
// coming from a scheme file must find nothing. Re-setting a key keeps its
// insertion position, which is the palette order.
const definitions = new Map<string, SymbolDefinition>();

/** Stores `definition` under `symbolId`; an id registered again keeps its place. */
export function registerSymbol(symbolId: string, definition: SymbolDefinition): void {
  definitions.set(symbolId, definition);
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
