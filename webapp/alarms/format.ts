// How the alarm views write times and values: as the trends and the faceplate do.

function two(n: number): string {
  return String(n).padStart(2, '0');
}

/** "01.05.2024 10:00:00" in local time; a dash for no time (0). */
export function formatTime(t: number): string {
  if (t <= 0 || !Number.isFinite(t)) return '—';
  const d = new Date(t);
  return `${two(d.getDate())}.${two(d.getMonth() + 1)}.${d.getFullYear()} ${two(d.getHours())}:${two(d.getMinutes())}:${two(d.getSeconds())}`;
}

/** A point's value with its unit where known; flags as "вкл"/"выкл", none as a dash. */
export function formatAlarmValue(value: number | boolean | null, unit?: string): string {
  if (value === null) return '—';
  if (typeof value === 'boolean') return value ? 'вкл' : 'выкл';
  const number = Number.isInteger(value) ? String(value) : String(Number(value.toFixed(3)));
  return unit ? `${number} ${unit}` : number;
}

/** The value of a "datetime-local" field for a time, in local time. */
export function localField(t: number): string {
  const d = new Date(t);
  return `${d.getFullYear()}-${two(d.getMonth() + 1)}-${two(d.getDate())}T${two(d.getHours())}:${two(d.getMinutes())}`;
}

/** The time a "datetime-local" field holds; NaN when it holds none. */
export function fieldTime(field: string): number {
  return field === '' ? NaN : new Date(field).getTime();
}
