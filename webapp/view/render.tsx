import { Fragment, isValidElement } from 'react';
import type { ReactElement, Ref } from 'react';
import { formatValue } from '../scheme';
import type { SchemeElement } from '../scheme';
import { findSymbol, symbolPlaceholder } from '../symbols';

/** Receives an element's drawn node when it is attached and null when it is detached. */
export type NodeCallback = (node: SVGElement | null) => void;

/** Pairs of numbers as "x,y" joined by blanks; a trailing odd number is dropped. */
export function pointsAttribute(points: readonly number[]): string {
  const pairs: string[] = [];
  for (let i = 0; i + 1 < points.length; i += 2) pairs.push(`${points[i]},${points[i + 1]}`);
  return pairs.join(' ');
}

function rotationTransform(element: SchemeElement): string | undefined {
  const angle = element.rotation;
  if (angle === undefined || angle === 0 || Number.isNaN(angle)) return undefined;
  const cx = element.x + element.width / 2;
  const cy = element.y + element.height / 2;
  return `rotate(${angle} ${cx} ${cy})`;
}

/**
 * The one mapping from a scheme element to SVG, shared by the runtime view,
 * the editing canvas and the palette previews. Unknown types draw nothing.
 */
export function renderElement(element: SchemeElement, onNode: NodeCallback): ReactElement | null {
  // Each case spells out its props in drawing order: a shared record spread
  // into every element costs a copy per element, which shows on large schemes.
  const { style, id } = element;
  switch (element.type) {
    case 'rect':
      return (
        <rect
          key={id}
          ref={onNode}
          data-element-id={id}
          opacity={style.opacity}
          transform={rotationTransform(element)}
          x={element.x}
          y={element.y}
          width={element.width}
          height={element.height}
          rx={element.rx}
          fill={style.fill ?? 'none'}
          stroke={style.stroke}
          strokeWidth={style.strokeWidth}
        />
      );
    case 'indicator':
      return (
        <circle
          key={id}
          ref={onNode}
          data-element-id={id}
          opacity={style.opacity}
          transform={rotationTransform(element)}
          cx={element.x + element.width / 2}
          cy={element.y + element.height / 2}
          r={Math.min(element.width, element.height) / 2}
          fill={style.fill ?? '#888'}
          stroke={style.stroke}
          strokeWidth={style.strokeWidth}
        />
      );
    case 'text':
    case 'value': {
      const fontSize = element.fontSize ?? 14;
      return (
        <text
          key={id}
          ref={onNode}
          data-element-id={id}
          opacity={style.opacity}
          transform={rotationTransform(element)}
          x={element.x}
          y={element.y + fontSize}
          fontSize={fontSize}
          fill={style.fill ?? '#000'}
        >
          {element.type === 'text' ? element.content : formatValue(element, undefined)}
        </text>
      );
    }
    case 'polyline':
      return (
        <polyline
          key={id}
          ref={onNode}
          data-element-id={id}
          opacity={style.opacity}
          transform={rotationTransform(element)}
          className="mnemo-pipe"
          points={pointsAttribute(element.points ?? [])}
          fill="none"
          stroke={style.stroke ?? '#4a4a4a'}
          strokeWidth={style.strokeWidth ?? 4}
        />
      );
    case 'symbol': {
      const symbol = findSymbol(element.symbolId);
      return (
        <g
          key={id}
          ref={onNode}
          data-element-id={id}
          opacity={style.opacity}
          transform={rotationTransform(element)}
        >
          {symbol ? symbol.render(element) : symbolPlaceholder(element)}
        </g>
      );
    }
    default:
      return null;
  }
}

// The same drawing without React. A large scheme drawn by React costs a fiber,
// a props diff and a ref per element on top of the DOM calls themselves; the
// runtime view draws what `renderElement` describes straight into its svg,
// setting the attributes React would set, in the same order, and reusing the
// nodes of a redrawn scheme by key as React reconciles keyed children.

