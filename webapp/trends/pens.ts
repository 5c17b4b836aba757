// The pen set of a trend: at most eight, each keeping its colour while it is
// shown; a new pen takes the first colour no shown pen has.
import type { TrendPen } from './settings';

export const MAX_PENS = 8;

/** Eight colours told apart on the light theme, in the order they are given out. */
export const PEN_COLORS: readonly string[] = [
  '#1c64d1',
  '#d1242f',
  '#1a7f37',
  '#bf8700',
  '#8250df',
  '#0a8ea0',
  '#c2410c',
  '#5b6572',
];

/** The colour for a new pen beside `pens`. */
export function nextPenColor(pens: readonly TrendPen[]): string {
  const used = new Set(pens.map((pen) => pen.color));
  return (
    PEN_COLORS.find((color) => !used.has(color)) ?? PEN_COLORS[pens.length % PEN_COLORS.length]
  );
}

/** The pens with `id` added; the same list when it is there already or the set is full. */
export function addPen(pens: readonly TrendPen[], id: string): readonly TrendPen[] {
  if (pens.length >= MAX_PENS || pens.some((pen) => pen.id === id)) return pens;
  return [...pens, { id, color: nextPenColor(pens) }];
}

export function removePen(pens: readonly TrendPen[], id: string): readonly TrendPen[] {
  return pens.some((pen) => pen.id === id) ? pens.filter((pen) => pen.id !== id) : pens;
}
