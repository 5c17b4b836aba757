// The test of one condition rule against a live value. Scheme files are not
// checked below the element level, so every rule is read defensively: a
// malformed one simply never holds.
import type { PointValue } from '../data';
import type { Condition } from './types';

/** A value of object kind that is neither null nor a list. */
export function isRecord(value: unknown): value is Record<string, unknown> {
  return typeof value === 'object' && value !== null && !Array.isArray(value);
}

/**
 * Whether `when` holds for `value`. "eq" and "ne" compare without any
 * conversion (1 is not "1" and not true; NaN equals nothing); the orderings
 * compare the platform's number readings of both sides, and anything that
 * reads as NaN fails them. No value, a `when` that is not a record and an
 * unknown operator never hold.
 */
export function evaluateCondition(
  when: Condition['when'] | undefined,
  value: PointValue | undefined | null,
): boolean {
  if (value === undefined || value === null) return false;
  const test: unknown = when;
  if (!isRecord(test)) return false;
  const tested: unknown = test.field === 'status' ? value.status : value.value;
  const threshold = test.value;
  switch (test.op) {
    case 'eq':
      return tested === threshold;
    case 'ne':
      return tested !== threshold;
    case 'gt':
      return Number(tested) > Number(threshold);
    case 'gte':
      return Number(tested) >= Number(threshold);
    case 'lt':
      return Number(tested) < Number(threshold);
    case 'lte':
      return Number(tested) <= Number(threshold);
    default:
      return false;
  }
}
