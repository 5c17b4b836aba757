import { describe, expect, it } from 'vitest';
import { CSV_HEADER, csvFileName, trendCsv } from './csv';
import type { HistorySample } from './history';

const T0 = Date.UTC(2024, 4, 1, 10, 0, 0, 0);

describe('trendCsv', () => {
  it('writes the samples of the range by time and then pen, ISO UTC with milliseconds', () => {
    const flow: HistorySample[] = [
      { t: T0 - 1000, v: 1, s: 'good' },
      { t: T0, v: 12.5, s: 'good' },
      { t: T0 + 1500, v: 13, s: 'uncertain' },
      { t: T0 + 3000, v: null, s: 'bad' },
    ];
    const pump: HistorySample[] = [
      { t: T0, v: true, s: 'good' },
      { t: T0 + 1500, v: false, s: 'bad' },
      { t: T0 + 9000, v: true, s: 'good' },
    ];
    const text = trendCsv(
      [
        { id: 'FT-103', samples: flow },
        { id: 'NS-101', samples: pump },
      ],
      T0,
      T0 + 5000,
    );
    expect(text.split('\r\n')).toEqual([
      CSV_HEADER,
      '2024-05-01T10:00:00.000Z,FT-103,12.5,good',
      '2024-05-01T10:00:00.000Z,NS-101,true,good',
      '2024-05-01T10:00:01.500Z,FT-103,13,uncertain',
      '2024-05-01T10:00:01.500Z,NS-101,false,bad',
      '2024-05-01T10:00:03.000Z,FT-103,,bad',
      '',
    ]);
  });

  it.each([
    ['a comma', 'a,b', '"a,b"'],
    ['a quote', 'a"b', '"a""b"'],
    ['a line break', 'a\nb', '"a\nb"'],
  ])('quotes a point id with %s', (_name, id, field) => {
    const text = trendCsv([{ id, samples: [{ t: T0, v: 1, s: 'good' }] }], T0, T0);
    expect(text).toBe(`${CSV_HEADER}\r\n2024-05-01T10:00:00.000Z,${field},1,good\r\n`);
  });

  it('writes the header alone when there are no samples', () => {
    expect(trendCsv([{ id: 'a', samples: [] }], 0, 1)).toBe(`${CSV_HEADER}\r\n`);
  });

  it('names the file after the range in UTC', () => {
    expect(csvFileName(T0, T0 + 3_600_000)).toBe(
      'trend-2024-05-01T10-00-00Z--2024-05-01T11-00-00Z.csv',
    );
  });
});
