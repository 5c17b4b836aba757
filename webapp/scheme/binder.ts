// Live values never pass through React. A view draws its scheme once and
// collects the drawn nodes in a NodeMap; the binder subscribes to the
// scheme's points and, for each delivered value, resolves the style of every
// element bound to that point and writes attributes, text, marker classes and
// symbol parts straight into those nodes.
import type { DataSource, PointValue } from '../data';
import { findSymbol } from '../symbols';
import { isRecord } from './condition';
import { formatValue } from './format';
import { applyStyle, resolveStyle } from './style';
import type { ElementStyle, Scheme, SchemeElement } from './types';
import { collectPointIds } from './validation';

/** One drawn element: its top SVG node and the element record it was drawn from. */
export interface ElementNode {
  node: Element;
  element: SchemeElement;
}

/** The drawn nodes of a view, by element id. */
export type NodeMap = Map<string, ElementNode>;

export interface Binder {
  /** Writes the base look of every drawn element, then follows the scheme's points. */
  start(): void;
  /** Ends the subscription; no value reaches the nodes afterwards. Repeating it does nothing. */
  stop(): void;
}

/** Marks an element whose value is not of "good" quality. */
const QUALITY_BAD_CLASS = 'mnemo-quality-bad';

/**
 * Resolves the element's style for `value`, writes it onto `node` and does
 * the per-type update: the value text, a style `text` on texts, the flow
 * marker on pipes, the symbol's own parts.
 */
export function applyElement(
  node: Element,
  element: SchemeElement,
  value: PointValue | undefined | null,
): void {
  // Without a value no rule matches and the style is the base style, read as
  // it is: the first pass over a large scheme need not copy every record.
  const style =
    value === undefined || value === null ? baseStyle(element) : resolveStyle(element, value);
  applyStyle(node, style);
  // Only a value of doubtful quality touches the class; good values leave the node as drawn.
  const doubtful = value !== undefined && value !== null && value.status !== 'good';
  if (doubtful !== node.classList.contains(QUALITY_BAD_CLASS)) {
    node.classList.toggle(QUALITY_BAD_CLASS, doubtful);
  }
  switch (element.type) {
    case 'value':
      writeText(node, formatValue(element, value));
      break;
    case 'text':
      if (style.text !== undefined && style.text !== null) writeText(node, String(style.text));
      break;
    case 'polyline':
      node.classList.toggle('mnemo-flow', style.flow === true);
      break;
    case 'symbol':
      findSymbol(element.symbolId)?.update(node, value ?? undefined, element, style);
      break;
    case 'rect':
    case 'indicator':
      break;
    default: {
      // Unknown types are never drawn, so they have no node to reach here.
      const unknownType: never = element.type;
      void unknownType;
    }
  }
}

const NO_STYLE: ElementStyle = Object.freeze({});

function baseStyle(element: SchemeElement): ElementStyle {
  const style: unknown = element.style;
  return isRecord(style) ? (style as ElementStyle) : NO_STYLE;
}

/** Replaces the node's text unless it already reads so (see `writeAttribute`). */
function writeText(node: Element, text: string): void {
  if (node.textContent !== text) node.textContent = text;
}

export function createBinder(
  scheme: Scheme,
  dataSource: DataSource,
  nodeMap: ReadonlyMap<string, ElementNode>,
): Binder {
  // Fixed for the binder's life: a changed scheme gets a new binder.
  const byPoint = new Map<string, SchemeElement[]>();
  for (const element of scheme.elements) {
    const pointId: unknown = element.pointId;
    if (typeof pointId !== 'string' || pointId === '') continue;
    const list = byPoint.get(pointId);
    if (list === undefined) byPoint.set(pointId, [element]);
    else list.push(element);
  }

  function deliver(values: readonly PointValue[]): void {
    for (let i = 0; i < values.length; i++) {
      const value = values[i];
      const elements = byPoint.get(value.id);
      if (elements === undefined) continue;
      for (let j = 0; j < elements.length; j++) {
        const element = elements[j];
        const entry = nodeMap.get(element.id);
        if (entry !== undefined) applyElement(entry.node, element, value);
      }
    }
  }

  // The running subscription. Callbacks and the read answer check that their
  // own session is still the current one, so a read that fulfils after
  // `stop` (or after a restart) writes nothing.
  let current: { unsubscribe?: () => void } | undefined;

  return {
    start() {
      if (current !== undefined) return;
      const ids = collectPointIds(scheme);
      nodeMap.forEach((entry) => applyElement(entry.node, entry.element, undefined));
      const session: { unsubscribe?: () => void } = {};
      current = session;
      session.unsubscribe = dataSource.subscribe(ids, (values) => {
        if (current === session) deliver(values);
      });
      void dataSource.read(ids).then((values) => {
        if (current === session) deliver(values);
      });
    },
    stop() {
      const session = current;
      if (session === undefined) return;
      current = undefined;
      session.unsubscribe?.();
    },
  };
}
