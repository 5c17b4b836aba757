// @vitest-environment node
import { afterEach, beforeEach, describe, expect, it, vi } from 'vitest';
import type { PointValue } from '../data';
import { FLUSH_INTERVAL_MS, createPortHub } from './hub';

const value = (id: string, v: number, timestamp = 1): PointValue => ({
  id,
  value: v,
  status: 'good',
  timestamp,
});

function port() {
  return {
    posted: [] as unknown[],
    postMessage(message: unknown) {
      this.posted.push(message);
    },
  };
}

beforeEach(() => {
  vi.useFakeTimers();
});
afterEach(() => {
  vi.useRealTimers();
});

describe('createPortHub', () => {
  it('sends each page only the points it follows, the newest value of each, in one message per interval', () => {
    const hub = createPortHub();
    const page = port();
    const other = port();
    hub.add(page);
    hub.add(other);
    hub.want(page, ['LT-101', 'PT-102']);
    hub.want(other, ['NS-101']);

    hub.push([value('LT-101', 1)]);
    vi.advanceTimersByTime(0);
    expect(page.posted).toEqual([{ type: 'updates', points: [value('LT-101', 1)] }]);

    // A burst inside one interval arrives as one message, newest value per point.
    for (let i = 2; i <= 500; i += 1) hub.push([value('LT-101', i), value('PT-102', -i)]);
    hub.push([value('XX-1', 0)]);
    vi.advanceTimersByTime(FLUSH_INTERVAL_MS - 1);
    expect(page.posted).toHaveLength(1);
    vi.advanceTimersByTime(1);
    expect(page.posted.slice(1)).toEqual([
      { type: 'updates', points: [value('LT-101', 500), value('PT-102', -500)] },
    ]);
    expect(other.posted).toEqual([]);
  });

  it('keeps the order of the last arrivals', () => {
    const hub = createPortHub();
    const page = port();
    hub.add(page);
    hub.want(page, ['A', 'B']);
    hub.push([value('A', 1), value('B', 1), value('A', 2)]);
    vi.runAllTimers();
    expect(page.posted).toEqual([{ type: 'updates', points: [value('B', 1), value('A', 2)] }]);
  });

  it('holds a page that acknowledges until it has, coalescing meanwhile', () => {
    const hub = createPortHub();
    const slow = port();
    const plain = port();
    hub.add(slow);
    hub.add(plain);
    hub.useAcks(slow);
    hub.want(slow, ['A']);
    hub.want(plain, ['A']);
    hub.push([value('A', 1)]);
    vi.runAllTimers();
    for (let i = 2; i <= 10; i += 1) {
      hub.push([value('A', i)]);
      vi.advanceTimersByTime(FLUSH_INTERVAL_MS);
    }
    expect(slow.posted).toEqual([{ type: 'updates', points: [value('A', 1)] }]);
    expect(plain.posted).toHaveLength(10);

    hub.ack(slow);
    vi.runAllTimers();
    expect(slow.posted.slice(1)).toEqual([{ type: 'updates', points: [value('A', 10)] }]);
    // A stray acknowledgement releases nothing more.
    hub.ack(slow);
    hub.ack(slow);
    vi.runAllTimers();
    expect(slow.posted).toHaveLength(2);
  });

  it('posts other messages to every page at once, and ignores unknown pages', () => {
    const hub = createPortHub();
    const page = port();
    hub.add(page);
    hub.broadcast({ type: 'broker-state' });
    expect(page.posted).toEqual([{ type: 'broker-state' }]);
    expect(() => {
      hub.want(port(), ['A']);
      hub.ack(port());
    }).not.toThrow();
  });
});
