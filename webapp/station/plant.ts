// The page's data source over the station's plant connection: the program
// keeps the broker connection and the values; the page follows the points its
// views show, hears batches of their newest values (at most one per frame,
// the next only after the page answered that it applied the last), and reads,
// lists and commands points through the bridge.

import {
  createConnectionStore,
  deliver,
  readPointInfo,
  type BrokerConnectionState,
  type ConnectionMonitor,
  type DataSource,
  type PointInfo,
  type PointStatus,
  type PointValue,
  type Subscriber,
} from '../data';
import type { ChannelObject } from './channel';

/** Where the program takes the plant's values from, and how its connection is. */
export interface PlantState {
  source: 'broker' | 'emulator';
  state: BrokerConnectionState;
  broker: string;
}

const STATES: readonly BrokerConnectionState[] = [
  'connecting',
  'online',
  'offline',
  'login-refused',
  'certificate-refused',
];
const STATUSES: readonly PointStatus[] = ['good', 'bad', 'uncertain'];

function isRecord(value: unknown): value is Record<string, unknown> {
  return typeof value === 'object' && value !== null && !Array.isArray(value);
}

/** The host's word on the plant as a closed record; anything else is the emulator. */
export function readPlantState(value: unknown): PlantState {
  if (!isRecord(value) || value.source !== 'broker') {
    return { source: 'emulator', state: 'online', broker: '' };
  }
  const state = STATES.find((known) => known === value.state) ?? 'connecting';
  return { source: 'broker', state, broker: typeof value.broker === 'string' ? value.broker : '' };
}

const isPointValue = (value: unknown): value is number | boolean =>
  (typeof value === 'number' && Number.isFinite(value)) || typeof value === 'boolean';

/** One batch of the host: [[id, value, status, time], …]; malformed entries are skipped. */
export function readBatch(text: unknown): PointValue[] {
  if (typeof text !== 'string') return [];
  let entries: unknown;
  try {
    entries = JSON.parse(text);
  } catch {
    return [];
  }
  if (!Array.isArray(entries)) return [];
  const values: PointValue[] = [];
  for (const entry of entries as unknown[]) {
    if (!Array.isArray(entry)) continue;
    const [id, value, status, timestamp] = entry as unknown[];
    const known = STATUSES.find((name) => name === status);
    if (typeof id !== 'string' || !isPointValue(value) || !known) continue;
    if (typeof timestamp !== 'number') continue;
    values.push({ id, value, status: known, timestamp });
  }
  return values;
}

function readValues(answer: unknown): PointValue[] {
  if (!Array.isArray(answer)) return [];
  return (answer as unknown[]).flatMap((entry) => {
    if (!isRecord(entry) || typeof entry.id !== 'string' || !isPointValue(entry.value)) return [];
    const status = STATUSES.find((name) => name === entry.status) ?? 'bad';
    const timestamp = typeof entry.timestamp === 'number' ? entry.timestamp : 0;
    return [{ id: entry.id, value: entry.value, status, timestamp }];
  });
}

function readPoints(answer: unknown): PointInfo[] {
  if (!Array.isArray(answer)) return [];
  return (answer as unknown[]).flatMap((entry) => readPointInfo(entry) ?? []);
}

export interface PlantDataSource {
  dataSource: DataSource;
  connection: ConnectionMonitor;
}

export function createPlantDataSource(
  plant: ChannelObject,
  initial: PlantState,
  nextFrame: (callback: () => void) => void = (callback) => requestAnimationFrame(callback),
): PlantDataSource {
  const connection = createConnectionStore({ state: initial.state, broker: initial.broker });
  plant.on('stateChanged', (state) => {
    const next = readPlantState(state);
    connection.set({ state: next.state, broker: next.broker || initial.broker });
  });

  const subscribers = new Set<Subscriber>();
  let followed = '';
  let followPending = false;
  // The host hears one list of points: every subscriber's, once per task.
  const follow = () => {
    if (followPending) return;
    followPending = true;
    queueMicrotask(() => {
      followPending = false;
      const ids = new Set<string>();
      for (const subscriber of subscribers) for (const id of subscriber.ids) ids.add(id);
      const list = [...ids].sort();
      const key = list.join('\n');
      if (key === followed) return;
      followed = key;
      void plant.invoke('follow', list);
    });
  };

  plant.on('updates', (batch) => {
    const values = readBatch(batch);
    // Only the subscribers present when the batch arrives receive it, and one
    // that unsubscribes meanwhile receives nothing more.
    for (const subscriber of [...subscribers]) {
      if (!subscribers.has(subscriber)) continue;
      const wanted = values.filter((value) => subscriber.ids.has(value.id));
      if (wanted.length > 0) deliver(subscriber, wanted);
    }
    // Answered once the frame that shows the batch is drawn: the host sends
    // the next one only then, so the page never falls behind the plant.
    nextFrame(() => void plant.invoke('applied'));
  });

  const dataSource: DataSource = {
    subscribe(ids, callback) {
      const subscriber: Subscriber = { ids: new Set(ids), callback };
      subscribers.add(subscriber);
      follow();
      return () => {
        subscribers.delete(subscriber);
        follow();
      };
    },
    read: (ids) => plant.invoke('read', [...ids]).then(readValues),
    listPoints: () => plant.invoke('list').then(readPoints),
    async writeCommand(id, value) {
      const answer = await plant.invoke('write', id, value);
      if (isRecord(answer) && typeof answer.error === 'string') throw new Error(answer.error);
    },
    getHistory: () => Promise.resolve([]),
    subscribeEvents: () => () => {},
  };
  return { dataSource, connection };
}
