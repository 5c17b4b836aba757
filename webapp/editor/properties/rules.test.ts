import { describe, expect, it } from 'vitest';
import type { ElementStyle } from '../../scheme';
import {
  extraPropertyCount,
  newRuleTemplate,
  parseThreshold,
  primaryProperty,
  switchProperty,
  type RulePropertyName,
} from './rules';

describe('primary property and the badge count', () => {
  it.each<[ElementStyle, RulePropertyName | undefined, number]>([
    [{}, undefined, 0],
    [{ fill: '#d1242f' }, 'fill', 0],
    [{ blink: true, fill: '#d1242f' }, 'fill', 1],
    [{ flow: true, text: 'A', opacity: 0.5 }, 'opacity', 2],
    [{ visible: false, stroke: '#000000', strokeWidth: 2, opacity: 1, blink: false }, 'stroke', 4],
  ])('%j shows %s with %i more', (set, primary, extra) => {
    expect(primaryProperty(set)).toBe(primary);
    expect(extraPropertyCount(set)).toBe(extra);
  });

  it('neither counts nor shows properties outside the eight', () => {
    const set = { glow: 3, blink: true } as ElementStyle;
    expect(primaryProperty(set)).toBe('blink');
    expect(extraPropertyCount(set)).toBe(0);
    expect(primaryProperty({ glow: 3 } as ElementStyle)).toBeUndefined();
  });
});

describe('parseThreshold', () => {
  it.each<[string, unknown]>([
    ['75', 75],
    ['-2.5', -2.5],
    [' 3 ', 3],
    ['1e3', 1000],
    ['true', true],
    ['false', false],
    ['True', 'True'],
    ['abc', 'abc'],
    ['', ''],
    ['   ', '   '],
    ['Infinity', 'Infinity'],
    ['12px', '12px'],
  ])('reads %j as %j', (text, expected) => {
    expect(parseThreshold(text)).toBe(expected);
  });
});

describe('switchProperty', () => {
  it.each<[ElementStyle, RulePropertyName | undefined, RulePropertyName, ElementStyle]>([
    [{ fill: '#d1242f' }, 'fill', 'stroke', { stroke: '#000000' }],
    [{ fill: '#d1242f' }, 'fill', 'text', { text: '' }],
    [{ fill: '#d1242f' }, 'fill', 'strokeWidth', { strokeWidth: 1 }],
    [{ fill: '#d1242f' }, 'fill', 'opacity', { opacity: 1 }],
    [{ fill: '#d1242f' }, 'fill', 'visible', { visible: true }],
    [{ fill: '#d1242f' }, 'fill', 'flow', { flow: true }],
    [{ fill: '#d1242f', blink: false }, 'fill', 'blink', { blink: false }],
    [{}, undefined, 'fill', { fill: '#000000' }],
    [{}, undefined, 'blink', { blink: true }],
    [{ fill: '#abcdef' }, 'fill', 'fill', { fill: '#abcdef' }],
  ])('%j from %s to %s gives %j', (set, from, to, expected) => {
    expect(switchProperty(set, from, to)).toEqual(expected);
  });

  it('copies the set and keeps properties outside the eight', () => {
    const set = Object.freeze({ fill: '#d1242f', glow: 3 } as ElementStyle);
    const next = switchProperty(set, 'fill', 'stroke');
    expect(next).toEqual({ glow: 3, stroke: '#000000' });
    expect(set).toEqual({ fill: '#d1242f', glow: 3 });
  });
});

describe('new rule', () => {
  it('is the record "value at least 0 fills red"', () => {
    expect(newRuleTemplate).toEqual({
      when: { field: 'value', op: 'gte', value: 0 },
      set: { fill: '#d1242f' },
    });
  });
});
