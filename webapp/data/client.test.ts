// @vitest-environment node
import { afterEach, describe, expect, it, vi } from 'vitest';
import { createPortDataSource } from './client';
import type { PageMessage, WorkerMessage } from './protocol';
import type { PointValue } from './types';

const value = (id: string, v: number | boolean, timestamp = 1): PointValue => ({
  id,
  value: v,
  status: 'good',
  timestamp,
});

const ALL = [
  value('LT-101', 61),
  value('PT-102', 4.3),
  value('NS-101', true),
  value('XV-101', false),
];

const open: MessagePort[] = [];
afterEach(() => {
  for (const port of open.splice(0)) port.close();
  vi.useRealTimers();
});

/**
 * A client over a real message channel, with a stand-in for the worker on the
 * other end that records every message and answers reads from `ALL` in its
 * order (the worker's catalogue order) unless told to stay silent.
 */
function connect({ answerReads = true } = {}) {
  const { port1, port2 } = new MessageChannel();
  open.push(port1, port2);
  const received: PageMessage[] = [];
  port2.addEventListener('message', (event: MessageEvent<PageMessage>) => {
    const message = event.data;
    received.push(message);
    if (answerReads && message.type === 'read') {
      const ids = new Set(message.pointIds);
      const points = ALL.filter((point) => ids.has(point.id));
      port2.postMessage({ type: 'read-result', reqId: message.reqId, points });
    }
  });
  port2.start();
  const source = createPortDataSource(port1);
  return {
    source,
    received,
    send: (message: WorkerMessage | unknown) => port2.postMessage(message),
    /** Resolves once the client has handled everything sent before it. */
    flush: () => source.read([]),
    /** Resolves once the stand-in has received `count` messages. */
    receivedCount: (count: number) => vi.waitFor(() => expect(received).toHaveLength(count)),
  };
}

describe('subscribe', () => {
  it('calls each subscriber once per update with only its points, in update order', async () => {
    const { source, send, flush } = connect();
    const level = vi.fn();
    const several = vi.fn();
    const unknown = vi.fn();
    source.subscribe(['LT-101'], level);
    source.subscribe(['XV-101', 'LT-101', 'nope'], several);
    source.subscribe(['nope'], unknown);
    send({ type: 'updates', points: ALL });
    await flush();
    expect(level.mock.calls).toEqual([[[ALL[0]]]]);
    expect(several.mock.calls).toEqual([[[ALL[0], ALL[3]]]]);
    expect(unknown).not.toHaveBeenCalled();
  });

  it('skips a subscriber when an update holds none of its points', async () => {
    const { source, send, flush } = connect();
    const callback = vi.fn();
    source.subscribe(['NS-101'], callback);
    send({ type: 'updates', points: [value('LT-101', 60)] });
    send({ type: 'updates', points: [value('NS-101', false, 2)] });
    await flush();
    expect(callback.mock.calls).toEqual([[[value('NS-101', false, 2)]]]);
  });

  it('calls subscribers to the same point in the order they subscribed', async () => {
    const { source, send, flush } = connect();
    const order: string[] = [];
    source.subscribe(['PT-102'], () => order.push('first'));
    source.subscribe(['PT-102'], () => order.push('second'));
    source.subscribe(['PT-102'], () => order.push('third'));
    send({ type: 'updates', points: ALL });
    await flush();
    expect(order).toEqual(['first', 'second', 'third']);
  });

  it('posts the ids on subscribing and nothing on unsubscribing', async () => {
    const { source, received, send, flush } = connect();
    const callback = vi.fn();
    const unsubscribe = source.subscribe(['LT-101', 'NS-101'], callback);
    unsubscribe();
    unsubscribe();
    void source.writeCommand('XV-101', true);
    send({ type: 'updates', points: ALL });
    await flush();
    expect(callback).not.toHaveBeenCalled();
    expect(received.slice(0, 2)).toEqual([
      { type: 'subscribe', pointIds: ['LT-101', 'NS-101'] },
      { type: 'write', pointId: 'XV-101', value: true },
    ]);
  });

  it('stops a subscriber removed by an earlier one during the same update', async () => {
    const { source, send, flush } = connect();
    const later = vi.fn();
    source.subscribe(['LT-101'], () => unsubscribeLater());
    const unsubscribeLater = source.subscribe(['LT-101'], later);
    send({ type: 'updates', points: ALL });
    await flush();
    expect(later).not.toHaveBeenCalled();
  });

  it('still serves the other subscribers when one throws', async () => {
    vi.useFakeTimers({ toFake: ['setTimeout'] });
    const { source, send, flush } = connect();
    const after = vi.fn();
    source.subscribe(['LT-101'], () => {
      throw new Error('broken view');
    });
    source.subscribe(['LT-101'], after);
    send({ type: 'updates', points: ALL });
    await flush();
    expect(after).toHaveBeenCalledOnce();
    expect(() => vi.runOnlyPendingTimers()).toThrow('broken view');
  });
});

