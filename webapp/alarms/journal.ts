// The journal view's words and its questions to the station.
import type { JournalEvent, JournalQuery } from '../station';

export const JOURNAL_EVENT_LABELS: Readonly<Record<JournalEvent, string>> = {
  active: 'Срабатывание',
  return: 'Возврат в норму',
  ack: 'Квитирование',
  shelve: 'Отложена',
  unshelve: 'Возвращена',
  'out-of-service': 'Выведена из работы',
  'in-service': 'Введена в работу',
  reset: 'Сброс',
  comment: 'Комментарий',
  silence: 'Сброс звука',
  login: 'Вход',
  logout: 'Выход',
  'login-failed': 'Неудачный вход',
  locked: 'Блокировка входа',
  command: 'Команда',
  save: 'Сохранение схемы',
  definitions: 'Изменение уставок тревог',
  'user-added': 'Добавлен пользователь',
  'user-removed': 'Удалён пользователь',
  refused: 'Отказ в доступе',
};

const HOUR = 3_600_000;

export type QuickRange = '1h' | '24h' | '7d' | '30d';

export const QUICK_RANGES: ReadonlyArray<{ value: QuickRange; label: string; span: number }> = [
  { value: '1h', label: '1 ч', span: HOUR },
  { value: '24h', label: '24 ч', span: 24 * HOUR },
  { value: '7d', label: '7 сут', span: 7 * 24 * HOUR },
  { value: '30d', label: '30 сут', span: 30 * 24 * HOUR },
];

/** Records asked for the table; the station caps it. */
export const JOURNAL_LIMIT = 10_000;
/** Records asked for the figures of a period. */
export const METRICS_LIMIT = 100_000;

export interface JournalFilters {
  /** Exact point id; blank for any. */
  point: string;
  event: JournalEvent | '';
  text: string;
}

export const NO_JOURNAL_FILTERS: JournalFilters = { point: '', event: '', text: '' };

/** The question for a period and the filters; blank filters are left out, as is no limit. */
export function journalQuery(
  from: number,
  to: number,
  filters: JournalFilters,
  limit?: number,
): JournalQuery {
  const query: JournalQuery = { from, to };
  if (limit !== undefined) query.limit = limit;
  const point = filters.point.trim();
  const text = filters.text.trim();
  if (point !== '') query.point = point;
  if (filters.event !== '') query.event = filters.event;
  if (text !== '') query.text = text;
  return query;
}

/** Why a period cannot be asked for; null when it can. */
export function rangeProblem(from: number, to: number): string | null {
  if (!Number.isFinite(from) || !Number.isFinite(to)) return 'Укажите начало и конец периода';
  if (from >= to) return 'Начало периода должно быть раньше конца';
  return null;
}

function stamp(t: number): string {
  return `${new Date(t).toISOString().slice(0, 19).replace(/:/g, '-')}Z`;
}

/** "journal-2024-05-01T10-00-00Z-2024-05-02T10-00-00Z.csv": the period in UTC. */
export function journalFileName(from: number, to: number): string {
  return `journal-${stamp(from)}-${stamp(to)}.csv`;
}

export const CSV_TYPE = 'text/csv;charset=utf-8';

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
