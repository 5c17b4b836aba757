// The alarm system's performance over a period, from the journal's
// activations and the current alarms. Pure: every figure is a function of the
// records, the period and the time now.
import type { Alarm, JournalRecord } from '../station';

export const BIN_MS = 10 * 60_000;
/** Flood: on above this many activations in the last 10 minutes... */
export const FLOOD_ON_ABOVE = 10;
/** ...and off again below this many. */
export const FLOOD_OFF_BELOW = 5;
export const CHATTER_COUNT = 3;
export const CHATTER_MS = 60_000;
export const STALE_MS = 24 * 3_600_000;
export const TOP_COUNT = 10;
/** EEMUA 191: acceptable average and peak activations per 10 minutes. */
export const ACCEPTABLE_AVERAGE = 6;
export const ACCEPTABLE_PEAK = 10;

export type PriorityGroup = 'low' | 'medium' | 'high';
/** The guideline's shares of activations: priority 4, 3, and 1 with 2. */
export const PRIORITY_TARGETS: Readonly<Record<PriorityGroup, number>> = {
  low: 0.8,
  medium: 0.15,
  high: 0.05,
};

export interface AlarmCount {
  alarm: string;
  message: string;
  count: number;
}

export interface PriorityShare {
  group: PriorityGroup;
  count: number;
  /** Of all activations with a priority; 0 when there are none. */
  share: number;
  target: number;
  over: boolean;
}

export interface AlarmMetrics {
  activations: number;
  bins: number;
  averagePerBin: number;
  peakPerBin: number;
  averageAcceptable: boolean;
  peakAcceptable: boolean;
  /** Share of the period spent in flood, 0 to 1. */
  floodShare: number;
  top: AlarmCount[];
  chattering: AlarmCount[];
  stale: Alarm[];
  /** Activations per priority 1 to 4. */
  perPriority: Readonly<Record<1 | 2 | 3 | 4, number>>;
  groups: PriorityShare[];
}

export interface MetricsPeriod {
  from: number;
  to: number;
  now: number;
}

/** The activations inside the period, oldest first. */
function activationsOf(records: readonly JournalRecord[], from: number, to: number) {
  return records
    .filter((record) => record.event === 'active' && record.time >= from && record.time < to)
    .sort((a, b) => a.time - b.time || a.seq - b.seq);
}

/** Activations per 10-minute bin from `from`; the last bin may be shorter. */
export function binCounts(times: readonly number[], from: number, to: number): number[] {
  const bins = new Array<number>(Math.max(1, Math.ceil((to - from) / BIN_MS))).fill(0);
  for (const t of times) {
    const bin = Math.floor((t - from) / BIN_MS);
    if (bin >= 0 && bin < bins.length) bins[bin] += 1;
  }
  return bins;
}

/**
 * Time in flood inside [from, to], with the station's hysteresis: the window
 * holds the activations of the last 10 minutes, (t − 10 min, t].
 */
export function floodTime(times: readonly number[], from: number, to: number): number {
  // Each activation enters the window at its time and leaves it 10 minutes later.
  const changes: { t: number; by: number }[] = [];
  for (const t of times) changes.push({ t, by: 1 }, { t: t + BIN_MS, by: -1 });
  changes.sort((a, b) => a.t - b.t);
  let inWindow = 0;
  let floodSince: number | null = null;
  let total = 0;
  const add = (start: number, end: number) => {
    total += Math.max(0, Math.min(end, to) - Math.max(start, from));
  };
  for (let i = 0; i < changes.length;) {
    const t = changes[i].t;
    for (; i < changes.length && changes[i].t === t; i++) inWindow += changes[i].by;
    if (floodSince === null && inWindow > FLOOD_ON_ABOVE) floodSince = t;
    else if (floodSince !== null && inWindow < FLOOD_OFF_BELOW) {
      add(floodSince, t);
      floodSince = null;
    }
  }
  if (floodSince !== null) add(floodSince, to);
  return total;
}

