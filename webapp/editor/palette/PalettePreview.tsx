// A tile's 40 × 40 picture. Elements are drawn by the same renderer as the
// schemes, from a page-wide cache so each key is made once per page; the
// previews are never bound to data.

import { memo } from 'react';
import type { SchemeElement } from '../../scheme';
import { renderElement } from '../../view';
import { useSymbolsVersion } from '../../symbols';
import { Icon } from '../kit';
import { SYMBOL_KEY_PREFIX, createElementForKey } from './items';

/** Item key → the element of that key's tile, made at (0, 0) the first time the tile is drawn. */
export const previewCache = new Map<string, SchemeElement>();

function cachedPreview(key: string): SchemeElement | undefined {
  let element = previewCache.get(key);
  if (element === undefined) {
    const made = createElementForKey(key, 0, 0);
    if (made === undefined) return undefined;
    element = { ...made, id: `preview-${key}` };
    previewCache.set(key, element);
  }
  return element;
}

function placement(key: string): Partial<SchemeElement> | undefined {
  if (key.startsWith(SYMBOL_KEY_PREFIX)) return { x: 2, y: 2, width: 36, height: 36 };
  if (key === 'polyline') return { points: [4, 20, 36, 20], x: 4, y: 20, width: 32, height: 0 };
  if (key === 'indicator') return { x: 8, y: 8, width: 24, height: 24 };
  return undefined;
}

const ICON_KEYS: readonly string[] = ['rect', 'text', 'value'];

function ignoreNode(): void {}

export interface PalettePreviewProps {
  itemKey: string;
}

export const PalettePreview = memo(function PalettePreview({ itemKey }: PalettePreviewProps) {
  // An own symbol's drawing may change on disk while its tile is shown.
  useSymbolsVersion();
  // Every tile makes its entry, an icon tile too, so each first drawing takes
  // a number from the element-id counter whatever its picture.
  const element = cachedPreview(itemKey);
  const place = placement(itemKey);
  if (place === undefined || element === undefined) {
    return <Icon name={ICON_KEYS.includes(itemKey) ? itemKey : 'rect'} size={22} />;
  }
  return (
    <svg width={40} height={40} viewBox="0 0 40 40" aria-hidden="true">
      {renderElement({ ...element, ...place }, ignoreNode)}
    </svg>
  );
});
