// Factories of new elements. They share one id counter for the whole page,
// which is not part of any editor state: it keeps rising across editors, and
// a collision with an id already in a scheme is resolved by the "add"
// command. Fields are created in the order in which they are written to JSON.

import type { SchemeElement } from '../../scheme';
import { findSymbol } from '../../symbols';

export type PrimitiveType = 'rect' | 'text' | 'value' | 'indicator';

export const primitiveTypes: readonly PrimitiveType[] = ['rect', 'text', 'value', 'indicator'];

export function isPrimitiveType(value: unknown): value is PrimitiveType {
  return typeof value === 'string' && (primitiveTypes as readonly string[]).includes(value);
}

/** Size of a symbol element whose id has no definition. */
const FALLBACK_SYMBOL_SIZE = 48;

let elementCounter = 0;

function nextElementId(): string {
  elementCounter += 1;
  return `el-${elementCounter}`;
}

export function createPrimitive(type: PrimitiveType, x: number, y: number): SchemeElement {
  const id = nextElementId();
  switch (type) {
    case 'rect':
      return {
        id,
        x,
        y,
        width: 80,
        height: 40,
        type: 'rect',
        style: { fill: '#cccccc', stroke: '#333333', strokeWidth: 1 },
      };
    case 'text':
      return {
        id,
        x,
        y,
        width: 80,
        height: 40,
        type: 'text',
        content: 'Текст',
        style: { fill: '#000000' },
      };
    case 'value':
      return {
        id,
        x,
        y,
        width: 80,
        height: 40,
        type: 'value',
        fractionDigits: 1,
        style: { fill: '#000000' },
      };
    case 'indicator':
      return { id, x, y, width: 40, height: 40, type: 'indicator', style: { fill: '#22aa22' } };
    default: {
      const never: never = type;
      throw new Error(`unknown primitive type: ${String(never)}`);
    }
  }
}

function defaultParams(symbolId: string): Record<string, unknown> | undefined {
  switch (symbolId) {
    case 'tank':
      return { min: 0, max: 20, units: 'ft' };
    case 'indicator-box':
      return { label: 'Normal' };
    default:
      return undefined;
  }
}

export function createSymbolElement(symbolId: string, x: number, y: number): SchemeElement {
  const id = nextElementId();
  const size = findSymbol(symbolId)?.defaultSize;
  const params = defaultParams(symbolId);
  return {
    id,
    type: 'symbol',
    symbolId,
    x,
    y,
    width: size?.width ?? FALLBACK_SYMBOL_SIZE,
    height: size?.height ?? FALLBACK_SYMBOL_SIZE,
    // An absent field is left out of the record rather than set to undefined.
    ...(params === undefined ? {} : { params }),
    style: {},
  };
}

export function createPipe(x: number, y: number): SchemeElement {
  return {
    id: nextElementId(),
    type: 'polyline',
    points: [x, y, x + 80, y],
    x,
    y,
    width: 80,
    height: 0,
    style: { stroke: '#4a8f4a', strokeWidth: 4, flow: true },
  };
}
