// The samples a chart draws: the recorded history of its window, followed by
// the live values of the page's data source. Listeners hear of changes at most
// once per frame however fast the values come.
import type { DataSource, PointValue, Unsubscribe } from '../data';
import type { HistoryClient, HistorySample } from './history';
import type { TimeWindow } from './range';

/** Samples held per pen beyond which the oldest go, whatever the window. */
export const MAX_HELD_SAMPLES = 50_000;

export interface TrendFeed {
  /** The held samples of a pen, in time order (changed in place as values come). */
  samples(id: string): readonly HistorySample[];
  /** Follows these points live; points left out are dropped. */
  setPoints(ids: readonly string[]): void;
  /**
   * Replaces the held samples with the history of the window; live samples
   * newer than the answer stay. A later load wins over an earlier one: true
   * when this answer was taken.
   */
  load(window: TimeWindow, maxPoints: number): Promise<boolean>;
  /** Drops samples wholly before `from` (the one in force at `from` stays). */
  trim(from: number): void;
  subscribe(listener: () => void): Unsubscribe;
  dispose(): void;
}

export interface TrendFeedOptions {
  dataSource: DataSource;
  history: HistoryClient;
  /** Runs a callback before the next frame; `requestAnimationFrame` by default. */
  schedule?: (callback: () => void) => void;
  now?: () => number;
}

const EMPTY: readonly HistorySample[] = [];

export function createTrendFeed({
  dataSource,
  history,
  schedule = (callback) => requestAnimationFrame(() => callback()),
  now = Date.now,
}: TrendFeedOptions): TrendFeed {
  const held = new Map<string, HistorySample[]>();
  const listeners = new Set<() => void>();
  let ids: readonly string[] = [];
  let unsubscribe: Unsubscribe | undefined;
  let lastLoad = 0;
  let scheduled = false;
  let disposed = false;

  const notify = () => {
    if (scheduled || disposed) return;
    scheduled = true;
    schedule(() => {
      scheduled = false;
      if (!disposed) for (const listener of [...listeners]) listener();
    });
  };

  const append = (values: readonly PointValue[]) => {
    let changed = false;
    for (const value of values) {
      const samples = held.get(value.id);
      if (!samples) continue;
      // The emulator's starting values carry no time: they are "now".
      const t = value.timestamp > 0 ? value.timestamp : now();
      const last = samples[samples.length - 1];
      if (last && last.t > t) continue;
      const sample: HistorySample = { t, v: value.value, s: value.status };
      if (last && last.t === t) samples[samples.length - 1] = sample;
      else samples.push(sample);
      if (samples.length > MAX_HELD_SAMPLES) samples.splice(0, samples.length - MAX_HELD_SAMPLES);
      changed = true;
    }
    if (changed) notify();
  };

  return {
    samples: (id) => held.get(id) ?? EMPTY,

    setPoints(next) {
      if (disposed) return;
      const same = next.length === ids.length && next.every((id, i) => id === ids[i]);
      if (same) return;
      ids = [...next];
      for (const id of [...held.keys()]) if (!ids.includes(id)) held.delete(id);
      const added = ids.filter((id) => !held.has(id));
      for (const id of added) held.set(id, []);
      unsubscribe?.();
      unsubscribe = ids.length > 0 ? dataSource.subscribe(ids, append) : undefined;
      if (added.length > 0)
        void dataSource.read(added).then((values) => !disposed && append(values));
      notify();
    },

    async load(window, maxPoints) {
      const load = ++lastLoad;
      const asked = [...ids];
      if (asked.length === 0) return false;
      const answer = await history.getHistory(asked, window.from, window.to, maxPoints);
      if (disposed || load !== lastLoad) return false;
      for (const id of asked) {
        const live = held.get(id);
        if (!live) continue;
        const recorded = answer.points[id] ?? [];
        const end = recorded.length > 0 ? recorded[recorded.length - 1].t : -Infinity;
        held.set(id, [...recorded, ...live.filter((sample) => sample.t > end)]);
      }
      notify();
      return true;
    },

    trim(from) {
      let changed = false;
      held.forEach((samples) => {
        let first = 0;
        while (first + 1 < samples.length && samples[first + 1].t <= from) first += 1;
        if (first > 0) {
          samples.splice(0, first);
          changed = true;
        }
      });
      if (changed) notify();
    },

    subscribe(listener) {
      listeners.add(listener);
      return () => listeners.delete(listener);
    },

    dispose() {
      disposed = true;
      unsubscribe?.();
      unsubscribe = undefined;
      listeners.clear();
      held.clear();
    },
  };
}
