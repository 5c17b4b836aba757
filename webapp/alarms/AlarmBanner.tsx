// The alarms' line in the header of every view: how many wait for the
// operator, the most urgent of them, a flood, and the horn.
import { useState } from 'react';
import type { Alarm, AlarmClient, AlarmPriority, AlarmStatus } from '../station';
import { isStanding, isUnacknowledged, PRIORITY_LABELS, PriorityMark } from '../view';
import { formatTime } from './format';
import { useAlarmSnapshot } from './hooks';

export const BANNER_LABEL = 'Тревоги';
export const NO_STATION_TEXT = 'Тревоги ведёт программа станции';
const PRIORITIES: readonly AlarmPriority[] = [1, 2, 3, 4];

export interface BannerCounts {
  unacknowledged: number;
  /** Active alarms (the condition holds, not shelved nor out of service) per priority. */
  active: Readonly<Record<AlarmPriority, number>>;
  /** The newest unacknowledged alarm of the highest priority. */
  first?: Alarm;
}

export function bannerCounts(alarms: Iterable<Alarm>): BannerCounts {
  const active = { 1: 0, 2: 0, 3: 0, 4: 0 };
  let unacknowledged = 0;
  let first: Alarm | undefined;
  for (const alarm of alarms) {
    if (alarm.active && isStanding(alarm)) active[alarm.priority] += 1;
    if (!isUnacknowledged(alarm)) continue;
    unacknowledged += 1;
    if (
      !first ||
      alarm.priority < first.priority ||
      (alarm.priority === first.priority && alarm.raisedAt > first.raisedAt)
    ) {
      first = alarm;
    }
  }
  return { unacknowledged, active, first };
}

/** The horn's state in words; none when all is quiet. */
export function hornText(status: AlarmStatus): string[] {
  const words: string[] = [];
  if (status.horn === 'sounding') words.push('Звук тревоги');
  if (status.horn === 'off') words.push('Звук отключён');
  else if (!status.audio) words.push('Нет звукового устройства');
  return words;
}

export interface AlarmBannerProps {
  alarms: AlarmClient;
  /** Opens the alarm summary. */
  onOpen: () => void;
}

export function AlarmBanner({ alarms, onOpen }: AlarmBannerProps) {
  const { alarms: all, status } = useAlarmSnapshot(alarms);
  const [refusal, setRefusal] = useState<string | null>(null);
  if (!alarms.available) {
    return (
      <div role="status" aria-label={BANNER_LABEL} className="alarm-banner alarm-banner--none">
        {NO_STATION_TEXT}
      </div>
    );
  }
  const counts = bannerCounts(all.values());
  const silence = () => {
    setRefusal(null);
    void alarms.silence().then((result) => {
      if ('error' in result) setRefusal(result.error);
    });
  };
  return (
    <div
      role="status"
      aria-label={BANNER_LABEL}
      className="alarm-banner"
      data-flood={status.flood || undefined}
    >
      <button
        type="button"
        className="alarm-banner__open"
        title="Открыть сводку тревог"
        onClick={onOpen}
      >
        <span
          className="alarm-banner__count"
          data-testid="banner-unacknowledged"
          data-zero={counts.unacknowledged === 0 || undefined}
        >
          Неквитированных: {counts.unacknowledged}
        </span>
        {PRIORITIES.map((priority) => (
          <span
            key={priority}
            className="alarm-banner__count"
            data-testid={`banner-priority-${priority}`}
            data-zero={counts.active[priority] === 0 || undefined}
            title={`Активных, ${PRIORITY_LABELS[priority].toLowerCase()}`}
          >
            <PriorityMark priority={priority} />
            <span className="alarm-banner__number">{counts.active[priority]}</span>
          </span>
        ))}
        {counts.first && (
          <span className="alarm-banner__first" data-testid="banner-first">
            <PriorityMark priority={counts.first.priority} />
            <span>{formatTime(counts.first.raisedAt)}</span>
            <strong>{counts.first.pointId}</strong>
            <span className="alarm-banner__message">{counts.first.message}</span>
          </span>
        )}
      </button>
      {status.flood && (
        <span className="alarm-banner__flood" data-testid="banner-flood">
          Лавина тревог: {status.rate} за 10 мин
        </span>
      )}
      {hornText(status).map((words) => (
        <span key={words} className="alarm-banner__horn" data-testid="banner-horn">
          {words}
        </span>
      ))}
      {status.horn === 'sounding' && (
        <button type="button" className="orvo-btn orvo-btn--sm" onClick={silence}>
          Сбросить звук
        </button>
      )}
      {refusal && <span className="alarm-refusal">{refusal}</span>}
    </div>
  );
}
