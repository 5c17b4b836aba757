// The CSV export of a trend: the raw samples of the shown range, one line per
// sample, ordered by time and then by pen.
import type { HistorySample } from './history';

export const CSV_HEADER = 'time,point,value,status';
export const CSV_TYPE = 'text/csv;charset=utf-8';

function csvField(text: string): string {
  return /[",\r\n]/.test(text) ? `"${text.replace(/"/g, '""')}"` : text;
}

function csvValue(v: HistorySample['v']): string {
  if (v === null) return '';
  return String(v);
}

/**
 * The CSV text of the pens' samples inside [from, to]; a gap has an empty
 * value. Lines end with CRLF, as the format asks.
 */
export function trendCsv(
  pens: ReadonlyArray<{ id: string; samples: readonly HistorySample[] }>,
  from: number,
  to: number,
): string {
  const rows: { t: number; pen: number; line: string }[] = [];
  pens.forEach(({ id, samples }, pen) => {
    const point = csvField(id);
    for (const sample of samples) {
      if (sample.t < from || sample.t > to) continue;
      const time = new Date(sample.t).toISOString();
      rows.push({ t: sample.t, pen, line: `${time},${point},${csvValue(sample.v)},${sample.s}` });
    }
  });
  // Stable: samples of one pen at one time keep their order.
  rows.sort((a, b) => a.t - b.t || a.pen - b.pen);
  return [CSV_HEADER, ...rows.map((row) => row.line)].join('\r\n') + '\r\n';
}

function stamp(t: number): string {
  return new Date(t).toISOString().slice(0, 19).replace(/:/g, '-');
}

/** "trend-2024-05-01T10-00-00Z--2024-05-01T11-00-00Z.csv": the range in UTC. */
export function csvFileName(from: number, to: number): string {
  return `trend-${stamp(from)}Z--${stamp(to)}Z.csv`;
}

/** Offers a text as a download; inside the program the host's save dialog takes it. */
export function downloadText(text: string, fileName: string, type = CSV_TYPE): void {
  const url = URL.createObjectURL(new Blob([text], { type }));
  const link = document.createElement('a');
  link.href = url;
  link.download = fileName;
  link.style.display = 'none';
  document.body.appendChild(link);
  try {
    link.click();
  } finally {
    link.remove();
    URL.revokeObjectURL(url);
  }
}
