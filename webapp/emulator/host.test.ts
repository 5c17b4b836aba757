// @vitest-environment node
import { afterEach, beforeEach, describe, expect, it, vi } from 'vitest';
import type { UpdatesMessage, WorkerMessage } from '../data';
import { pointCatalogue } from './catalogue';
import { TICK_INTERVAL_MS, startEmulator, type EmulatorPort, type EmulatorScope } from './host';
import { handleCommand, handleRequest } from './requests';
import { createSimulator } from './simulator';

describe('handleRequest', () => {
  const simulator = createSimulator(pointCatalogue, () => 0.25);
  const all = simulator.snapshot();

  it.each<[string, unknown, unknown]>([
    [
      'a read without ids',
      { type: 'read', reqId: 4 },
      { type: 'read-result', reqId: 4, points: all },
    ],
    [
      'a read of no ids',
      { type: 'read', reqId: 5, pointIds: [] },
      { type: 'read-result', reqId: 5, points: [] },
    ],
    [
      'a read in request order',
      { type: 'read', reqId: 6, pointIds: ['NS-101', 'LT-101', 'XX-1'] },
      { type: 'read-result', reqId: 6, points: [all[0], all[4]] },
    ],
    [
      'a catalogue request',
      { type: 'list', reqId: 7 },
      { type: 'list-result', reqId: 7, points: simulator.catalog() },
    ],
  ])('answers %s', (_name, message, expected) => {
    expect(handleRequest(simulator, message)).toEqual(expected);
  });

  it.each<[string, unknown]>([
    ['subscribe', { type: 'subscribe', pointIds: ['LT-101'] }],
    ['write', { type: 'write', pointId: 'NS-101', value: false }],
    ['an unknown type', { type: 'reset', reqId: 1 }],
    ['no type', { reqId: 1 }],
    ['a text', 'read'],
    ['null', null],
    ['a list', [{ type: 'list', reqId: 1 }]],
    ['a read whose ids are not a list', { type: 'read', reqId: 1, pointIds: 'LT-101' }],
    ['a read whose ids are null', { type: 'read', reqId: 1, pointIds: null }],
    ['a read without request id', { type: 'read', pointIds: [] }],
    ['a catalogue request with a text request id', { type: 'list', reqId: '1' }],
  ])('drops %s without an answer or an effect', (_name, message) => {
    const before = simulator.snapshot();
    expect(handleRequest(simulator, message)).toBeUndefined();
    expect(simulator.snapshot()).toEqual(before);
  });
});

describe('handleCommand', () => {
  it('gives the commanded point its value, stamped now', () => {
    const simulator = createSimulator(pointCatalogue, () => 0.25);
    expect(handleCommand(simulator, { type: 'command', id: 'HV-305', value: 30 }, 5)).toEqual([
      { id: 'HV-305', value: 30, status: 'good', timestamp: 5 },
    ]);
  });

  it.each<[string, unknown]>([
    ['a write', { type: 'write', pointId: 'NS-101', value: false }],
    ['a command without an id', { type: 'command', value: false }],
    ['a command with a text value', { type: 'command', id: 'HV-305', value: '30' }],
    ['a command without a value', { type: 'command', id: 'NS-101' }],
    ['a command to a point that takes none', { type: 'command', id: 'LT-101', value: 30 }],
    ['null', null],
  ])('ignores %s', (_name, message) => {
    const simulator = createSimulator(pointCatalogue, () => 0.25);
    const before = simulator.snapshot();
    expect(handleCommand(simulator, message, 5)).toBeUndefined();
    expect(simulator.snapshot()).toEqual(before);
  });
});

const pointsOf = (message: WorkerMessage) => (message as UpdatesMessage).points;

/** A port that records what is posted and lets the test send messages in. */
function fakePort() {
  const listeners: ((event: MessageEvent) => void)[] = [];
  const port = {
    posted: [] as WorkerMessage[],
    started: false,
    postMessage(message: WorkerMessage) {
      this.posted.push(structuredClone(message));
    },
    addEventListener(_type: 'message', listener: (event: MessageEvent) => void) {
      listeners.push(listener);
    },
    start() {
      this.started = true;
    },
    send(data: unknown) {
      for (const listener of listeners) listener({ data } as MessageEvent);
    },
  };
  return port;
}

function fakeScope() {
  let onConnect: ((event: { ports: readonly EmulatorPort[] }) => void) | undefined;
  const scope: EmulatorScope = {
    addEventListener: (_type, listener) => {
      onConnect = listener;
    },
  };
  const connect = (port: EmulatorPort) => onConnect?.({ ports: [port] });
  return { scope, connect };
}

