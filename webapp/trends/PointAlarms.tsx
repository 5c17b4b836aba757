// The faceplate's list of its point's alarms: every definition on the point,
// as the station's snapshot has it, with the acknowledgement of the ones the
// operator has yet to see. A refusal is shown beside the alarm it concerns.
import { useMemo, useState, useSyncExternalStore } from 'react';
import type { ActionResult, Alarm, AlarmClient } from '../station';
import { alarmStateText, isUnacknowledged, PriorityMark } from '../view';

export const POINT_ALARMS_LABEL = 'Тревоги точки';
export const NO_POINT_ALARMS_TEXT = 'Нет тревог';
const ACKNOWLEDGE_LABEL = 'Квитировать';
const NOT_DONE: ActionResult = { error: 'Станция не выполнила действие' };

/** The point's alarms, the highest priority first. */
export function alarmsOfPoint(alarms: Iterable<Alarm>, pointId: string): Alarm[] {
  const mine: Alarm[] = [];
  for (const alarm of alarms) if (alarm.pointId === pointId) mine.push(alarm);
  return mine.sort((a, b) => a.priority - b.priority || (a.id < b.id ? -1 : a.id > b.id ? 1 : 0));
}

export interface PointAlarmsProps {
  pointId: string;
  alarms: AlarmClient;
}

export function PointAlarms({ pointId, alarms }: PointAlarmsProps) {
  const snapshot = useSyncExternalStore(alarms.subscribe, alarms.current);
  const list = useMemo(() => alarmsOfPoint(snapshot.alarms.values(), pointId), [snapshot, pointId]);
  const [asked, setAsked] = useState<ReadonlySet<string>>(new Set());
  const [refusals, setRefusals] = useState<ReadonlyMap<string, string>>(new Map());

  const acknowledge = (id: string) => {
    setAsked((held) => new Set(held).add(id));
    setRefusals((held) => {
      if (!held.has(id)) return held;
      const next = new Map(held);
      next.delete(id);
      return next;
    });
    const done = (result: ActionResult) => {
      setAsked((held) => {
        const next = new Set(held);
        next.delete(id);
        return next;
      });
      if ('error' in result) setRefusals((held) => new Map(held).set(id, result.error));
    };
    alarms.acknowledge([id]).then(done, () => done(NOT_DONE));
  };

  return (
    <section className="faceplate__alarms" aria-label={POINT_ALARMS_LABEL}>
      <h3 className="faceplate__subtitle">{POINT_ALARMS_LABEL}</h3>
      {list.length === 0 ? (
        <p className="faceplate__alarms-empty">{NO_POINT_ALARMS_TEXT}</p>
      ) : (
        <ul className="faceplate__alarm-list">
          {list.map((alarm) => {
            const unacknowledged = isUnacknowledged(alarm);
            // A refusal of an alarm acknowledged since then no longer applies.
            const refusal = unacknowledged ? refusals.get(alarm.id) : undefined;
            return (
              <li
                key={alarm.id}
                className="faceplate__alarm"
                data-alarm={alarm.id}
                data-state={alarm.state}
              >
                <PriorityMark priority={alarm.priority} />
                <span className="faceplate__alarm-message">{alarm.message || alarm.id}</span>
                <span className="faceplate__alarm-state">{alarmStateText(alarm)}</span>
                {unacknowledged && (
                  <button
                    type="button"
                    className="orvo-btn orvo-btn--sm"
                    disabled={asked.has(alarm.id)}
                    onClick={() => acknowledge(alarm.id)}
                  >
                    {ACKNOWLEDGE_LABEL}
                  </button>
                )}
                {refusal !== undefined && (
                  <span role="status" className="faceplate__alarm-refusal">
                    {refusal}
                  </span>
                )}
              </li>
            );
          })}
        </ul>
      )}
    </section>
  );
}
