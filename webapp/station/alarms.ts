// The page's side of the station's alarms: the host evaluates every alarm and
// keeps the journal; the page shows them and asks for operator actions. The
// host sends the whole set once (`list`) and then batches of changed alarms
// (`changed`), both as JSON text; an action is answered with { ok } or with a
// reason to show in place.

import type { Unsubscribe } from '../data';
import type { ChannelObject } from './channel';

export type AlarmPriority = 1 | 2 | 3 | 4;
export type AlarmKind = 'hihi' | 'hi' | 'lo' | 'lolo' | 'state' | 'quality';

/**
 * Where an alarm stands. "active": active and unacknowledged; "acknowledged":
 * active and acknowledged; "returned": back to normal, not acknowledged;
 * "latched": back and acknowledged, waiting for a reset.
 */
export type AlarmState =
  'normal' | 'active' | 'acknowledged' | 'returned' | 'latched' | 'shelved' | 'out-of-service';

export interface Alarm {
  id: string;
  pointId: string;
  kind: AlarmKind;
  priority: AlarmPriority;
  message: string;
  /** Empty when the definition names none. */
  area: string;
  latched: boolean;
  state: AlarmState;
  /** The condition holds now (after its delays), whatever the operator did. */
  active: boolean;
  acknowledged: boolean;
  /** The point's value is not good: the alarm neither raises nor returns ("Недостоверно"). */
  suspect: boolean;
  chattering: boolean;
  /** Source time of the value that raised the current occurrence; 0 when never raised. */
  raisedAt: number;
  /** Station time of the last change of state. */
  changedAt: number;
  /** The point's current value; null when it has none. */
  value: number | boolean | null;
  /** While shelved: when the shelving ends. */
  shelvedUntil?: number;
  /** Why it is shelved or out of service. */
  reason?: string;
  /** The operator's last comment on the occurrence. */
  comment?: string;
}

/** "quiet": nothing to sound; "sounding"; "off": the horn is turned off (--no-horn). */
export type HornState = 'quiet' | 'sounding' | 'off';

export interface AlarmStatus {
  horn: HornState;
  /** False when the host found no audio device: the horn's state is shown, not heard. */
  audio: boolean;
  /** More than 10 new alarms in 10 minutes, until fewer than 5. */
  flood: boolean;
  /** New alarms in the last 10 minutes. */
  rate: number;
}

export interface AlarmSnapshot {
  alarms: ReadonlyMap<string, Alarm>;
  status: AlarmStatus;
}

export type ActionResult = { ok: true } | { error: string };

/** Shelving lasts one of these, in minutes. */
export const SHELVE_MINUTES = [15, 60, 240, 480] as const;
export type ShelveMinutes = (typeof SHELVE_MINUTES)[number];

export type JournalEvent =
  | 'active'
  | 'return'
  | 'ack'
  | 'shelve'
  | 'unshelve'
  | 'out-of-service'
  | 'in-service'
  | 'reset'
  | 'comment'
  | 'silence'
  | 'login'
  | 'logout'
  | 'login-failed'
  | 'locked'
  | 'command'
  | 'save'
  | 'definitions'
  | 'user-added'
  | 'user-removed'
  | 'refused';

export const JOURNAL_EVENTS: readonly JournalEvent[] = [
  'active',
  'return',
  'ack',
  'shelve',
  'unshelve',
  'out-of-service',
  'in-service',
  'reset',
  'comment',
  'silence',
  'login',
  'logout',
  'login-failed',
  'locked',
  'command',
  'save',
  'definitions',
  'user-added',
  'user-removed',
  'refused',
];

export interface JournalRecord {
  seq: number;
  /** Station time. */
  time: number;
  /** Source time of the value concerned; 0 for an action on no value. */
  sourceTime: number;
  event: JournalEvent;
  /** Empty for an action on no alarm (silence). */
  alarm: string;
  point: string;
  /** 0 where no alarm is concerned. */
  priority: number;
  /** The value as text; empty when none. */
  value: string;
  user: string;
  station: string;
  text: string;
}

export interface JournalQuery {
  from: number;
  to: number;
  /** Exact point id. */
  point?: string;
  event?: JournalEvent;
  /** Found anywhere in the message, alarm id or comment, case-insensitive. */
  text?: string;
  /** At most this many records, the newest; the host caps it. */
  limit?: number;
}

export interface JournalAnswer {
  /** Oldest first. */
  records: JournalRecord[];
  /** More matched than were sent. */
  truncated: boolean;
}