/** Alarms with at least three activations inside some 60 seconds. */
export function chatteringAlarms(activations: readonly JournalRecord[]): AlarmCount[] {
  const byAlarm = new Map<string, number[]>();
  for (const record of activations) {
    const times = byAlarm.get(record.alarm) ?? [];
    times.push(record.time);
    byAlarm.set(record.alarm, times);
  }
  const found: AlarmCount[] = [];
  for (const [alarm, times] of byAlarm) {
    const chatters = times.some(
      (t, i) =>
        i + CHATTER_COUNT - 1 < times.length && times[i + CHATTER_COUNT - 1] - t <= CHATTER_MS,
    );
    if (chatters) found.push({ alarm, message: '', count: times.length });
  }
  return found;
}

const groupOf = (priority: number): PriorityGroup | null =>
  priority === 4
    ? 'low'
    : priority === 3
      ? 'medium'
      : priority === 1 || priority === 2
        ? 'high'
        : null;

export function alarmMetrics(
  records: readonly JournalRecord[],
  alarms: Iterable<Alarm>,
  { from, to, now }: MetricsPeriod,
): AlarmMetrics {
  const activations = activationsOf(records, from, to);
  const times = activations.map((record) => record.time);
  const bins = binCounts(times, from, to);
  const averagePerBin = activations.length / bins.length;
  const peakPerBin = bins.reduce((peak, count) => Math.max(peak, count), 0);

  // The newest message of each alarm names it.
  const messages = new Map<string, string>();
  const counts = new Map<string, number>();
  for (const record of activations) {
    if (record.text !== '') messages.set(record.alarm, record.text);
    counts.set(record.alarm, (counts.get(record.alarm) ?? 0) + 1);
  }
  const current = [...alarms];
  for (const alarm of current) if (!messages.has(alarm.id)) messages.set(alarm.id, alarm.message);
  const named = (entry: AlarmCount): AlarmCount => ({
    ...entry,
    message: messages.get(entry.alarm) ?? '',
  });
  const mostFirst = (a: AlarmCount, b: AlarmCount) =>
    b.count - a.count || a.alarm.localeCompare(b.alarm);
  const top = [...counts]
    .map(([alarm, count]) => named({ alarm, message: '', count }))
    .sort(mostFirst)
    .slice(0, TOP_COUNT);

  const perPriority = { 1: 0, 2: 0, 3: 0, 4: 0 };
  for (const record of activations) {
    const p = record.priority;
    if (p === 1 || p === 2 || p === 3 || p === 4) perPriority[p] += 1;
  }
  const groupCounts: Record<PriorityGroup, number> = { low: 0, medium: 0, high: 0 };
  for (const record of activations) {
    const group = groupOf(record.priority);
    if (group) groupCounts[group] += 1;
  }
  const prioritised = groupCounts.low + groupCounts.medium + groupCounts.high;
  const groups = (['low', 'medium', 'high'] as const).map((group): PriorityShare => {
    const share = prioritised === 0 ? 0 : groupCounts[group] / prioritised;
    const target = PRIORITY_TARGETS[group];
    return { group, count: groupCounts[group], share, target, over: share > target };
  });

  const stale = current
    .filter(
      (alarm) =>
        (alarm.state === 'active' || alarm.state === 'acknowledged') &&
        alarm.raisedAt > 0 &&
        now - alarm.raisedAt > STALE_MS,
    )
    .sort((a, b) => a.raisedAt - b.raisedAt || a.id.localeCompare(b.id));

  return {
    activations: activations.length,
    bins: bins.length,
    averagePerBin,
    peakPerBin,
    averageAcceptable: averagePerBin <= ACCEPTABLE_AVERAGE,
    peakAcceptable: peakPerBin <= ACCEPTABLE_PEAK,
    floodShare: to > from ? floodTime(times, from, to) / (to - from) : 0,
    top,
    chattering: chatteringAlarms(activations).map(named).sort(mostFirst),
    stale,
    perPriority,
    groups,
  };
}
