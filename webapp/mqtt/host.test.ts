// @vitest-environment node
import { afterEach, beforeEach, describe, expect, it, vi } from 'vitest';
import type { BrokerSettings } from '../data';
import { FLUSH_INTERVAL_MS } from './hub';
import {
  RECONNECT_FIRST_MS,
  RECONNECT_MAX_MS,
  reconnectDelay,
  startBrokerWorker,
  type BrokerClient,
  type WorkerPort,
} from './host';

const SETTINGS: BrokerSettings = {
  broker: 'ws://127.0.0.1:9001',
  topicPrefix: 'plant/a',
  user: 'operator',
  password: 'secret',
};
const bytes = (text: string) => new TextEncoder().encode(text);

/** A stand-in for the MQTT client that the test drives. */
function fakeClient() {
  const listeners = new Map<string, ((...args: unknown[]) => void)[]>();
  const client = {
    connected: false,
    subscribed: [] as string[],
    published: [] as [string, string, unknown][],
    reconnects: 0,
    on(event: string, listener: (...args: unknown[]) => void) {
      listeners.set(event, [...(listeners.get(event) ?? []), listener]);
      return client;
    },
    emit(event: string, ...args: unknown[]) {
      for (const listener of listeners.get(event) ?? []) listener(...args);
    },
    subscribe(topic: string, _options: unknown, callback: (error?: Error | null) => void) {
      client.subscribed.push(topic);
      callback(null);
    },
    publish(topic: string, payload: string, options: unknown, callback: () => void) {
      client.published.push([topic, payload, options]);
      callback();
    },
    reconnect() {
      client.reconnects += 1;
    },
    goOnline() {
      client.connected = true;
      client.emit('connect');
    },
    goOffline(error?: Error & { code?: number }) {
      client.connected = false;
      if (error) client.emit('error', error);
      client.emit('close');
    },
  };
  return client;
}

function fakePort() {
  const listeners: ((event: MessageEvent) => void)[] = [];
  const port = {
    posted: [] as Record<string, unknown>[],
    postMessage(message: unknown) {
      port.posted.push(structuredClone(message) as Record<string, unknown>);
    },
    addEventListener(_type: 'message', listener: (event: MessageEvent) => void) {
      listeners.push(listener);
    },
    start() {},
    send(data: unknown) {
      for (const listener of listeners) listener({ data } as MessageEvent);
    },
    ofType(type: string) {
      return port.posted.filter((message) => message.type === type);
    },
  };
  return port;
}

function setUp() {
  const clients: ReturnType<typeof fakeClient>[] = [];
  const connector = vi.fn((settings: BrokerSettings) => {
    void settings;
    const client = fakeClient();
    clients.push(client);
    return client as unknown as BrokerClient;
  });
  let onConnect: ((event: { ports: readonly WorkerPort[] }) => void) | undefined;
  const worker = startBrokerWorker(
    { addEventListener: (_type, listener) => (onConnect = listener) },
    connector,
    { random: () => 0, clock: () => Date.now() },
  );
  const join = () => {
    const port = fakePort();
    onConnect?.({ ports: [port] });
    return port;
  };
  return { worker, connector, clients, join };
}

beforeEach(() => {
  vi.useFakeTimers({ now: 1_000_000 });
});
afterEach(() => {
  vi.useRealTimers();
});

