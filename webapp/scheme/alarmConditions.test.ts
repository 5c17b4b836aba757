// The host's alarm engine reads the same table: an alarm's condition and the
// binder's rule of the same operator hold for the same values.
import table from '../../host/tests/data/alarm-conditions.json';
import type { PointValue } from '../data';
import { evaluateCondition } from './condition';
import type { Condition, ConditionOp } from './types';

const OPERATORS: Readonly<Record<string, ConditionOp>> = {
  hi: 'gte',
  hihi: 'gte',
  lo: 'lt',
  lolo: 'lt',
  state: 'eq',
};

interface Case {
  kind: string;
  limit: number | boolean;
  value: number | boolean;
  holds: boolean;
}

const cases: Case[] = table.cases;

describe('alarm conditions as binder rules', () => {
  it('covers every kind of the table', () => {
    expect(cases.length).toBeGreaterThan(0);
    expect(cases.filter((entry) => !(entry.kind in OPERATORS))).toEqual([]);
  });

  it.each(cases.map((entry) => [entry.kind, entry.limit, entry.value, entry.holds] as const))(
    '%s at %s for %s holds: %s',
    (kind, limit, value, holds) => {
      const when: Condition['when'] = { field: 'value', op: OPERATORS[kind], value: limit };
      const point: PointValue = { id: 'P-1', value, status: 'good', timestamp: 0 };
      expect(evaluateCondition(when, point)).toBe(holds);
    },
  );
});