describe('requests', () => {
  it('numbers reads and catalogue requests with one counter from 1', async () => {
    const { source, received, receivedCount } = connect({ answerReads: false });
    void source.read(['LT-101']);
    void source.listPoints();
    void source.read([]);
    await receivedCount(3);
    expect(received).toEqual([
      { type: 'read', reqId: 1, pointIds: ['LT-101'] },
      { type: 'list', reqId: 2 },
      { type: 'read', reqId: 3, pointIds: [] },
    ]);
  });

  it('fulfils a read with the answer, leaving out unknown ids', async () => {
    const { source } = connect();
    await expect(source.read(['NS-101', 'LT-101', 'XX-999'])).resolves.toEqual([ALL[0], ALL[2]]);
    await expect(source.read([])).resolves.toEqual([]);
  });

  it('matches answers by request id and ignores unknown or repeated ones', async () => {
    const { source, send, receivedCount } = connect({ answerReads: false });
    const first = source.read(['LT-101']);
    const catalogue = source.listPoints();
    await receivedCount(2);
    const info = [{ id: 'LT-101', kind: 'analog', unit: '%' }];
    send({ type: 'read-result', reqId: 99, points: [ALL[1]] });
    send({ type: 'list-result', reqId: 1, points: info });
    send({ type: 'read-result', reqId: 2, points: [ALL[1]] });
    send({ type: 'list-result', reqId: 2, points: info });
    send({ type: 'list-result', reqId: 2, points: [] });
    send({ type: 'read-result', reqId: 1, points: [ALL[0]] });
    send({ type: 'read-result', reqId: 1, points: [ALL[3]] });
    await expect(catalogue).resolves.toEqual(info);
    await expect(first).resolves.toEqual([ALL[0]]);
  });

  it('ignores malformed messages', async () => {
    const { source, send, receivedCount } = connect({ answerReads: false });
    const callback = vi.fn();
    source.subscribe(['LT-101'], callback);
    const read = source.read(['LT-101']);
    await receivedCount(2);
    for (const message of [
      null,
      'updates',
      [ALL],
      { type: 'updates' },
      { type: 'updates', points: 'LT-101' },
      { type: 'updates', points: [null, 7, { value: 1 }] },
      { type: 'read-result', reqId: '1', points: [] },
      { type: 'read-result', reqId: 1, points: null },
      { type: 'unknown', reqId: 1, points: [] },
    ]) {
      send(message);
    }
    send({ type: 'read-result', reqId: 1, points: [ALL[0]] });
    await expect(read).resolves.toEqual([ALL[0]]);
    expect(callback).not.toHaveBeenCalled();
  });
});

describe('operations without a worker counterpart', () => {
  it('fulfils history with nothing and events with a no-op, posting nothing', async () => {
    const { source, received } = connect();
    await expect(source.getHistory('LT-101', 0, 10)).resolves.toEqual([]);
    const stop = source.subscribeEvents(() => {});
    expect(stop()).toBeUndefined();
    await expect(source.writeCommand('NS-101', false)).resolves.toBeUndefined();
    await source.read([]);
    expect(received.map((message) => message.type)).toEqual(['write', 'read']);
  });
});

it('hands a command to the worker as it is, with no answer to wait for', async () => {
  const { source, received, receivedCount } = connect();
  source.command('HV-305', 30);
  source.command('NS-101', false);
  await receivedCount(2);
  expect(received).toEqual([
    { type: 'command', id: 'HV-305', value: 30 },
    { type: 'command', id: 'NS-101', value: false },
  ]);
});

it('starts a port only when it has a start operation', () => {
  const start = vi.fn();
  const port = { postMessage: vi.fn(), addEventListener: vi.fn() };
  expect(() => createPortDataSource(port)).not.toThrow();
  createPortDataSource({ ...port, start });
  expect(start).toHaveBeenCalledOnce();
  expect(port.addEventListener).toHaveBeenCalledWith('message', expect.any(Function));
});
