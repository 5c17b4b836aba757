// What the alarm summary lists: the alarms of one tab that pass the filters,
// in the order the operator chose. Pure, so that the order and the filters are
// tested without a table.
import type { Alarm, AlarmPriority, AlarmState } from '../station';
import { isStanding, isUnacknowledged } from '../view';

export type SummaryTab = 'standing' | 'shelved' | 'out-of-service';

export const SUMMARY_TABS: ReadonlyArray<{ value: SummaryTab; label: string }> = [
  { value: 'standing', label: 'Текущие' },
  { value: 'shelved', label: 'Отложенные' },
  { value: 'out-of-service', label: 'Выведенные из работы' },
];

export function inTab(alarm: Alarm, tab: SummaryTab): boolean {
  switch (tab) {
    case 'standing':
      return isStanding(alarm);
    case 'shelved':
      return alarm.state === 'shelved';
    case 'out-of-service':
      return alarm.state === 'out-of-service';
  }
}

export interface SummaryFilter {
  priority?: AlarmPriority;
  state?: AlarmState;
  /** Exact area; '' stands for alarms whose definition names none. */
  area?: string;
  /** Found in the message, the point or the alarm id, whatever the case. */
  text?: string;
}

export type SortKey = 'time' | 'priority';
/** None: unacknowledged first, then by priority, then the newest first. */
export type SummarySort = { key: SortKey; direction: 'ascending' | 'descending' } | null;

export function passes(alarm: Alarm, filter: SummaryFilter): boolean {
  if (filter.priority !== undefined && alarm.priority !== filter.priority) return false;
  if (filter.state !== undefined && alarm.state !== filter.state) return false;
  if (filter.area !== undefined && alarm.area !== filter.area) return false;
  const text = filter.text?.trim().toLowerCase() ?? '';
  if (text === '') return true;
  return [alarm.message, alarm.pointId, alarm.id].some((field) =>
    field.toLowerCase().includes(text),
  );
}

const newestFirst = (a: Alarm, b: Alarm) => b.raisedAt - a.raisedAt || b.changedAt - a.changedAt;
const byPriority = (a: Alarm, b: Alarm) => a.priority - b.priority;

function defaultOrder(a: Alarm, b: Alarm): number {
  const unacknowledged = Number(isUnacknowledged(b)) - Number(isUnacknowledged(a));
  return unacknowledged || byPriority(a, b) || newestFirst(a, b) || a.id.localeCompare(b.id);
}

function compareBy(sort: NonNullable<SummarySort>): (a: Alarm, b: Alarm) => number {
  const sign = sort.direction === 'ascending' ? 1 : -1;
  if (sort.key === 'time') {
    return (a, b) =>
      sign * (a.raisedAt - b.raisedAt) || byPriority(a, b) || a.id.localeCompare(b.id);
  }
  return (a, b) => sign * byPriority(a, b) || newestFirst(a, b) || a.id.localeCompare(b.id);
}

/** The rows of the summary. */
export function summaryRows(
  alarms: Iterable<Alarm>,
  tab: SummaryTab,
  filter: SummaryFilter,
  sort: SummarySort,
): Alarm[] {
  const rows: Alarm[] = [];
  for (const alarm of alarms) if (inTab(alarm, tab) && passes(alarm, filter)) rows.push(alarm);
  return rows.sort(sort ? compareBy(sort) : defaultOrder);
}

/**
 * The next order after a click on a column's head: first the column's natural
 * direction (the newest, or priority 1, first), then the other, then back to
 * the summary's own order.
 */
export function nextSort(sort: SummarySort, key: SortKey): SummarySort {
  const first = key === 'time' ? 'descending' : 'ascending';
  if (sort?.key !== key) return { key, direction: first };
  if (sort.direction === first) {
    return { key, direction: first === 'ascending' ? 'descending' : 'ascending' };
  }
  return null;
}

/** The areas named by the alarms, in alphabetical order. */
export function areasOf(alarms: Iterable<Alarm>): string[] {
  const areas = new Set<string>();
  for (const alarm of alarms) if (alarm.area !== '') areas.add(alarm.area);
  return [...areas].sort((a, b) => a.localeCompare(b, 'ru'));
}

/** What a row offers the operator, in the order of its buttons. */
export type RowAction =
  'acknowledge' | 'shelve' | 'unshelve' | 'reset' | 'comment' | 'out-of-service' | 'in-service';

export const ROW_ACTION_LABELS: Readonly<Record<RowAction, string>> = {
  acknowledge: 'Квитировать',
  shelve: 'Отложить',
  unshelve: 'Вернуть',
  reset: 'Сбросить',
  comment: 'Комментарий',
  'out-of-service': 'Вывести из работы',
  'in-service': 'Ввести в работу',
};

export function rowActions(alarm: Alarm): RowAction[] {
  const actions: RowAction[] = [];
  if (isUnacknowledged(alarm)) actions.push('acknowledge');
  if (alarm.state === 'latched') actions.push('reset');
  if (isStanding(alarm)) actions.push('shelve');
  if (alarm.state === 'shelved') actions.push('unshelve');
  actions.push('comment');
  if (alarm.state === 'out-of-service') actions.push('in-service');
  else actions.push('out-of-service');
  return actions;
}
