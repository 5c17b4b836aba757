// Public face of the editor's element palette.
export { ElementPalette } from './ElementPalette';
export { PalettePreview, previewCache } from './PalettePreview';
export type { PalettePreviewProps } from './PalettePreview';
export {
  CLICK_ADD_POSITION,
  PALETTE_DRAG_TYPE,
  SYMBOL_KEY_PREFIX,
  createElementForKey,
  filterItems,
  groupItems,
  paletteItems,
  primitiveItems,
} from './items';
export type { PaletteCategory, PaletteItem } from './items';