const SVG_NS = 'http://www.w3.org/2000/svg';

// React's SVG attributes whose prop names are camel-cased; every other prop is
// written under its own name.
const HYPHENATED = [
  'accent-height',
  'alignment-baseline',
  'arabic-form',
  'baseline-shift',
  'cap-height',
  'clip-path',
  'clip-rule',
  'color-interpolation',
  'color-interpolation-filters',
  'color-profile',
  'color-rendering',
  'dominant-baseline',
  'enable-background',
  'fill-opacity',
  'fill-rule',
  'flood-color',
  'flood-opacity',
  'font-family',
  'font-size',
  'font-size-adjust',
  'font-stretch',
  'font-style',
  'font-variant',
  'font-weight',
  'glyph-name',
  'glyph-orientation-horizontal',
  'glyph-orientation-vertical',
  'horiz-adv-x',
  'horiz-origin-x',
  'image-rendering',
  'letter-spacing',
  'lighting-color',
  'marker-end',
  'marker-mid',
  'marker-start',
  'overline-position',
  'overline-thickness',
  'paint-order',
  'panose-1',
  'pointer-events',
  'rendering-intent',
  'shape-rendering',
  'stop-color',
  'stop-opacity',
  'strikethrough-position',
  'strikethrough-thickness',
  'stroke-dasharray',
  'stroke-dashoffset',
  'stroke-linecap',
  'stroke-linejoin',
  'stroke-miterlimit',
  'stroke-opacity',
  'stroke-width',
  'text-anchor',
  'text-decoration',
  'text-rendering',
  'underline-position',
  'underline-thickness',
  'unicode-bidi',
  'unicode-range',
  'units-per-em',
  'v-alphabetic',
  'v-hanging',
  'v-ideographic',
  'v-mathematical',
  'vector-effect',
  'vert-adv-y',
  'vert-origin-x',
  'vert-origin-y',
  'word-spacing',
  'writing-mode',
  'x-height',
];

const ATTRIBUTE_NAMES = new Map<string, string>([['className', 'class']]);
for (const name of HYPHENATED) {
  ATTRIBUTE_NAMES.set(
    name.replace(/-([a-z])/g, (_match, letter: string) => letter.toUpperCase()),
    name,
  );
}

// Props that never become attributes of their own.
const RESERVED = new Set([
  'children',
  'suppressContentEditableWarning',
  'suppressHydrationWarning',
  'autoFocus',
]);

// React 18 keeps `ref` on the element, beside its props.
type Description = ReactElement<Record<string, unknown>> & { ref?: Ref<Element> | null };

/** The attribute text React writes for a prop's value, or null when it writes none. */
function attributeText(name: string, value: unknown): string | null {
  switch (typeof value) {
    case 'string':
      return value;
    case 'number':
    case 'bigint':
      return '' + value;
    case 'boolean': {
      const prefix = name.slice(0, 5).toLowerCase();
      return prefix === 'data-' || prefix === 'aria-' ? '' + value : null;
    }
    case 'undefined':
    case 'function':
    case 'symbol':
      return null;
    default:
      return value === null ? null : '' + (value as object).toString();
  }
}

function isEventName(name: string): boolean {
  return (
    name.length > 2 && (name[0] === 'o' || name[0] === 'O') && (name[1] === 'n' || name[1] === 'N')
  );
}

// Prop name → attribute name, or null for a prop that is no attribute; prop
// names come from the code, so the map stays small.
const attributeNames = new Map<string, string | null>();

function attributeOf(name: string): string | null {
  let attribute = attributeNames.get(name);
  if (attribute === undefined) {
    if (name === 'style' || name === 'dangerouslySetInnerHTML') {
      // Nothing the element renderer or a symbol draws uses them.
      throw new Error(`"${name}" is not supported by the plain drawing`);
    }
    attribute =
      RESERVED.has(name) || isEventName(name) ? null : (ATTRIBUTE_NAMES.get(name) ?? name);
    attributeNames.set(name, attribute);
  }
  return attribute;
}

