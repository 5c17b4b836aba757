// What the palette offers: the registered symbols, then the primitives, and
// how an item's key becomes a new element.

import type { SchemeElement } from '../../scheme';
import { listSymbols, type SymbolEntry } from '../../symbols';
import { createPipe, createPrimitive, createSymbolElement, isPrimitiveType } from '../model';

export interface PaletteItem {
  /** "symbol:" followed by a symbol id, or a primitive kind. */
  key: string;
  label: string;
  category: string;
}

/** Drag data type of a palette key, read by the canvas on drop. */
export const PALETTE_DRAG_TYPE = 'application/x-mnemo-add';

/** Prefix of a symbol item's key. */
export const SYMBOL_KEY_PREFIX = 'symbol:';

/** Where a clicked tile places its element. */
export const CLICK_ADD_POSITION = { x: 20, y: 20 } as const;

export const primitiveItems: readonly PaletteItem[] = [
  { key: 'rect', label: 'Прямоугольник', category: 'Примитивы' },
  { key: 'text', label: 'Текст', category: 'Примитивы' },
  { key: 'value', label: 'Значение', category: 'Примитивы' },
  { key: 'indicator', label: 'Индикатор', category: 'Примитивы' },
  { key: 'polyline', label: 'Труба', category: 'Трубы / линии' },
];

/** Every item of the palette: the registered symbols in registration order, then the primitives. */
export function paletteItems(entries: readonly SymbolEntry[] = listSymbols()): PaletteItem[] {
  const symbols = entries.map((entry) => ({
    key: SYMBOL_KEY_PREFIX + entry.symbolId,
    label: entry.label,
    category: entry.category,
  }));
  return [...symbols, ...primitiveItems];
}

/** The items whose label, lower-cased, contains the lower-cased query; the query is not trimmed. */
export function filterItems(items: readonly PaletteItem[], query: string): PaletteItem[] {
  const needle = query.toLowerCase();
  return items.filter((item) => item.label.toLowerCase().includes(needle));
}

export interface PaletteCategory {
  name: string;
  items: PaletteItem[];
}

/** Items grouped by category, categories in the order of their first item. */
export function groupItems(items: readonly PaletteItem[]): PaletteCategory[] {
  const groups: PaletteCategory[] = [];
  const byName = new Map<string, PaletteCategory>();
  for (const item of items) {
    let group = byName.get(item.category);
    if (group === undefined) {
      group = { name: item.category, items: [] };
      byName.set(item.category, group);
      groups.push(group);
    }
    group.items.push(item);
  }
  return groups;
}

/**
 * A new element for a palette key at (x, y), made by the factories: a symbol
 * for "symbol:" and an id (an unregistered id gets the placeholder's size), a
 * pipe for "polyline", a primitive of its kind. Undefined for text that names
 * none of these, so foreign drag data adds nothing.
 */
export function createElementForKey(key: string, x: number, y: number): SchemeElement | undefined {
  if (key.startsWith(SYMBOL_KEY_PREFIX)) {
    return createSymbolElement(key.slice(SYMBOL_KEY_PREFIX.length), x, y);
  }
  if (key === 'polyline') return createPipe(x, y);
  if (isPrimitiveType(key)) return createPrimitive(key, x, y);
  return undefined;
}
