// Pure helpers of the rule editor. A rule is never changed in place: every
// helper builds new records and keeps what it does not touch, including
// properties the editor does not know.

import type { Condition, ConditionField, ConditionOp, ElementStyle } from '../../scheme';

export const ruleFieldOptions: readonly { value: ConditionField; label: string }[] = [
  { value: 'value', label: 'значение' },
  { value: 'status', label: 'статус' },
];

export interface RuleOperator {
  op: ConditionOp;
  symbol: string;
  title: string;
}

export const ruleOperators: readonly RuleOperator[] = [
  { op: 'eq', symbol: '=', title: 'равно' },
  { op: 'ne', symbol: '≠', title: 'не равно' },
  { op: 'gt', symbol: '>', title: 'больше' },
  { op: 'gte', symbol: '≥', title: 'больше или равно' },
  { op: 'lt', symbol: '<', title: 'меньше' },
  { op: 'lte', symbol: '≤', title: 'меньше или равно' },
];

export type RulePropertyKind = 'color' | 'number' | 'flag' | 'text';
export type RulePropertyName = keyof ElementStyle;

export interface RuleProperty {
  name: RulePropertyName;
  label: string;
  kind: RulePropertyKind;
  defaultValue: string | number | boolean;
}

export const ruleProperties: readonly RuleProperty[] = [
  { name: 'fill', label: 'заливка', kind: 'color', defaultValue: '#000000' },
  { name: 'stroke', label: 'контур', kind: 'color', defaultValue: '#000000' },
  { name: 'strokeWidth', label: 'толщина контура', kind: 'number', defaultValue: 1 },
  { name: 'opacity', label: 'непрозрачность', kind: 'number', defaultValue: 1 },
  { name: 'visible', label: 'видимость', kind: 'flag', defaultValue: true },
  { name: 'blink', label: 'мигание', kind: 'flag', defaultValue: true },
  { name: 'text', label: 'текст', kind: 'text', defaultValue: '' },
  { name: 'flow', label: 'поток', kind: 'flag', defaultValue: true },
];

export function findRuleProperty(name: string): RuleProperty | undefined {
  return ruleProperties.find((property) => property.name === name);
}

/**
 * "If the value is at least 0, fill red." Frozen, since rules are shared
 * between lists and never changed in place.
 */
export const newRuleTemplate: Readonly<Condition> = Object.freeze({
  when: Object.freeze({ field: 'value', op: 'gte', value: 0 } as const),
  set: Object.freeze({ fill: '#d1242f' }),
});

function defines(set: object, name: string): boolean {
  return (
    Object.prototype.hasOwnProperty.call(set, name) &&
    (set as Record<string, unknown>)[name] !== undefined
  );
}

/** The first rule property, in table order, that the set defines. */
export function primaryProperty(set: ElementStyle): RulePropertyName | undefined {
  return ruleProperties.find((property) => defines(set, property.name))?.name;
}

/** How many rule properties the set defines beside the primary one. */
export function extraPropertyCount(set: ElementStyle): number {
  const count = ruleProperties.filter((property) => defines(set, property.name)).length;
  return Math.max(0, count - 1);
}

/** "true" and "false" become flags, numeric text a number; anything else stays text. */
export function parseThreshold(text: string): number | string | boolean {
  if (text === 'true') return true;
  if (text === 'false') return false;
  if (text.trim() !== '') {
    const number = Number(text);
    if (Number.isFinite(number)) return number;
  }
  return text;
}

/**
 * A copy of the set showing `to` instead of `from`: `from` is removed, and `to`
 * gets its default unless the set already holds a value for it.
 */
export function switchProperty(
  set: ElementStyle,
  from: RulePropertyName | undefined,
  to: RulePropertyName,
): ElementStyle {
  const copy: Record<string, unknown> = { ...set };
  if (from !== undefined && from !== to) delete copy[from];
  if (!defines(copy, to)) {
    const property = findRuleProperty(to);
    if (property !== undefined) copy[to] = property.defaultValue;
  }
  return copy as ElementStyle;
}

/** A copy of the set with one property replaced. */
export function setRuleProperty(
  set: ElementStyle,
  name: RulePropertyName,
  value: unknown,
): ElementStyle {
  return { ...set, [name]: value };
}