function writeProp(node: Element, name: string, value: unknown): void {
  const attribute = attributeOf(name);
  if (attribute === null) return;
  const text = attributeText(name, value);
  if (text === null) node.removeAttribute(attribute);
  else node.setAttribute(attribute, text);
}

function isText(children: unknown): children is string | number {
  return typeof children === 'string' || typeof children === 'number';
}

/** Builds the nodes of `description` into `parent`. Refs are the caller's business. */
function build(description: unknown, parent: Node): void {
  if (description === null || description === undefined || typeof description === 'boolean') {
    return;
  }
  if (typeof description === 'string') {
    if (description !== '') parent.appendChild(document.createTextNode(description));
    return;
  }
  if (typeof description === 'number') {
    parent.appendChild(document.createTextNode('' + description));
    return;
  }
  if (Array.isArray(description)) {
    for (let i = 0; i < description.length; i++) build(description[i], parent);
    return;
  }
  if (!isValidElement(description)) {
    throw new Error('only elements, texts and numbers can be drawn');
  }
  const element = description as Description;
  const { type, props } = element;
  if (type === Fragment) {
    build(props.children, parent);
    return;
  }
  if (typeof type !== 'string') throw new Error('only SVG elements can be drawn');
  const node = document.createElementNS(SVG_NS, type);
  const children = props.children;
  const text = isText(children);
  if (!text) build(children, node);
  for (const name in props) {
    const value = props[name];
    if (value === undefined || value === null) continue;
    if (name === 'children') {
      if (text) node.textContent = '' + children;
    } else {
      writeProp(node, name, value);
    }
  }
  parent.appendChild(node);
}

/** Builds a description of SVG (such as a component's drawing) into `parent` without React; refs are not called. */
export function drawInto(description: ReactElement | null, parent: Node): void {
  build(description, parent);
}

function setRef(ref: Ref<Element> | undefined, node: Element | null): void {
  if (typeof ref === 'function') ref(node);
  else if (ref) (ref as { current: Element | null }).current = node;
}

function kindOf(slot: unknown): string {
  if (slot === null || slot === undefined || typeof slot === 'boolean' || slot === '') return '';
  if (isText(slot)) return '#text';
  if (isValidElement(slot) && typeof slot.type === 'string') return slot.type;
  return '?';
}

/** Whether `next` can be written over the nodes drawn for `last`: the same elements in the same places. */
function sameShape(last: unknown, next: unknown): boolean {
  const lastList = Array.isArray(last) ? (last as unknown[]) : [last];
  const nextList = Array.isArray(next) ? (next as unknown[]) : [next];
  if (lastList.length !== nextList.length) return false;
  for (let i = 0; i < lastList.length; i++) {
    const kind = kindOf(lastList[i]);
    if (kind === '?' || kind !== kindOf(nextList[i])) return false;
    if (kind !== '' && kind !== '#text') {
      const lastProps = (lastList[i] as Description).props;
      const nextProps = (nextList[i] as Description).props;
      const lastText = isText(lastProps.children);
      if (lastText !== isText(nextProps.children)) return false;
      if (!lastText && !sameShape(lastProps.children, nextProps.children)) return false;
    }
  }
  return true;
}

