// A data source for the inspector's tests whose answers the test releases by hand.

import type { DataSource, PointInfo, PointValue } from '../../data';

export interface Deferred<T> {
  promise: Promise<T>;
  resolve: (value: T) => void;
  reject: (reason: unknown) => void;
}

export function deferred<T>(): Deferred<T> {
  let resolve!: (value: T) => void;
  let reject!: (reason: unknown) => void;
  const promise = new Promise<T>((res, rej) => {
    resolve = res;
    reject = rej;
  });
  return { promise, resolve, reject };
}

interface Subscription {
  ids: readonly string[];
  callback: (values: PointValue[]) => void;
  active: boolean;
}

export interface FakeSource extends DataSource {
  reads: { ids: readonly string[]; answer: Deferred<PointValue[]> }[];
  subscriptions: Subscription[];
  catalogue: Deferred<PointInfo[]>[];
  /** Delivers one batch to every active subscription that asked for one of its points. */
  push(values: PointValue[]): void;
}

export function fakeSource(): FakeSource {
  const source: FakeSource = {
    reads: [],
    subscriptions: [],
    catalogue: [],
    push(values) {
      for (const subscription of source.subscriptions) {
        const mine = values.filter((value) => subscription.ids.includes(value.id));
        if (subscription.active && mine.length > 0) subscription.callback(mine);
      }
    },
    subscribe(ids, callback) {
      const subscription = { ids, callback, active: true };
      source.subscriptions.push(subscription);
      return () => {
        subscription.active = false;
      };
    },
    read(ids) {
      const answer = deferred<PointValue[]>();
      source.reads.push({ ids, answer });
      return answer.promise;
    },
    listPoints() {
      const answer = deferred<PointInfo[]>();
      source.catalogue.push(answer);
      return answer.promise;
    },
    writeCommand: () => Promise.resolve(),
    getHistory: () => Promise.resolve([]),
    subscribeEvents: () => () => undefined,
  };
  return source;
}

export function pointValue(
  id: string,
  value: number | boolean,
  status: PointValue['status'] = 'good',
): PointValue {
  return { id, value, status, timestamp: 1 };
}