export interface AlarmClient {
  /** False where there is no program to evaluate alarms (a plain browser). */
  readonly available: boolean;
  current(): AlarmSnapshot;
  /** Called after every change of the snapshot. */
  subscribe(listener: () => void): Unsubscribe;
  acknowledge(ids: readonly string[], comment?: string): Promise<ActionResult>;
  shelve(id: string, minutes: ShelveMinutes, reason: string): Promise<ActionResult>;
  unshelve(id: string): Promise<ActionResult>;
  reset(id: string): Promise<ActionResult>;
  comment(id: string, text: string): Promise<ActionResult>;
  outOfService(id: string, reason: string): Promise<ActionResult>;
  inService(id: string): Promise<ActionResult>;
  /** Stops the horn; acknowledges nothing. */
  silence(): Promise<ActionResult>;
  journal(query: JournalQuery): Promise<JournalAnswer>;
  /** The journal's records of `query` as the CSV of the command line's export. */
  exportJournal(query: JournalQuery): Promise<string>;
}

const PRIORITIES: readonly AlarmPriority[] = [1, 2, 3, 4];
const KINDS: readonly AlarmKind[] = ['hihi', 'hi', 'lo', 'lolo', 'state', 'quality'];
const STATES: readonly AlarmState[] = [
  'normal',
  'active',
  'acknowledged',
  'returned',
  'latched',
  'shelved',
  'out-of-service',
];
const HORN_STATES: readonly HornState[] = ['quiet', 'sounding', 'off'];

export const NO_ALARM_STATUS: AlarmStatus = { horn: 'quiet', audio: true, flood: false, rate: 0 };

function isRecord(value: unknown): value is Record<string, unknown> {
  return typeof value === 'object' && value !== null && !Array.isArray(value);
}

const text = (value: unknown): string => (typeof value === 'string' ? value : '');
const number = (value: unknown): number =>
  typeof value === 'number' && Number.isFinite(value) ? value : 0;

/** One alarm of the host as a closed record; null when it is not one. */
export function readAlarm(value: unknown): Alarm | null {
  if (!isRecord(value)) return null;
  const priority = PRIORITIES.find((known) => known === value.priority);
  const kind = KINDS.find((known) => known === value.kind);
  const state = STATES.find((known) => known === value.state);
  if (typeof value.id !== 'string' || value.id === '' || !priority || !kind || !state) return null;
  const alarmValue = value.value;
  const alarm: Alarm = {
    id: value.id,
    pointId: text(value.pointId),
    kind,
    priority,
    message: text(value.message),
    area: text(value.area),
    latched: value.latched === true,
    state,
    active: value.active === true,
    acknowledged: value.acknowledged === true,
    suspect: value.suspect === true,
    chattering: value.chattering === true,
    raisedAt: number(value.raisedAt),
    changedAt: number(value.changedAt),
    value:
      (typeof alarmValue === 'number' && Number.isFinite(alarmValue)) ||
      typeof alarmValue === 'boolean'
        ? alarmValue
        : null,
  };
  if (typeof value.shelvedUntil === 'number') alarm.shelvedUntil = value.shelvedUntil;
  if (typeof value.reason === 'string') alarm.reason = value.reason;
  if (typeof value.comment === 'string') alarm.comment = value.comment;
  return alarm;
}

export function readAlarmStatus(value: unknown): AlarmStatus {
  if (!isRecord(value)) return NO_ALARM_STATUS;
  return {
    horn: HORN_STATES.find((known) => known === value.horn) ?? 'quiet',
    audio: value.audio !== false,
    flood: value.flood === true,
    rate: number(value.rate),
  };
}

function parse(payload: unknown): Record<string, unknown> | null {
  if (typeof payload !== 'string') return isRecord(payload) ? payload : null;
  try {
    const value: unknown = JSON.parse(payload);
    return isRecord(value) ? value : null;
  } catch {
    return null;
  }
}

/**
 * The snapshot the page holds: the whole set from `replace`, then the host's
 * batches through `apply`. Each change makes a new snapshot, so that views
 * can compare by identity.
 */
export interface AlarmStore {
  current(): AlarmSnapshot;
  subscribe(listener: () => void): Unsubscribe;
  /** { alarms: [...], status } as the host's `list` gives it. */
  replace(payload: unknown): void;
  /** { alarms: [...changed], removed: [ids], status } as the host's `changed` gives it. */
  apply(payload: unknown): void;
}

export function createAlarmStore(): AlarmStore {
  let snapshot: AlarmSnapshot = { alarms: new Map(), status: NO_ALARM_STATUS };
  const listeners = new Set<() => void>();
  const publish = (next: AlarmSnapshot) => {
    snapshot = next;
    for (const listener of [...listeners]) listener();
  };
  const readList = (list: unknown, into: Map<string, Alarm>) => {
    if (!Array.isArray(list)) return;
    for (const entry of list) {
      const alarm = readAlarm(entry);
      if (alarm) into.set(alarm.id, alarm);
    }
  };
  return {
    current: () => snapshot,
    subscribe(listener) {
      listeners.add(listener);
      return () => {
        listeners.delete(listener);
      };
    },
    replace(payload) {
      const record = parse(payload);
      if (!record) return;
      const alarms = new Map<string, Alarm>();
      readList(record.alarms, alarms);
      publish({ alarms, status: readAlarmStatus(record.status) });
    },
    apply(payload) {
      const record = parse(payload);
      if (!record) return;
      const alarms = new Map(snapshot.alarms);
      readList(record.alarms, alarms);
      if (Array.isArray(record.removed)) {
        for (const id of record.removed) if (typeof id === 'string') alarms.delete(id);
      }
      const status = 'status' in record ? readAlarmStatus(record.status) : snapshot.status;
      publish({ alarms, status });
    },
  };
}