/** Writes what changed from `last` to `next` onto `node`, as React updates a host element. */
function patch(node: Element, last: Description, next: Description): void {
  const lastProps = last.props;
  const nextProps = next.props;
  for (const name in lastProps) {
    if (name === 'children' || name in nextProps) continue;
    const value = lastProps[name];
    if (value !== undefined && value !== null) writeProp(node, name, undefined);
  }
  for (const name in nextProps) {
    const value = nextProps[name];
    const before = lastProps[name];
    if (
      value === before ||
      ((value === undefined || value === null) && (before === undefined || before === null))
    ) {
      continue;
    }
    if (name === 'children') {
      if (isText(value)) node.textContent = '' + value;
    } else {
      writeProp(node, name, value);
    }
  }
  const lastChildren = lastProps.children;
  const nextChildren = nextProps.children;
  if (isText(nextChildren)) return;
  const lastList = Array.isArray(lastChildren) ? (lastChildren as unknown[]) : [lastChildren];
  const nextList = Array.isArray(nextChildren) ? (nextChildren as unknown[]) : [nextChildren];
  let child = node.firstChild;
  for (let i = 0; i < nextList.length; i++) {
    const kind = kindOf(nextList[i]);
    if (kind === '' || child === null) continue;
    if (kind === '#text') {
      const text = '' + (nextList[i] as string | number);
      if (child.nodeValue !== text) child.nodeValue = text;
    } else {
      patch(child as Element, lastList[i] as Description, nextList[i] as Description);
    }
    child = child.nextSibling;
  }
}

interface Drawn {
  key: string | null;
  node: Element;
  description: Description;
}

/** A scheme's elements drawn into an svg without React. */
export interface SchemeDrawing {
  /**
   * Draws `elements` through `renderElement`, each with the callback
   * `onNodeFor` gives it. A later call redraws in place: nodes are reused by
   * key and type, written where their drawing changed and put in the new
   * order; every node callback of the last call gets null first.
   */
  draw(
    elements: readonly SchemeElement[],
    onNodeFor: (element: SchemeElement) => NodeCallback,
  ): void;
  /** Ends the drawing: every node callback gets null; the next `draw` starts on an empty svg. */
  clear(): void;
}

export function createSchemeDrawing(svg: Element): SchemeDrawing {
  let drawn: Drawn[] = [];

  function detach(): void {
    for (let i = 0; i < drawn.length; i++) setRef(drawn[i].description.ref ?? undefined, null);
  }

  return {
    draw(elements, onNodeFor) {
      detach();
      const last = new Map<string | null, Drawn[]>();
      for (const entry of drawn) {
        const list = last.get(entry.key);
        if (list) list.push(entry);
        else last.set(entry.key, [entry]);
      }
      const next: Drawn[] = [];
      let fresh: DocumentFragment | undefined;
      if (drawn.length === 0) {
        // What an earlier drawing left (see `clear`) goes first.
        if (svg.firstChild) svg.textContent = '';
        fresh = document.createDocumentFragment();
      }
      for (let i = 0; i < elements.length; i++) {
        const description = renderElement(
          elements[i],
          onNodeFor(elements[i]),
        ) as Description | null;
        if (description === null) continue;
        const key = description.key;
        const candidates = last.get(key);
        const at = candidates?.findIndex(
          (entry) =>
            entry.description.type === description.type &&
            sameShape(entry.description.props.children, description.props.children),
        );
        if (candidates && at !== undefined && at >= 0) {
          const [reused] = candidates.splice(at, 1);
          patch(reused.node, reused.description, description);
          next.push({ key, node: reused.node, description });
          continue;
        }
        const holder = fresh ?? document.createDocumentFragment();
        build(description, holder);
        next.push({ key, node: holder.lastChild as Element, description });
      }
      if (fresh) {
        svg.appendChild(fresh);
      } else {
        last.forEach((list) => list.forEach((entry) => entry.node.remove()));
        let cursor = svg.firstChild;
        for (const entry of next) {
          if (entry.node === cursor) cursor = cursor.nextSibling;
          else svg.insertBefore(entry.node, cursor);
        }
      }
      drawn = next;
      for (let i = 0; i < next.length; i++)
        setRef(next[i].description.ref ?? undefined, next[i].node);
    },
    clear() {
      // The nodes stay: the svg is on its way out with them, and removing
      // thousands of nodes one step before it would cost as much again. A
      // later `draw` starts afresh.
      detach();
      drawn = [];
    },
  };
}