describe('startBrokerWorker', () => {
  it('connects once for every page, with the first page’s settings, and tells each page the state', () => {
    const { connector, clients, join } = setUp();
    const first = join();
    first.send({ type: 'broker-connect', settings: SETTINGS });
    const second = join();
    second.send({ type: 'broker-connect', settings: { ...SETTINGS, broker: 'ws://other' } });
    expect(connector).toHaveBeenCalledOnce();
    expect(connector).toHaveBeenCalledWith(SETTINGS);
    expect(second.ofType('broker-state')).toEqual([
      { type: 'broker-state', state: 'connecting', broker: SETTINGS.broker },
    ]);

    clients[0].goOnline();
    expect(clients[0].subscribed).toEqual(['plant/a/+']);
    for (const port of [first, second]) {
      expect(port.ofType('broker-state').at(-1)).toEqual({
        type: 'broker-state',
        state: 'online',
        broker: SETTINGS.broker,
      });
      expect(JSON.stringify(port.posted)).not.toContain('secret');
    }
  });

  it('delivers followed values and, when the connection goes, all of them again as bad at once', () => {
    const { clients, join } = setUp();
    const page = join();
    page.send({ type: 'broker-connect', settings: SETTINGS });
    page.send({ type: 'subscribe', pointIds: ['LT-101', 'NS-101'] });
    const client = clients[0];
    client.goOnline();
    client.emit('message', 'plant/a/LT-101', bytes('61'));
    client.emit('message', 'plant/a/NS-101', bytes('true'));
    client.emit('message', 'plant/a/PT-102', bytes('4.3'));
    client.emit('message', 'plant/a/LT-101/set', bytes('{"value": 1}'));
    client.emit('message', 'elsewhere/LT-101', bytes('5'));
    vi.advanceTimersByTime(FLUSH_INTERVAL_MS);
    expect(page.ofType('updates')).toEqual([
      {
        type: 'updates',
        points: [
          { id: 'LT-101', value: 61, status: 'good', timestamp: 1_000_000 },
          { id: 'NS-101', value: true, status: 'good', timestamp: 1_000_000 },
        ],
      },
    ]);
    page.send({ type: 'updates-ack' });

    vi.advanceTimersByTime(1000);
    client.goOffline();
    expect(page.ofType('broker-state').at(-1)).toMatchObject({ state: 'offline' });
    vi.advanceTimersByTime(FLUSH_INTERVAL_MS);
    expect(page.ofType('updates').at(-1)).toEqual({
      type: 'updates',
      points: [
        { id: 'LT-101', value: 61, status: 'bad', timestamp: 1_001_000 + FLUSH_INTERVAL_MS },
        { id: 'NS-101', value: true, status: 'bad', timestamp: 1_001_000 + FLUSH_INTERVAL_MS },
      ],
    });
    expect(page.ofType('broker-report').map((message) => message.text)).toEqual([
      'Data server ws://127.0.0.1:9001: connected.',
      'Data server ws://127.0.0.1:9001: connection lost; reconnecting.',
    ]);
  });

  it('reconnects with growing, capped delays and starts over once connected', () => {
    const { clients, join } = setUp();
    join().send({ type: 'broker-connect', settings: SETTINGS });
    const client = clients[0];
    const attemptTimes: number[] = [];
    client.reconnect = () => {
      attemptTimes.push(Date.now() - 1_000_000);
      client.goOffline(new Error('connect ECONNREFUSED'));
    };
    client.goOffline(new Error('connect ECONNREFUSED'));
    for (let i = 0; i < 6; i += 1) vi.advanceTimersToNextTimer();
    const gaps = attemptTimes.map((time, i) => time - (attemptTimes[i - 1] ?? 0));
    expect(gaps).toEqual([500, 1000, 2000, 3000, 3000, 3000]);
    expect(clients).toHaveLength(1);

    client.reconnect = () => client.goOnline();
    vi.advanceTimersToNextTimer();
    client.goOffline();
    const before = Date.now();
    client.reconnect = () => attemptTimes.push(Date.now() - before);
    vi.advanceTimersToNextTimer();
    expect(attemptTimes.at(-1)).toBe(RECONNECT_FIRST_MS);
  });

  it('shows a refused login as such, reporting it once however often it is retried', () => {
    const { clients, join } = setUp();
    const page = join();
    page.send({ type: 'broker-connect', settings: SETTINGS });
    const client = clients[0];
    const refused = Object.assign(new Error('Connection refused: Not authorized'), { code: 5 });
    client.reconnect = () => client.goOffline(refused);
    client.goOffline(refused);
    for (let i = 0; i < 3; i += 1) vi.advanceTimersToNextTimer();
    expect(page.ofType('broker-state').at(-1)).toMatchObject({ state: 'login-refused' });
    expect(page.ofType('broker-report').map((message) => message.text)).toEqual([
      'Data server ws://127.0.0.1:9001: the login of user "operator" was refused: Connection refused: Not authorized',
    ]);
  });

  it('answers reads and catalogue requests from what the broker sent', () => {
    const { clients, join } = setUp();
    const page = join();
    page.send({ type: 'broker-connect', settings: SETTINGS });
    const client = clients[0];
    client.goOnline();
    client.emit('message', 'plant/a/$catalogue', bytes('[{"id": "LT-101", "kind": "analog"}]'));
    client.emit('message', 'plant/a/LT-101', bytes('{"value": 61, "timestamp": 5}'));
    page.send({ type: 'read', reqId: 1, pointIds: ['LT-101', 'XX-1'] });
    page.send({ type: 'list', reqId: 2 });
    page.send({ type: 'read', reqId: 3, pointIds: 'LT-101' });
    expect(page.posted.filter((message) => String(message.type).endsWith('-result'))).toEqual([
      {
        type: 'read-result',
        reqId: 1,
        points: [{ id: 'LT-101', value: 61, status: 'good', timestamp: 5 }],
      },
      { type: 'list-result', reqId: 2, points: [{ id: 'LT-101', kind: 'analog' }] },
    ]);
  });

  it('publishes a command at QoS 1, not retained, and never queues one while offline', () => {
    const { clients, join } = setUp();
    const page = join();
    page.send({ type: 'broker-connect', settings: SETTINGS });
    const client = clients[0];
    page.send({ type: 'write', pointId: 'NS-101', value: false });
    client.goOnline();
    page.send({ type: 'write', pointId: 'NS-101', value: true });
    page.send({ type: 'write', pointId: 'HV-203', value: 42.5 });
    page.send({ type: 'write', pointId: 'a/#', value: 1 });
    page.send({ type: 'write', pointId: 'HV-203', value: { open: true } });
    expect(client.published).toEqual([
      ['plant/a/NS-101/set', '{"value":true}', { qos: 1, retain: false }],
      ['plant/a/HV-203/set', '{"value":42.5}', { qos: 1, retain: false }],
    ]);
    expect(page.ofType('broker-report').map((message) => message.text)).toEqual([
      'Data server ws://127.0.0.1:9001: a command to NS-101 was not sent: no connection.',
      'Data server ws://127.0.0.1:9001: connected.',
      'Data server ws://127.0.0.1:9001: a command to the point "a/#" was not sent: not a point id.',
      'Data server ws://127.0.0.1:9001: a command to HV-203 was not sent: its value is not a number, flag or text.',
    ]);
  });

  it('shows the connection as lost when the client refuses the address outright', () => {
    let onConnect: ((event: { ports: readonly WorkerPort[] }) => void) | undefined;
    startBrokerWorker({ addEventListener: (_type, listener) => (onConnect = listener) }, () => {
      throw new Error('Missing protocol');
    });
    const page = fakePort();
    onConnect?.({ ports: [page] });
    page.send({ type: 'broker-connect', settings: SETTINGS });
    expect(page.ofType('broker-state').at(-1)).toMatchObject({ state: 'offline' });
    expect(page.ofType('broker-report')).toMatchObject([
      { text: 'Data server ws://127.0.0.1:9001: cannot connect: Missing protocol' },
    ]);
  });

  it('ignores malformed messages from a page', () => {
    const { connector, join } = setUp();
    const page = join();
    for (const message of [null, 7, 'subscribe', { type: 'broker-connect' }, { type: 'read' }]) {
      expect(() => page.send(message)).not.toThrow();
    }
    page.send({ type: 'broker-connect', settings: { broker: 5, topicPrefix: 'a' } });
    expect(connector).not.toHaveBeenCalled();
  });
});

describe('reconnectDelay', () => {
  it('doubles from the first delay up to the cap, shortened by up to a quarter at random', () => {
    expect([0, 1, 2, 3, 10, 1000].map((attempt) => reconnectDelay(attempt, () => 0))).toEqual([
      500, 1000, 2000, 3000, 3000, 3000,
    ]);
    expect(reconnectDelay(0, () => 0.999)).toBeCloseTo(RECONNECT_FIRST_MS * 0.75, 0);
    expect(reconnectDelay(50, () => 0.5)).toBe(RECONNECT_MAX_MS * 0.875);
  });
});