function readResult(value: unknown): ActionResult {
  if (isRecord(value) && value.ok === true) return { ok: true };
  const reason = isRecord(value) && typeof value.error === 'string' ? value.error : '';
  return { error: reason || 'Станция не выполнила действие' };
}

function readJournalRecord(value: unknown): JournalRecord | null {
  if (!isRecord(value)) return null;
  const event = JOURNAL_EVENTS.find((known) => known === value.event);
  if (!event || typeof value.seq !== 'number' || typeof value.time !== 'number') return null;
  return {
    seq: value.seq,
    time: value.time,
    sourceTime: number(value.sourceTime),
    event,
    alarm: text(value.alarm),
    point: text(value.point),
    priority: number(value.priority),
    value: text(value.value),
    user: text(value.user),
    station: text(value.station),
    text: text(value.text),
  };
}

/** The host's journal answer as a closed record. */
export function readJournalAnswer(value: unknown): JournalAnswer {
  const record = parse(value);
  if (!record || !Array.isArray(record.records)) return { records: [], truncated: false };
  const records: JournalRecord[] = [];
  for (const entry of record.records) {
    const read = readJournalRecord(entry);
    if (read) records.push(read);
  }
  return { records, truncated: record.truncated === true };
}

function queryArgument(query: JournalQuery): Record<string, unknown> {
  return {
    from: Math.round(query.from),
    to: Math.round(query.to),
    point: query.point ?? '',
    event: query.event ?? '',
    text: query.text ?? '',
    limit: Math.max(0, Math.round(query.limit ?? 0)),
  };
}

/** The alarms over the host's `alarms` service. */
export function alarmsOver(service: ChannelObject): AlarmClient {
  const store = createAlarmStore();
  let nextRequest = 1;
  const waiting = new Map<number, (answer: unknown) => void>();
  service.on('changed', (batch) => store.apply(batch));
  service.on('answered', (request, answer) => {
    const resolve = typeof request === 'number' ? waiting.get(request) : undefined;
    if (!resolve) return;
    waiting.delete(request as number);
    resolve(answer);
  });
  void service.invoke('list').then((list) => store.replace(list));
  const ask = (method: string, query: JournalQuery) =>
    new Promise<unknown>((resolve) => {
      const request = nextRequest++;
      waiting.set(request, resolve);
      void service.invoke(method, request, queryArgument(query));
    });
  const act = (method: string, ...args: unknown[]) =>
    service.invoke(method, ...args).then(readResult, () => readResult(null));
  return {
    available: true,
    current: store.current,
    subscribe: store.subscribe,
    acknowledge: (ids, comment) => act('acknowledge', [...ids], comment ?? ''),
    shelve: (id, minutes, reason) => act('shelve', id, minutes, reason),
    unshelve: (id) => act('unshelve', id),
    reset: (id) => act('reset', id),
    comment: (id, value) => act('comment', id, value),
    outOfService: (id, reason) => act('outOfService', id, reason),
    inService: (id) => act('inService', id),
    silence: () => act('silence'),
    journal: (query) => ask('journal', query).then(readJournalAnswer),
    exportJournal: (query) =>
      ask('exportJournal', query).then((csv) => (typeof csv === 'string' ? csv : '')),
  };
}

const NO_SNAPSHOT: AlarmSnapshot = { alarms: new Map(), status: NO_ALARM_STATUS };
const UNAVAILABLE: ActionResult = { error: 'Тревоги ведёт программа станции' };

/** Alarms where there is no program: none, and every action refused. */
export const NO_ALARMS: AlarmClient = {
  available: false,
  current: () => NO_SNAPSHOT,
  subscribe: () => () => {},
  acknowledge: () => Promise.resolve(UNAVAILABLE),
  shelve: () => Promise.resolve(UNAVAILABLE),
  unshelve: () => Promise.resolve(UNAVAILABLE),
  reset: () => Promise.resolve(UNAVAILABLE),
  comment: () => Promise.resolve(UNAVAILABLE),
  outOfService: () => Promise.resolve(UNAVAILABLE),
  inService: () => Promise.resolve(UNAVAILABLE),
  silence: () => Promise.resolve(UNAVAILABLE),
  journal: () => Promise.resolve({ records: [], truncated: false }),
  exportJournal: () => Promise.resolve(''),
};
