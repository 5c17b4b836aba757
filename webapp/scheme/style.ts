import type { PointValue } from '../data';
import { evaluateCondition, isRecord } from './condition';
import type { Condition, ElementStyle, SchemeElement } from './types';

/**
 * The element's style for `value`: its base style with the `set` of every
 * matching rule laid over it in list order, so that a key set by several
 * rules takes the last one's value and keys set only earlier stay. A rule
 * whose `set` is not a record never matches. Always a new record.
 */
export function resolveStyle(
  element: SchemeElement,
  value: PointValue | undefined | null,
): ElementStyle {
  const base: unknown = element.style;
  const style: Record<string, unknown> = isRecord(base) ? { ...base } : {};
  const conditions: unknown = element.conditions;
  if (value === undefined || value === null || !Array.isArray(conditions)) return style;
  for (let i = 0; i < conditions.length; i++) {
    const rule: unknown = conditions[i];
    if (!isRecord(rule)) continue;
    const set = rule.set;
    if (!isRecord(set) || !evaluateCondition(rule.when as Condition['when'], value)) continue;
    // Copied key by key rather than with Object.assign: a "__proto__" key
    // read from a file must not become the record's prototype.
    for (const key in set) {
      if (key !== '__proto__' && Object.prototype.hasOwnProperty.call(set, key)) {
        style[key] = set[key];
      }
    }
  }
  return style;
}

function present(value: unknown): boolean {
  return value !== undefined && value !== null;
}

/**
 * Writes a resolved style onto a drawn node. Colours, width and opacity are
 * written only when present, so an absent key leaves what the renderer or an
 * earlier resolution put there; visibility and the blink marker are written
 * on every call.
 */
export function applyStyle(node: Element, style: ElementStyle): void {
  if (present(style.fill)) writeAttribute(node, 'fill', String(style.fill));
  if (present(style.stroke)) writeAttribute(node, 'stroke', String(style.stroke));
  if (present(style.strokeWidth)) writeAttribute(node, 'stroke-width', String(style.strokeWidth));
  if (present(style.opacity)) writeAttribute(node, 'opacity', String(style.opacity));
  writeAttribute(node, 'visibility', style.visible === false ? 'hidden' : 'visible');
  node.classList.toggle('mnemo-blink', style.blink === true);
}

/**
 * Sets an attribute unless the node already holds that very text. The node
 * ends exactly as after an unconditional write, but most deliveries change
 * few colours, and reading an attribute costs a fraction of writing one
 * (a write, even of the same text, invalidates the node's style).
 */
export function writeAttribute(node: Element, name: string, value: string): void {
  if (node.getAttribute(name) !== value) node.setAttribute(name, value);
}
