import type { ElementStyle, SchemeElement } from '../scheme';

/** The outline colour common to the symbols. */
export const OUTLINE = '#8a9099';

export function clamp01(v: number): number {
  if (v < 0) return 0;
  if (v > 1) return 1;
  return v;
}

function numberParam(element: SchemeElement, key: string, fallback: number): number {
  const params: unknown = element.params;
  if (typeof params !== 'object' || params === null) return fallback;
  const value = (params as Record<string, unknown>)[key];
  return typeof value === 'number' ? value : fallback;
}

export function paramMin(element: SchemeElement): number {
  return numberParam(element, 'min', 0);
}

export function paramMax(element: SchemeElement): number {
  return numberParam(element, 'max', 100);
}

/** `params.label` when it is a text, else the empty text. */
export function paramLabel(element: SchemeElement): string {
  const params: unknown = element.params;
  if (typeof params !== 'object' || params === null) return '';
  const label = (params as Record<string, unknown>).label;
  return typeof label === 'string' ? label : '';
}

/** `params.warnFrom` when it is a number. */
export function paramWarnFrom(element: SchemeElement): number | undefined {
  const params: unknown = element.params;
  if (typeof params !== 'object' || params === null) return undefined;
  const warnFrom = (params as Record<string, unknown>).warnFrom;
  return typeof warnFrom === 'number' ? warnFrom : undefined;
}

/**
 * Where `v` lies between `params.min` and `params.max`, clamped to 0..1.
 * An empty range gives 0, and so does a fraction that cannot be computed
 * (a NaN value), so that no shape ever gets "NaN" as a coordinate.
 */
export function valueFraction(v: number, element: SchemeElement): number {
  const min = paramMin(element);
  const max = paramMax(element);
  if (max === min) return 0;
  const f = clamp01((v - min) / (max - min));
  return Number.isNaN(f) ? 0 : f;
}

/** The value as a number when it is one. */
export function numericValue(value: { value: unknown } | undefined): number | undefined {
  return value !== undefined && typeof value.value === 'number' ? value.value : undefined;
}

/** The style's fill when it is present (set and not null). */
export function styleFill(style: ElementStyle | undefined): string | undefined {
  const fill = style?.fill;
  return fill === undefined || fill === null ? undefined : fill;
}

/** The base fill of the element, or `fallback`. */
export function baseFill(element: SchemeElement, fallback: string): string {
  return styleFill(element.style) ?? fallback;
}

/** The attribute selector of a part name; built once per part, not per update. */
export function partSelector(part: string): string {
  return `[data-part="${part}"]`;
}

/** Writes the style's fill, when it has one, on the first shape matching `selector`. */
export function fillPart(node: Element, selector: string, style: ElementStyle): void {
  const fill = styleFill(style);
  if (fill !== undefined) node.querySelector(selector)?.setAttribute('fill', fill);
}

const FLAME = partSelector('flame');

/** Shows the flame while the style's `flow` is exactly true. */
export function showFlame(node: Element, style: ElementStyle): void {
  node.querySelector(FLAME)?.setAttribute('visibility', style.flow === true ? 'visible' : 'hidden');
}
