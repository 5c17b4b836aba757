// Own symbols: SVG drawings from the station's symbol folder, registered as
// "file:<name>" beside the built-in symbols. The program has sanitised every
// drawing already; here it is parsed once, inertly (DOMParser, never
// innerHTML), into a tree of allowed elements that `render` turns into the
// same element descriptions as the built-in symbols draw, so the runtime view,
// the canvas and the palette take them alike. The drawing is scaled into the
// element's box by a nested svg with the file's viewBox. Shapes marked
// data-part="fill" take the element's fill, those marked data-part="text" its
// text, and follow the rules through `update` as the built-in parts do.

import { createElement, type ReactElement, type ReactNode } from 'react';
import type { ElementStyle, SchemeElement } from '../scheme';
import { registerSymbol, unregisterSymbol } from './registry';
import { paramLabel, partSelector, styleFill } from './shared';
import type { SymbolDefinition, SymbolSize } from './types';

/** Prefix of an own symbol's id; the rest is the file's name without ".svg". */
export const OWN_SYMBOL_PREFIX = 'file:';
/** The palette group of own symbols. */
export const OWN_SYMBOL_CATEGORY = 'Свои символы';

/** One symbol of the program's listing. */
export interface OwnSymbolListing {
  name: string;
  /** The sanitised drawing: an svg root with a viewBox. */
  svg: string;
  /** The drawing's own size, from which a new element's size is taken. */
  width: number;
  height: number;
}

const SVG_NS = 'http://www.w3.org/2000/svg';

// The program lets nothing else through; the page keeps to the same list, so a
// drawing that did not come through the program cannot bring more.
const ALLOWED = new Set([
  'g',
  'defs',
  'symbol',
  'use',
  'path',
  'rect',
  'circle',
  'ellipse',
  'line',
  'polyline',
  'polygon',
  'text',
  'tspan',
  'textPath',
  'linearGradient',
  'radialGradient',
  'stop',
  'clipPath',
  'mask',
  'pattern',
  'marker',
  'filter',
  'feBlend',
  'feColorMatrix',
  'feComposite',
  'feDropShadow',
  'feFlood',
  'feGaussianBlur',
  'feMerge',
  'feMergeNode',
  'feMorphology',
  'feOffset',
  'svg',
]);
const TEXT_HOLDERS = new Set(['text', 'tspan', 'textPath']);

const FILL = partSelector('fill');
const TEXT = partSelector('text');

/** A shape of the drawing; `part` marks the shapes that follow the element. */
interface DrawnNode {
  tag: string;
  props: Record<string, string>;
  children: (DrawnNode | string)[];
  part?: 'fill' | 'text';
  /** Whether a part lies at or below it: the rest is drawn once and reused. */
  dynamic: boolean;
  /** The description of a node without parts, made once. */
  fixed?: ReactElement;
}

/** The React prop of an SVG attribute: "stroke-width" is strokeWidth, data- and aria- stay. */
function propName(attribute: string): string {
  if (!attribute.includes('-') || attribute.startsWith('data-') || attribute.startsWith('aria-')) {
    return attribute;
  }
  return attribute.replace(/-([a-z])/g, (_match, letter: string) => letter.toUpperCase());
}

