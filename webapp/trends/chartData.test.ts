import { describe, expect, it } from 'vitest';
import { sampleAt, toPlotData } from './chartData';
import type { HistorySample } from './history';

const s = (
  t: number,
  v: HistorySample['v'],
  status: HistorySample['s'] = 'good',
): HistorySample => ({
  t,
  v,
  s: status,
});

describe('toPlotData', () => {
  it.each<[string, HistorySample[], unknown[], unknown[]]>([
    ['good samples draw as one line', [s(1, 1), s(2, 2), s(3, 3)], [1, 2, 3], [null, null, null]],
    [
      'a gap breaks both lines',
      [s(1, 1), s(2, null, 'bad'), s(3, 3)],
      [1, null, 3],
      [null, null, null],
    ],
    [
      'a bad stretch draws apart, joined to the good line at both ends',
      [s(1, 1), s(2, 2, 'bad'), s(3, 3, 'bad'), s(4, 4), s(5, 5)],
      [1, 2, null, 4, 5],
      [null, 2, 3, 4, null],
    ],
    [
      'an uncertain stretch after a gap starts apart without a good line into it',
      [s(1, null, 'bad'), s(2, 2, 'uncertain'), s(3, 3)],
      [null, null, 3],
      [null, 2, 3],
    ],
    ['discrete values draw as 1 and 0', [s(1, true), s(2, false)], [1, 0], [null, null]],
  ])('%s', (_name, samples, good, apart) => {
    const [x, goodColumn, apartColumn] = toPlotData([samples]);
    expect(x).toEqual(samples.map((sample) => sample.t));
    expect(goodColumn).toEqual(good);
    expect(apartColumn).toEqual(apart);
  });

  it('puts the pens on one time column, another pen’s times drawn across', () => {
    const [x, a, , b] = toPlotData([
      [s(1, 10), s(3, 30)],
      [s(2, 20), s(3, 31)],
    ]);
    expect(x).toEqual([1, 2, 3]);
    // undefined is drawn across, null breaks the line.
    expect(a).toEqual([10, undefined, 30]);
    expect(b).toEqual([undefined, 20, 31]);
  });

  it('holds the last value up to the right edge in its own status', () => {
    const [x, good, apart] = toPlotData([[s(1, 5), s(2, 6, 'bad')]], 10);
    expect(x).toEqual([1, 2, 10]);
    expect(good).toEqual([5, 6, undefined]);
    expect(apart).toEqual([null, 6, 6]);
  });

  it('holds nothing after a gap', () => {
    const [x] = toPlotData([[s(1, 5), s(2, null, 'bad')]], 10);
    expect(x).toEqual([1, 2]);
  });
});

describe('sampleAt', () => {
  const samples = [s(10, 1), s(20, 2), s(30, 3)];
  it.each([
    [5, undefined],
    [10, 1],
    [19, 1],
    [20, 2],
    [99, 3],
  ])('at %d the value in force is %s', (t, v) => {
    expect(sampleAt(samples, t)?.v).toBe(v);
  });
});
