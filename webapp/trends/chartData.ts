// Samples to the chart's columns. Each pen draws as two series on one x
// column: its good stretches and, dashed, the stretches whose status is not
// good. A stretch belongs to the sample that starts it, so each series also
// gets the point that ends its last stretch. `null` is a break in a line,
// `undefined` (another pen's time) is drawn across.
import type { HistorySample } from './history';

export type PlotColumn = (number | null | undefined)[];
/** The x column (ms since the epoch), then a good and an apart column per pen. */
export type PlotData = [number[], ...PlotColumn[]];

export function numericValue(v: number | boolean): number {
  return typeof v === 'boolean' ? (v ? 1 : 0) : v;
}

/**
 * The chart's columns for the pens' samples. With `until`, each pen whose last
 * sample holds a value is held on to that time (the right edge while live).
 */
export function toPlotData(
  pens: ReadonlyArray<readonly HistorySample[]>,
  until?: number,
): PlotData {
  const times = new Set<number>();
  for (const samples of pens) for (const sample of samples) times.add(sample.t);
  if (until !== undefined && pens.some((samples) => held(samples, until))) times.add(until);
  const x = Array.from(times).sort((a, b) => a - b);
  const index = new Map<number, number>();
  x.forEach((t, i) => index.set(t, i));

  const columns: PlotColumn[] = [];
  for (const samples of pens) {
    const good: PlotColumn = new Array<undefined>(x.length);
    const apart: PlotColumn = new Array<undefined>(x.length);
    let previous: HistorySample | undefined;
    for (const sample of samples) {
      const i = index.get(sample.t) as number;
      if (sample.v === null) {
        good[i] = null;
        apart[i] = null;
      } else {
        const value = numericValue(sample.v);
        const isGood = sample.s === 'good';
        const before =
          previous?.v === null || previous === undefined ? undefined : previous.s === 'good';
        good[i] = isGood || before === true ? value : null;
        apart[i] = !isGood || before === false ? value : null;
      }
      previous = sample;
    }
    if (until !== undefined && previous && held(samples, until) && previous.v !== null) {
      const i = index.get(until) as number;
      const value = numericValue(previous.v);
      if (previous.s === 'good') good[i] = value;
      else apart[i] = value;
    }
    columns.push(good, apart);
  }
  return [x, ...columns];
}

function held(samples: readonly HistorySample[], until: number): boolean {
  const last = samples[samples.length - 1];
  return last !== undefined && last.v !== null && last.t < until;
}

/** The sample in force at `t`: the last one at or before it. */
export function sampleAt(samples: readonly HistorySample[], t: number): HistorySample | undefined {
  let low = 0;
  let high = samples.length;
  while (low < high) {
    const mid = (low + high) >> 1;
    if (samples[mid].t <= t) low = mid + 1;
    else high = mid;
  }
  return low === 0 ? undefined : samples[low - 1];
}