function safeValue(name: string, value: string): boolean {
  if (name === 'href') return value.startsWith('#');
  const lower = value.toLowerCase();
  return !lower.includes('javascript:') && !/url\(\s*['"]?[^#\s'"]/.test(lower);
}

/**
 * Reads the drawing's tree. Ids are prefixed so that two drawings (or a
 * drawing and the page) never share one; references inside follow them.
 */
function readTree(source: Element, prefix: string): DrawnNode | undefined {
  const tag = source.localName;
  if (source.namespaceURI !== SVG_NS || !ALLOWED.has(tag)) return undefined;
  const props: Record<string, string> = {};
  let part: DrawnNode['part'];
  for (const attribute of Array.from(source.attributes)) {
    if (attribute.namespaceURI !== null || attribute.name === 'style') continue;
    const name = attribute.name;
    if (name.toLowerCase().startsWith('on') || !safeValue(name, attribute.value)) continue;
    let value = attribute.value;
    if (name === 'id') value = prefix + value;
    else if (name === 'href') value = `#${prefix}${value.slice(1)}`;
    else
      value = value.replace(
        /url\(\s*(['"]?)#/g,
        (_match, quote: string) => `url(${quote}#${prefix}`,
      );
    if (name === 'data-part' && (value === 'fill' || value === 'text')) part = value;
    props[propName(name)] = value;
  }
  const children: DrawnNode['children'] = [];
  source.childNodes.forEach((child) => {
    if (child.nodeType === child.TEXT_NODE || child.nodeType === child.CDATA_SECTION_NODE) {
      if (TEXT_HOLDERS.has(tag) && child.nodeValue) children.push(child.nodeValue);
    } else if (child.nodeType === child.ELEMENT_NODE) {
      const node = readTree(child as Element, prefix);
      if (node) children.push(node);
    }
  });
  const dynamic =
    part !== undefined || children.some((child) => typeof child !== 'string' && child.dynamic);
  return { tag, props, children, part, dynamic };
}

/** The drawn shapes' parts in document order, as querySelectorAll finds them. */
function collectParts(node: DrawnNode, kind: 'fill' | 'text', into: DrawnNode[]): DrawnNode[] {
  if (node.part === kind) into.push(node);
  for (const child of node.children) if (typeof child !== 'string') collectParts(child, kind, into);
  return into;
}

function textOf(node: DrawnNode): string {
  return node.children.map((child) => (typeof child === 'string' ? child : textOf(child))).join('');
}

/** The element's text: the style's `text` when set (an empty one too), else `params.label`. */
function elementText(element: SchemeElement, style: ElementStyle | undefined): string | undefined {
  const text: unknown = style?.text;
  if (text !== undefined && text !== null) return String(text);
  const label = paramLabel(element);
  return label === '' ? undefined : label;
}

interface Look {
  fill: string | undefined;
  text: string | undefined;
}

function describe(node: DrawnNode, look: Look): ReactElement {
  if (!node.dynamic) {
    node.fixed ??= describe({ ...node, dynamic: true }, look);
    return node.fixed;
  }
  const props: Record<string, unknown> = { ...node.props };
  if (node.part === 'fill' && look.fill !== undefined) props.fill = look.fill;
  let children: ReactNode[];
  if (node.part === 'text' && look.text !== undefined) {
    children = [look.text];
  } else {
    children = node.children.map((child) =>
      typeof child === 'string' ? child : describe(child, look),
    );
  }
  return createElement(node.tag, props, ...children);
}

// Sizes of new elements stay within those of the built-in symbols.
const SMALLEST_SIDE = 24;
const LARGEST_SIDE = 160;

/** A new element's size: the drawing's own, scaled so its longer side lies within 24…160. */
export function ownSymbolSize(width: number, height: number): SymbolSize {
  const w = Number.isFinite(width) && width > 0 ? width : LARGEST_SIDE / 2;
  const h = Number.isFinite(height) && height > 0 ? height : LARGEST_SIDE / 2;
  const longer = Math.max(w, h);
  const factor =
    longer > LARGEST_SIDE
      ? LARGEST_SIDE / longer
      : longer < SMALLEST_SIDE
        ? SMALLEST_SIDE / longer
        : 1;
  return {
    width: Math.max(1, Math.round(w * factor)),
    height: Math.max(1, Math.round(h * factor)),
  };
}

let drawings = 0;

/** The definition of one own symbol, or undefined when its drawing cannot be read. */
export function createOwnSymbol(listing: OwnSymbolListing): SymbolDefinition | undefined {
  const parsed = new DOMParser().parseFromString(listing.svg, 'image/svg+xml');
  const root = parsed.documentElement;
  if (root.localName !== 'svg' || root.getElementsByTagName('parsererror').length > 0) {
    return undefined;
  }
  drawings += 1;
  const tree = readTree(root, `own${drawings}-`);
  const viewBox = root.getAttribute('viewBox');
  if (tree === undefined || viewBox === null) return undefined;
  // The root becomes the nested svg that places the drawing in the element's box.
  delete tree.props.x;
  delete tree.props.y;
  delete tree.props.width;
  delete tree.props.height;
  tree.dynamic = true;
  const fills = collectParts(tree, 'fill', []).map((node) => node.props.fill);
  const texts = collectParts(tree, 'text', []).map(textOf);

  return {
    label: listing.name,
    category: OWN_SYMBOL_CATEGORY,
    defaultSize: ownSymbolSize(listing.width, listing.height),
    render(element) {
      const look = { fill: styleFill(element.style), text: elementText(element, element.style) };
      const drawing = describe(tree, look);
      return (
        <g>
          {createElement('svg', {
            ...drawing.props,
            x: element.x,
            y: element.y,
            width: element.width,
            height: element.height,
            overflow: 'visible',
          })}
        </g>
      );
    },
    update(node, _value, element, style) {
      const fill = styleFill(style);
      node.querySelectorAll(FILL).forEach((shape, i) => {
        // Without a fill of its own the shape goes back to the drawing's.
        const next = fill ?? fills[i];
        if (next === undefined) shape.removeAttribute('fill');
        else if (shape.getAttribute('fill') !== next) shape.setAttribute('fill', next);
      });
      const text = elementText(element, style);
      node.querySelectorAll(TEXT).forEach((shape, i) => {
        const next = text ?? texts[i] ?? '';
        if (shape.textContent !== next) shape.textContent = next;
      });
    },
  };
}

/** The symbols of the program's listing; anything that is not one is left out. */
export function parseOwnSymbolListing(text: string): OwnSymbolListing[] {
  const document = JSON.parse(text) as { symbols?: unknown };
  if (!Array.isArray(document.symbols)) return [];
  return document.symbols.filter((value): value is OwnSymbolListing => {
    if (typeof value !== 'object' || value === null) return false;
    const symbol = value as Record<string, unknown>;
    return (
      typeof symbol.name === 'string' &&
      symbol.name !== '' &&
      typeof symbol.svg === 'string' &&
      typeof symbol.width === 'number' &&
      typeof symbol.height === 'number'
    );
  });
}

/** Own symbols registered now, with the listing entry each was made from. */
const registered = new Map<string, { listing: OwnSymbolListing; definition: SymbolDefinition }>();

function sameListing(a: OwnSymbolListing, b: OwnSymbolListing): boolean {
  return a.svg === b.svg && a.width === b.width && a.height === b.height;
}

/**
 * Makes the own symbols of the registry those of `listings`, in their order
 * after the built-in ones: new and changed ones are registered, gone ones
 * removed, unchanged ones kept as they are. A drawing that cannot be read is
 * reported on `log` and left out.
 */
export function registerOwnSymbols(
  listings: readonly OwnSymbolListing[],
  log: Pick<Console, 'warn'> = console,
): void {
  const next = new Map<string, { listing: OwnSymbolListing; definition: SymbolDefinition }>();
  for (const listing of listings) {
    const symbolId = OWN_SYMBOL_PREFIX + listing.name;
    if (next.has(symbolId)) continue;
    const known = registered.get(symbolId);
    if (known && sameListing(known.listing, listing)) {
      next.set(symbolId, known);
      continue;
    }
    const definition = createOwnSymbol(listing);
    if (definition === undefined) {
      log.warn(`Own symbol "${listing.name}" not listed: its drawing cannot be read`);
      continue;
    }
    next.set(symbolId, { listing, definition });
  }
  const order = (map: Map<string, unknown>) => Array.from(map.keys()).join('\n');
  const sameOrder = order(next) === order(registered);
  if (sameOrder && Array.from(next).every(([id, entry]) => registered.get(id) === entry)) return;
  // Re-registered from scratch when the set changes, so that the palette keeps them by name.
  if (!sameOrder) registered.forEach((_entry, symbolId) => unregisterSymbol(symbolId));
  next.forEach((entry, symbolId) => {
    if (registered.get(symbolId) !== entry || !sameOrder)
      registerSymbol(symbolId, entry.definition);
  });
  registered.clear();
  next.forEach((entry, symbolId) => registered.set(symbolId, entry));
}
