// The data source of the page: a client of the emulator worker over a message
// port. One listener serves every subscriber and every pending request; a
// request is matched to its answer by a request id.

import type { PageMessage } from './protocol';
import type { DataSource, PointInfo, PointValue } from './types';

/** The emulator's data source: it also hands the station's commands to the worker. */
export interface PortDataSource extends DataSource {
  command(id: string, value: boolean | number): void;
}

/** The part of a message port the client uses. */
export interface ClientPort {
  postMessage(message: PageMessage): void;
  addEventListener(type: 'message', listener: (event: MessageEvent) => void): void;
  start?(): void;
}

export interface Subscriber {
  ids: ReadonlySet<string>;
  callback: (values: PointValue[]) => void;
}

type UnknownRecord = Record<string, unknown>;

function isRecord(value: unknown): value is UnknownRecord {
  return typeof value === 'object' && value !== null && !Array.isArray(value);
}

/**
 * Hands a subscriber its values. A throwing subscriber must not cost the
 * others their update; its error still reaches the console.
 */
export function deliver(subscriber: Subscriber, values: PointValue[]): void {
  try {
    subscriber.callback(values);
  } catch (error) {
    setTimeout(() => {
      throw error;
    });
  }
}

/**
 * One catalogue entry as a closed record, whoever sent it; null when it is
 * none. Bounds are kept for analog points only, and not when they cross.
 */
export function readPointInfo(entry: unknown): PointInfo | null {
  if (!isRecord(entry) || typeof entry.id !== 'string') return null;
  if (entry.kind !== 'analog' && entry.kind !== 'discrete') return null;
  const point: PointInfo = { id: entry.id, kind: entry.kind };
  if (typeof entry.unit === 'string') point.unit = entry.unit;
  if (typeof entry.description === 'string') point.description = entry.description;
  if (entry.writable === true) point.writable = true;
  if (entry.kind === 'analog') {
    const bound = (value: unknown) =>
      typeof value === 'number' && Number.isFinite(value) ? value : undefined;
    const min = bound(entry.min);
    const max = bound(entry.max);
    if (min === undefined || max === undefined || min <= max) {
      if (min !== undefined) point.min = min;
      if (max !== undefined) point.max = max;
    }
  }
  return point;
}

export function createPortDataSource(port: ClientPort): PortDataSource {
  const subscribers = new Set<Subscriber>();
  const pendingReads = new Map<number, (values: PointValue[]) => void>();
  const pendingLists = new Map<number, (points: PointInfo[]) => void>();
  let lastRequestId = 0;

  const onUpdates = (points: unknown[]): void => {
    // Only the subscribers present when the update arrives receive it, and
    // one that unsubscribes meanwhile receives nothing more.
    for (const subscriber of [...subscribers]) {
      if (!subscribers.has(subscriber)) continue;
      const values = points.filter(
        (point): point is PointValue =>
          isRecord(point) && typeof point.id === 'string' && subscriber.ids.has(point.id),
      );
      if (values.length > 0) deliver(subscriber, values);
    }
  };

  const settle = <T>(pending: Map<number, (points: T[]) => void>, message: UnknownRecord) => {
    const reqId = message.reqId;
    if (typeof reqId !== 'number' || !Array.isArray(message.points)) return;
    const resolve = pending.get(reqId);
    if (resolve) {
      pending.delete(reqId);
      resolve(message.points as T[]);
    }
  };

  port.addEventListener('message', (event) => {
    const message: unknown = event.data;
    if (!isRecord(message)) return;
    switch (message.type) {
      case 'updates':
        if (Array.isArray(message.points)) onUpdates(message.points);
        break;
      case 'read-result':
        settle(pendingReads, message);
        break;
      case 'list-result':
        settle(pendingLists, message);
        break;
      default:
        break;
    }
  });
  port.start?.();

  const nextRequestId = (): number => {
    lastRequestId += 1;
    return lastRequestId;
  };

  return {
    subscribe(ids, callback) {
      const subscriber: Subscriber = { ids: new Set(ids), callback };
      subscribers.add(subscriber);
      port.postMessage({ type: 'subscribe', pointIds: [...ids] });
      return () => {
        subscribers.delete(subscriber);
      };
    },
    read(ids) {
      const reqId = nextRequestId();
      return new Promise<PointValue[]>((resolve) => {
        pendingReads.set(reqId, resolve);
        port.postMessage({ type: 'read', reqId, pointIds: [...ids] });
      });
    },
    listPoints() {
      const reqId = nextRequestId();
      return new Promise<PointInfo[]>((resolve) => {
        pendingLists.set(reqId, resolve);
        port.postMessage({ type: 'list', reqId });
      });
    },
    writeCommand(id, value) {
      port.postMessage({ type: 'write', pointId: id, value });
      return Promise.resolve();
    },
    command(id, value) {
      port.postMessage({ type: 'command', id, value });
    },
    getHistory() {
      return Promise.resolve([]);
    },
    subscribeEvents() {
      return () => {};
    },
  };
}
