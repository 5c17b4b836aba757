import type { PointStatus, PointValue } from '../data';
import { evaluateCondition } from './condition';
import type { Condition } from './types';

function point(value: unknown, status: PointStatus = 'good'): PointValue {
  return { id: 'P-1', value: value as number, status, timestamp: 0 };
}

function when(op: string, value: unknown, field = 'value'): Condition['when'] {
  return { field, op, value } as Condition['when'];
}

describe('evaluateCondition', () => {
  it.each([
    // orderings read both sides as numbers
    ['gte 70 holds at 70', when('gte', 70), point(70), true],
    ['gte 70 holds at 70.5', when('gte', 70), point(70.5), true],
    ['gte 70 fails at 69.99', when('gte', 70), point(69.99), false],
    ['gte 70 fails for true (read as 1)', when('gte', 70), point(true), false],
    ['gt 0 holds for true', when('gt', 0), point(true), true],
    ['gte 0 holds for false (read as 0)', when('gte', 0), point(false), true],
    ['gt text "5" holds for 6', when('gt', '5'), point(6), true],
    ['gt text "5" fails for 5', when('gt', '5'), point(5), false],
    ['gt text " 5 " ignores the blanks', when('gt', ' 5 '), point(6), true],
    ['lt the empty text reads as 0', when('lt', ''), point(-1), true],
    ['lte holds at equality', when('lte', 5), point(5), true],
    ['lt fails at equality', when('lt', 5), point(5), false],
    ['gt an unreadable text fails', when('gt', 'abc'), point(6), false],
    ['lte an unreadable text fails', when('lte', 'abc'), point(6), false],
    ['gt a missing threshold fails', when('gt', undefined), point(6), false],
    ['gt against a NaN value fails', when('gt', 0), point(NaN), false],
    ['lte against a NaN value fails', when('lte', 0), point(NaN), false],
    ['gt reads a text value as a number', when('gt', 5), point('6'), true],
    // identity without conversion
    ['eq true holds for true', when('eq', true), point(true), true],
    ['eq true fails for 1', when('eq', true), point(1), false],
    ['eq 1 fails for true', when('eq', 1), point(true), false],
    ['eq 1 fails for the text "1"', when('eq', 1), point('1'), false],
    ['eq 1 holds for 1', when('eq', 1), point(1), true],
    ['eq a text holds for the same text', when('eq', 'ОТКР'), point('ОТКР'), true],
    ['eq NaN fails for NaN', when('eq', NaN), point(NaN), false],
    ['ne NaN holds for NaN', when('ne', NaN), point(NaN), true],
    ['ne 1 holds for true', when('ne', 1), point(true), true],
    ['ne true fails for true', when('ne', true), point(true), false],
    // status
    ['status eq "good" holds for a good value', when('eq', 'good', 'status'), point(0), true],
    ['status eq "bad" fails for a good value', when('eq', 'bad', 'status'), point(0), false],
    [
      'status ne "good" holds for an uncertain value',
      when('ne', 'good', 'status'),
      point(0, 'uncertain'),
      true,
    ],
    ['status does not test the value', when('eq', 5, 'status'), point(5), false],
    ['any other field tests the value', when('eq', 5, 'quality'), point(5), true],
    // unknown operators
    ['an unknown operator fails', when('contains', 5), point(5), false],
    ['an operator in capitals fails', when('EQ', 5), point(5), false],
    [
      'a missing operator fails',
      { field: 'value', value: 5 } as Condition['when'],
      point(5),
      false,
    ],
  ])('%s', (_, test, value, expected) => {
    expect(evaluateCondition(test, value)).toBe(expected);
  });

  it.each([
    ['eq', 5],
    ['ne', 5],
    ['lte', 5],
  ])('fails without a value, even for %s', (op, threshold) => {
    expect(evaluateCondition(when(op, threshold), undefined)).toBe(false);
    expect(evaluateCondition(when(op, threshold), null)).toBe(false);
  });

  it.each([undefined, null, 'eq', [], 5])('fails for a test record of %j', (test) => {
    expect(evaluateCondition(test as unknown as Condition['when'], point(5))).toBe(false);
  });
});
