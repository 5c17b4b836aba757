// @vitest-environment node
import { afterEach, describe, expect, it, vi } from 'vitest';
import { createBrokerPortSource, type BrokerPort } from './broker-source';
import { connectionMessage } from './connection';

const SETTINGS = { broker: 'ws://h:1', topicPrefix: 'p', user: 'op', password: 'secret' };
const open: MessagePort[] = [];
afterEach(() => {
  for (const port of open.splice(0)) port.close();
});

/** A broker source over a real channel; the other end records what the page sends. */
function connect() {
  const { port1, port2 } = new MessageChannel();
  open.push(port1, port2);
  const received: { type: string }[] = [];
  port2.addEventListener('message', (event: MessageEvent<{ type: string }>) => {
    received.push(event.data);
  });
  port2.start();
  const log = { warn: vi.fn(), info: vi.fn() };
  // What the page posts, in order, as it posts it.
  const posted: string[] = [];
  const post = port1.postMessage.bind(port1);
  port1.postMessage = (message: { type: string }) => {
    posted.push(message.type);
    post(message);
  };
  const source = createBrokerPortSource(port1 as unknown as BrokerPort, SETTINGS, log);
  return {
    ...source,
    received,
    posted,
    log,
    send: (message: unknown) => port2.postMessage(message),
  };
}

describe('createBrokerPortSource', () => {
  it('names the broker first, then speaks the usual protocol', async () => {
    const { dataSource, received } = connect();
    void dataSource.read(['LT-101']);
    await vi.waitFor(() => expect(received).toHaveLength(2));
    expect(received).toEqual([
      { type: 'broker-connect', settings: SETTINGS },
      { type: 'read', reqId: 1, pointIds: ['LT-101'] },
    ]);
  });

  it('acknowledges each update after the subscribers have had it', async () => {
    const { dataSource, received, posted, send } = connect();
    dataSource.subscribe(['LT-101'], () => posted.push('delivered'));
    send({ type: 'updates', points: [{ id: 'LT-101', value: 1, status: 'bad', timestamp: 1 }] });
    send({ type: 'updates', points: [] });
    await vi.waitFor(() =>
      expect(received.filter((m) => m.type === 'updates-ack')).toHaveLength(2),
    );
    expect(posted).toEqual([
      'broker-connect',
      'subscribe',
      'delivered',
      'updates-ack',
      'updates-ack',
    ]);
  });

  it('follows the worker’s connection state and logs its reports on the page', async () => {
    const { connection, send, log } = connect();
    const changed = vi.fn();
    connection.subscribe(changed);
    expect(connection.current()).toEqual({ state: 'connecting', broker: 'ws://h:1' });
    send({ type: 'broker-state', state: 'offline', broker: 'ignored' });
    send({ type: 'broker-state', state: 'exploded', broker: 'ws://h:1' });
    send({ type: 'broker-report', level: 'warn', text: 'Point LT-101: payload is not JSON' });
    send({ type: 'broker-report', level: 'info', text: 'connected.' });
    send({ type: 'broker-report', text: 7 });
    await vi.waitFor(() => expect(log.info).toHaveBeenCalled());
    expect(connectionMessage(connection.current())).toBe('Нет связи с сервером данных: ws://h:1');
    expect(changed).toHaveBeenCalledOnce();
    expect(log.warn.mock.calls).toEqual([['Point LT-101: payload is not JSON']]);
    expect(log.info.mock.calls).toEqual([['connected.']]);
  });
});
