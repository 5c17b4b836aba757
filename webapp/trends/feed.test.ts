import { describe, expect, it, vi } from 'vitest';
import type { DataSource, PointValue } from '../data';
import { createTrendFeed } from './feed';
import type { HistoryAnswer, HistoryClient } from './history';

function fakeSource() {
  const callbacks = new Set<(values: PointValue[]) => void>();
  const source: DataSource = {
    subscribe: (_ids, callback) => {
      callbacks.add(callback);
      return () => callbacks.delete(callback);
    },
    read: () => Promise.resolve([]),
    listPoints: () => Promise.resolve([]),
    writeCommand: () => Promise.resolve(),
    getHistory: () => Promise.resolve([]),
    subscribeEvents: () => () => {},
  };
  const push = (id: string, value: number, timestamp: number) =>
    callbacks.forEach((callback) => callback([{ id, value, status: 'good', timestamp }]));
  return { source, push, subscribers: () => callbacks.size };
}

function fakeHistory(answer: (ids: readonly string[]) => HistoryAnswer): HistoryClient & {
  asked: unknown[][];
} {
  const asked: unknown[][] = [];
  return {
    available: true,
    asked,
    getHistory: (ids, from, to, maxPoints) => {
      asked.push([ids, from, to, maxPoints]);
      return Promise.resolve(answer(ids));
    },
  };
}

function setup(history: HistoryClient = fakeHistory(() => ({ points: {}, downsampled: {} }))) {
  const frames: (() => void)[] = [];
  const { source, push, subscribers } = fakeSource();
  const feed = createTrendFeed({
    dataSource: source,
    history,
    schedule: (callback) => frames.push(callback),
    now: () => 5000,
  });
  const frame = () => frames.splice(0).forEach((callback) => callback());
  return { feed, push, frame, frames, subscribers, history };
}

describe('createTrendFeed', () => {
  it('tells its listeners once per frame however many values come', () => {
    const { feed, push, frame } = setup();
    const listener = vi.fn();
    feed.subscribe(listener);
    feed.setPoints(['a']);
    frame();
    listener.mockClear();
    for (let k = 1; k <= 5; k += 1) push('a', k, 1000 * k);
    frame();
    expect(listener).toHaveBeenCalledTimes(1);
    expect(feed.samples('a').map((sample) => sample.v)).toEqual([1, 2, 3, 4, 5]);
  });

  it('follows only its points, and the starting values without a time as now', () => {
    const { feed, push, subscribers } = setup();
    feed.setPoints(['a']);
    push('b', 1, 1000);
    push('a', 7, 0);
    expect(feed.samples('b')).toEqual([]);
    expect(feed.samples('a')).toEqual([{ t: 5000, v: 7, s: 'good' }]);
    feed.setPoints([]);
    expect(subscribers()).toBe(0);
  });

  it('puts the history before the live values that are newer than it', async () => {
    const history = fakeHistory(() => ({
      points: {
        a: [
          { t: 100, v: 1, s: 'good' },
          { t: 2000, v: 2, s: 'good' },
        ],
      },
      downsampled: { a: false },
    }));
    const { feed, push } = setup(history);
    feed.setPoints(['a']);
    push('a', 20, 1500);
    push('a', 30, 3000);
    await feed.load({ from: 0, to: 4000 }, 800);
    expect(history.asked).toEqual([[['a'], 0, 4000, 800]]);
    expect(feed.samples('a').map((sample) => sample.t)).toEqual([100, 2000, 3000]);
  });

  it('keeps the answer of the latest load only, and says which was taken', async () => {
    let resolveFirst: (answer: HistoryAnswer) => void = () => {};
    const answers = [
      new Promise<HistoryAnswer>((resolve) => (resolveFirst = resolve)),
      Promise.resolve({ points: { a: [{ t: 2, v: 2, s: 'good' as const }] }, downsampled: {} }),
    ];
    const { feed } = setup({ available: true, getHistory: () => answers.shift()! });
    feed.setPoints(['a']);
    const first = feed.load({ from: 0, to: 10 }, 100);
    await expect(feed.load({ from: 0, to: 20 }, 100)).resolves.toBe(true);
    resolveFirst({ points: { a: [{ t: 1, v: 1, s: 'good' }] }, downsampled: {} });
    await expect(first).resolves.toBe(false);
    expect(feed.samples('a').map((sample) => sample.v)).toEqual([2]);
  });

  it('trims samples before the window, keeping the one in force at its start', () => {
    const { feed, push } = setup();
    feed.setPoints(['a']);
    [1000, 2000, 3000, 4000].forEach((t) => push('a', t, t));
    feed.trim(2500);
    expect(feed.samples('a').map((sample) => sample.t)).toEqual([2000, 3000, 4000]);
  });
});