describe('startEmulator', () => {
  beforeEach(() => {
    vi.useFakeTimers({ now: 1_000_000 });
  });
  afterEach(() => {
    vi.useRealTimers();
  });

  it('greets a new port with all current values, then answers on it', () => {
    const { scope, connect } = fakeScope();
    const emulator = startEmulator(scope, () => 0.5);
    const port = fakePort();
    connect(port);
    expect(port.started).toBe(true);
    expect(port.posted).toEqual([{ type: 'updates', points: emulator.simulator.snapshot() }]);
    expect(port.posted[0]).toMatchObject({ type: 'updates', points: { length: 73 } });

    port.send({ type: 'read', reqId: 1, pointIds: ['PT-102'] });
    port.send({ type: 'write', pointId: 'NS-101', value: false });
    expect(port.posted.slice(1)).toEqual([
      {
        type: 'read-result',
        reqId: 1,
        points: [{ id: 'PT-102', value: 4.3, status: 'good', timestamp: 0 }],
      },
    ]);
  });

  it('sends a command’s new value to every port at once, and answers nothing', () => {
    const { scope, connect } = fakeScope();
    const emulator = startEmulator(scope, () => 0.5);
    const first = fakePort();
    const second = fakePort();
    connect(first);
    connect(second);
    vi.advanceTimersByTime(10);
    first.send({ type: 'command', id: 'NS-101', value: false });
    first.send({ type: 'command', id: 'LT-101', value: 1 });
    const update = {
      type: 'updates',
      points: [{ id: 'NS-101', value: false, status: 'good', timestamp: 1_000_010 }],
    };
    expect(first.posted.slice(1)).toEqual([update]);
    expect(second.posted.slice(1)).toEqual([update]);
    expect(emulator.simulator.snapshot(['NS-101'])[0].value).toBe(false);
  });

  it('broadcasts every tick to every port in order of connection', () => {
    const { scope, connect } = fakeScope();
    const emulator = startEmulator(scope, () => 0.5);
    const order: string[] = [];
    const first = fakePort();
    const second = fakePort();
    for (const [name, port] of [
      ['first', first],
      ['second', second],
    ] as const) {
      const post = port.postMessage.bind(port);
      port.postMessage = (message) => {
        order.push(name);
        post(message);
      };
      connect(port);
    }
    order.length = 0;

    vi.advanceTimersByTime(TICK_INTERVAL_MS - 1);
    expect(first.posted).toHaveLength(1);
    vi.advanceTimersByTime(1);
    expect(order).toEqual(['first', 'second']);
    const update = first.posted[1];
    expect(update.type).toBe('updates');
    expect(pointsOf(update)).toHaveLength(73);
    expect(
      pointsOf(update).every((point) => point.timestamp === 1_000_000 + TICK_INTERVAL_MS),
    ).toBe(true);
    expect(second.posted[1]).toEqual(update);
    expect([...emulator.ports]).toEqual([first, second]);

    vi.advanceTimersByTime(2 * TICK_INTERVAL_MS);
    expect(first.posted).toHaveLength(4);
  });

  it('keeps ticking while no port is connected and after malformed messages', () => {
    const { scope, connect } = fakeScope();
    const emulator = startEmulator(scope, () => 0.5);
    vi.advanceTimersByTime(3 * TICK_INTERVAL_MS);
    expect(emulator.simulator.snapshot()[0].timestamp).toBe(1_000_000 + 3 * TICK_INTERVAL_MS);

    const port = fakePort();
    connect(port);
    expect(pointsOf(port.posted[0])[0].timestamp).toBe(1_000_000 + 3 * TICK_INTERVAL_MS);
    for (const message of [null, undefined, 42, 'x', [], { type: 'read', pointIds: 3, reqId: 2 }]) {
      expect(() => port.send(message)).not.toThrow();
    }
    expect(port.posted).toHaveLength(1);
    vi.advanceTimersByTime(TICK_INTERVAL_MS);
    expect(port.posted).toHaveLength(2);
  });

  it('ignores a connection that carries no port', () => {
    let onConnect: ((event: { ports: readonly EmulatorPort[] }) => void) | undefined;
    const emulator = startEmulator({
      addEventListener: (_type, listener) => (onConnect = listener),
    });
    expect(() => onConnect?.({ ports: [] })).not.toThrow();
    expect(emulator.ports.size).toBe(0);
  });
});
