import { describe, expect, it } from 'vitest';
import { addPen, MAX_PENS, nextPenColor, PEN_COLORS, removePen } from './pens';
import type { TrendPen } from './settings';

function pensOf(...ids: string[]): readonly TrendPen[] {
  return ids.reduce<readonly TrendPen[]>((pens, id) => addPen(pens, id), []);
}

describe('pen colours', () => {
  it('gives out the colours in order, each pen its own', () => {
    const pens = pensOf('a', 'b', 'c', 'd', 'e', 'f', 'g', 'h');
    expect(pens.map((pen) => pen.color)).toEqual(PEN_COLORS);
  });

  it('keeps the colours of the pens left and gives the freed one to the next pen', () => {
    const pens = addPen(removePen(pensOf('a', 'b', 'c'), 'b'), 'd');
    expect(pens.map((pen) => [pen.id, pen.color])).toEqual([
      ['a', PEN_COLORS[0]],
      ['c', PEN_COLORS[2]],
      ['d', PEN_COLORS[1]],
    ]);
  });

  it('still gives a colour when stored pens hold colours of their own', () => {
    const foreign = PEN_COLORS.map((_, i) => ({ id: `x${i}`, color: `#00000${i}` }));
    expect(PEN_COLORS).toContain(nextPenColor(foreign));
    expect(nextPenColor([{ id: 'a', color: '#123456' }])).toBe(PEN_COLORS[0]);
  });
});

describe('pen set', () => {
  it.each<[string, readonly TrendPen[], string]>([
    ['a pen already shown', pensOf('a', 'b'), 'a'],
    ['a ninth pen', pensOf('a', 'b', 'c', 'd', 'e', 'f', 'g', 'h'), 'i'],
  ])('adding %s changes nothing', (_name, pens, id) => {
    expect(addPen(pens, id)).toBe(pens);
  });

  it('holds at most eight pens', () => {
    expect(pensOf('a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i', 'j')).toHaveLength(MAX_PENS);
  });

  it('removing a pen not shown changes nothing', () => {
    const pens = pensOf('a');
    expect(removePen(pens, 'b')).toBe(pens);
  });
});
