import type { PointValue } from '../data';
import type { SchemeElement } from './types';

/**
 * Digits after the point for a number. A `fractionDigits` that is not a
 * number counts as absent; one outside 0..100 (the fixed-point conversion's
 * range) is clamped to it and a fractional one is truncated, so formatting
 * never throws whatever a scheme file holds.
 */
function fixedDigits(fractionDigits: unknown): number | undefined {
  if (typeof fractionDigits !== 'number' || Number.isNaN(fractionDigits)) return undefined;
  return Math.trunc(Math.min(100, Math.max(0, fractionDigits)));
}

/**
 * `v` with exactly `digits` digits after the point. From 1e21 on the
 * platform's conversion switches to exponent notation ("1e+21"); numbers that
 * large are whole, so their exact decimal text is that of the integer.
 */
function fixedText(v: number, digits: number): string {
  if (Number.isFinite(v) && Math.abs(v) >= 1e21) {
    const whole = BigInt(v).toString();
    return digits === 0 ? whole : `${whole}.${'0'.repeat(digits)}`;
  }
  return v.toFixed(digits);
}

/**
 * The text of a "value" element: prefix, the value and suffix. A number is
 * written with exactly `fractionDigits` digits (halfway cases of its exact
 * binary value away from zero: 185.5 → "186") or, without them, as its
 * shortest decimal text; flags and texts as their text form; no value as "—".
 */
export function formatValue(element: SchemeElement, value: PointValue | undefined | null): string {
  const prefix = element.prefix ?? '';
  const suffix = element.suffix ?? '';
  const v: unknown = value === undefined || value === null ? undefined : value.value;
  if (v === undefined || v === null) return `${prefix}—${suffix}`;
  let text: string;
  if (typeof v === 'number') {
    const digits = fixedDigits(element.fractionDigits);
    text = digits === undefined ? String(v) : fixedText(v, digits);
  } else {
    text = String(v);
  }
  return `${prefix}${text}${suffix}`;
}
