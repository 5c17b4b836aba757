import type { SchemeElement } from '../../scheme';
import { createPipe, createPrimitive, createSymbolElement, isPrimitiveType } from '../model';

/** Drag data type of the palette's tiles. */
export const ADD_DATA_TYPE = 'application/x-mnemo-add';

const SYMBOL_PREFIX = 'symbol:';

/**
 * The element that a palette key adds with its top-left corner at (x, y);
 * nothing for text that is no palette key (a text dragged in from elsewhere).
 */
export function elementForDrop(data: string, x: number, y: number): SchemeElement | undefined {
  if (data.startsWith(SYMBOL_PREFIX)) {
    const symbolId = data.slice(SYMBOL_PREFIX.length);
    return symbolId === '' ? undefined : createSymbolElement(symbolId, x, y);
  }
  if (data === 'polyline') return createPipe(x, y);
  if (isPrimitiveType(data)) return createPrimitive(data, x, y);
  return undefined;
}
