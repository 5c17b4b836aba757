// How the trends and the faceplate write values, statuses and times.
import type { PointStatus } from '../data';

export const STATUS_LABELS: Readonly<Record<PointStatus, string>> = {
  good: 'достоверно',
  bad: 'недостоверно',
  uncertain: 'сомнительно',
};

export const NO_DATA_TEXT = 'нет данных';

export function formatValue(value: number | boolean | null | undefined): string {
  if (value === null || value === undefined) return NO_DATA_TEXT;
  if (typeof value === 'boolean') return value ? 'вкл' : 'выкл';
  if (!Number.isFinite(value)) return String(value);
  return Number.isInteger(value) ? String(value) : String(Number(value.toFixed(3)));
}

function two(n: number): string {
  return String(n).padStart(2, '0');
}

/** "01.05.2024 10:00:00" in local time; a dash for the emulator's starting values (0). */
export function formatTime(t: number): string {
  if (t <= 0 || !Number.isFinite(t)) return '—';
  const d = new Date(t);
  return `${two(d.getDate())}.${two(d.getMonth() + 1)}.${d.getFullYear()} ${two(d.getHours())}:${two(d.getMinutes())}:${two(d.getSeconds())}`;
}
