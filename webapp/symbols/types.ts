import type { ReactElement } from 'react';
import type { PointValue } from '../data';
import type { ElementStyle, SchemeElement } from '../scheme';

export interface SymbolSize {
  width: number;
  height: number;
}

/** How one equipment symbol is drawn into an element's box and kept up to date. */
export interface SymbolDefinition {
  /** Display name on palette tiles and in the inspector. */
  label: string;
  /** Palette group; several symbols share one. */
  category: string;
  /** Size of a newly created element of this symbol, in scheme units. */
  defaultSize: SymbolSize;
  /**
   * Draws the symbol before any value: one group of shapes in absolute scheme
   * coordinates, depending on nothing but the element. Rotation and opacity
   * belong to the element's own group around it.
   */
  render(element: SchemeElement): ReactElement;
  /**
   * Changes the drawn shapes in place. `node` is the element's group holding
   * what `render` drew; shapes are found by their "data-part" attribute and a
   * missing one is skipped. `value` is absent before the first value arrives.
   */
  update(
    node: Element,
    value: PointValue | undefined,
    element: SchemeElement,
    style: ElementStyle,
  ): void;
}

/** One line of the registry's listing. */
export interface SymbolEntry {
  symbolId: string;
  label: string;
  category: string;
  defaultSize: SymbolSize;
}
