// The words the operator reads for an alarm's state, on every view that shows one.

import type { Alarm, AlarmState } from '../station';

export const ALARM_STATE_LABELS: Readonly<Record<AlarmState, string>> = {
  normal: 'Норма',
  active: 'Активна',
  acknowledged: 'Квитирована',
  returned: 'Норма, не квитирована',
  latched: 'Ожидает сброса',
  shelved: 'Отложена',
  'out-of-service': 'Выведена из работы',
};

export const SUSPECT_LABEL = 'Недостоверно';
export const CHATTERING_LABEL = 'Дребезг';

/** Unacknowledged: the operator has yet to see it. */
export function isUnacknowledged(alarm: Alarm): boolean {
  return alarm.state === 'active' || alarm.state === 'returned';
}

/** In the current summary: anything the operator has to deal with. */
export function isStanding(alarm: Alarm): boolean {
  return (
    alarm.state === 'active' ||
    alarm.state === 'acknowledged' ||
    alarm.state === 'returned' ||
    alarm.state === 'latched'
  );
}

/** The state as the operator reads it: suspect values say so first. */
export function alarmStateText(alarm: Alarm): string {
  const state = ALARM_STATE_LABELS[alarm.state];
  return alarm.suspect ? `${SUSPECT_LABEL} · ${state}` : state;
}
