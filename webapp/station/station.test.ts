import { describe, expect, it, vi } from 'vitest';
import type { DataSource, PointValue } from '../data';
import { CHANNEL_MESSAGE, type ChannelTransport } from './channel';
import {
  connectStationOver,
  forwardEmulator,
  readHistoryAnswer,
  withStationHistory,
  type HistoryClient,
  type Station,
} from './station';

const SESSION_STATE = {
  configured: true,
  user: 'ivanov',
  role: 'operator',
  allowed: { alarms: true, commands: false, edit: false, outOfService: false },
  reasons: { commands: 'Нет права', edit: 'Нет права', outOfService: 'Нет права' },
};

/**
 * A host side of the channel: four services, answering as the program does;
 * with `users`, a session service too and a plant that takes commands.
 */
function fakeHost({ users = false } = {}) {
  const sent: Record<string, unknown>[] = [];
  const settings: Record<string, unknown> = {};
  const transport: ChannelTransport = {
    onmessage: null,
    send(text) {
      const message = JSON.parse(text) as Record<string, unknown>;
      sent.push(message);
      const reply = (data: unknown) =>
        queueMicrotask(() =>
          transport.onmessage?.({
            data: JSON.stringify({ type: CHANNEL_MESSAGE.response, id: message.id, data }),
          }),
        );
      if (message.type === CHANNEL_MESSAGE.init) {
        reply({
          history: {
            methods: [
              ['deleteLater', 0],
              ['query', 5],
            ],
            signals: [['answered', 4]],
          },
          points: {
            methods: [
              ['forward', 5],
              ['describe', 6],
            ],
            signals: [],
          },
          settings: {
            methods: [
              ['value', 5],
              ['setValue', 6],
            ],
            signals: [],
          },
          plant: users
            ? {
                methods: [
                  ['state', 5],
                  ['command', 6],
                ],
                signals: [
                  ['commanded', 2],
                  ['emulatorCommand', 3],
                ],
              }
            : { methods: [['state', 5]], signals: [] },
          ...(users && {
            session: {
              methods: [
                ['state', 5],
                ['login', 6],
              ],
              signals: [['changed', 2]],
            },
          }),
        });
      } else if (message.type === CHANNEL_MESSAGE.invokeMethod) {
        const args = message.args as unknown[];
        if (message.object === 'history') {
          reply(null);
          queueMicrotask(() =>
            transport.onmessage?.({
              data: JSON.stringify({
                type: CHANNEL_MESSAGE.signal,
                object: 'history',
                signal: 4,
                args: [
                  args[0],
                  {
                    points: { [(args[1] as string[])[0]]: [{ t: 1, v: 2, s: 'good' }, { t: 2 }] },
                    downsampled: { x: true },
                  },
                ],
              }),
            }),
          );
        } else if (message.object === 'settings' && message.method === 6) {
          settings[args[0] as string] = args[1];
          reply(true);
        } else if (message.object === 'settings') {
          reply(settings[(message.args as string[])[0]] ?? {});
        } else if (message.object === 'session' && message.method === 5) {
          reply(SESSION_STATE);
        } else {
          reply(true);
        }
      }
    },
  };
  const signal = (object: string, index: number, args: unknown[]) =>
    transport.onmessage?.({
      data: JSON.stringify({ type: CHANNEL_MESSAGE.signal, object, signal: index, args }),
    });
  return { transport, sent, signal };
}

describe('the station over the channel', () => {
  it('is absent without the program', async () => {
    expect(await connectStationOver(null)).toBeNull();
  });

  it('asks history by request number and keeps only well-formed samples', async () => {
    const { transport, sent } = fakeHost();
    const station = (await connectStationOver(transport)) as Station;
    expect(station.history.available).toBe(true);
    const [first, second] = await Promise.all([
      station.history.getHistory(['LT-101'], 0.4, 1000.6, 800),
      station.history.getHistory(['PT-102'], 0, 10, -5),
    ]);
    expect(first.points).toEqual({ 'LT-101': [{ t: 1, v: 2, s: 'good' }] });
    expect(second.points).toEqual({ 'PT-102': [{ t: 1, v: 2, s: 'good' }] });
    const queries = sent.filter(
      (m) => m.type === CHANNEL_MESSAGE.invokeMethod && m.object === 'history',
    );
    expect(queries.map((m) => m.args)).toEqual([
      [1, ['LT-101'], 0, 1001, 800],
      [2, ['PT-102'], 0, 10, 0],
    ]);
    // Connected once to the answer signal, and idle after init.
    expect(sent.filter((m) => m.type === CHANNEL_MESSAGE.connectToSignal)).toHaveLength(1);
    expect(sent.some((m) => m.type === CHANNEL_MESSAGE.idle)).toBe(true);
  });

  it('keeps settings through the host and reads nothing stored as none', async () => {
    const { transport } = fakeHost();
    const station = (await connectStationOver(transport)) as Station;
    expect(await station.settings('trends').load()).toBeNull();
    station.settings('trends').save({ pens: ['LT-101'] });
    await new Promise((resolve) => setTimeout(resolve, 0));
    expect(await station.settings('trends').load()).toEqual({ pens: ['LT-101'] });
    expect(await station.settings('view').load()).toBeNull();
  });

  it('offers no users and no commands when the program has neither', async () => {
    const station = (await connectStationOver(fakeHost().transport)) as Station;
    expect(station.session.current().configured).toBe(false);
    expect(station.commands.available).toBe(false);
    expect(() => station.onEmulatorCommand(() => {})()).not.toThrow();
  });

  it('reads the session before it is ready, and sends commands with their numbers', async () => {
    const { transport, sent, signal } = fakeHost({ users: true });
    const station = (await connectStationOver(transport)) as Station;
    expect(station.session.current()).toMatchObject({ user: 'ivanov', allowed: { alarms: true } });
    signal('session', 2, [{ configured: true, user: null, allowed: {}, reasons: {} }]);
    expect(station.session.current().user).toBeNull();

    const answer = station.commands.send('HV-305', 30);
    signal('plant', 2, [1, { outcome: 'done' }]);
    await expect(answer).resolves.toEqual({ outcome: 'done' });
    const commands = sent.filter((m) => m.object === 'plant' && m.method === 6);
    expect(commands.map((m) => m.args)).toEqual([[1, 'HV-305', 30]]);
  });

  it('hands the emulator the program’s commands until stopped', async () => {
    const { transport, signal } = fakeHost({ users: true });
    const station = (await connectStationOver(transport)) as Station;
    const source = {
      listPoints: () => Promise.resolve([]),
      subscribe: () => () => {},
    } as unknown as DataSource;
    const command = vi.fn();
    const stop = forwardEmulator(source, station, command);
    signal('plant', 3, ['NS-101', false]);
    signal('plant', 3, ['HV-305', 30]);
    signal('plant', 3, ['HV-305', '30']);
    signal('plant', 3, [7, true]);
    stop();
    signal('plant', 3, ['NS-101', true]);
    expect(command.mock.calls).toEqual([
      ['NS-101', false],
      ['HV-305', 30],
    ]);
  });

  it('forwards the emulator: the catalogue first, then one call per update', async () => {
    let deliver: (values: PointValue[]) => void = () => {};
    const source = {
      listPoints: () => Promise.resolve([{ id: 'LT-101', kind: 'analog' as const }]),
      subscribe: vi.fn((_ids: readonly string[], callback: (values: PointValue[]) => void) => {
        deliver = callback;
        return () => {};
      }),
    } as unknown as DataSource;
    const station = {
      describePoints: vi.fn(),
      forwardValues: vi.fn(),
    } as unknown as Station;
    forwardEmulator(source, station);
    await new Promise((resolve) => setTimeout(resolve, 0));
    expect(station.describePoints).toHaveBeenCalledWith([{ id: 'LT-101', kind: 'analog' }]);
    const values: PointValue[] = [{ id: 'LT-101', value: 1, status: 'good', timestamp: 5 }];
    deliver(values);
    deliver(values);
    expect(station.forwardValues).toHaveBeenCalledTimes(2);
  });
});

describe('readHistoryAnswer', () => {
  it.each([
    ['not a record', 'x', { points: {}, downsampled: {} }],
    ['null', null, { points: {}, downsampled: {} }],
    [
      'a list in place of samples, a gap kept',
      {
        points: {
          a: 'x',
          b: [
            { t: 1, v: null, s: 'bad' },
            { t: 2, v: 'x', s: 'good' },
          ],
        },
      },
      { points: { a: [], b: [{ t: 1, v: null, s: 'bad' }] }, downsampled: {} },
    ],
    [
      'flags only when true',
      { points: {}, downsampled: { a: true, b: 'yes' } },
      { points: {}, downsampled: { a: true, b: false } },
    ],
  ])('%s', (_name, value, expected) => {
    expect(readHistoryAnswer(value)).toEqual(expected);
  });
});

describe('withStationHistory', () => {
  const history: HistoryClient = {
    available: true,
    getHistory: vi.fn(() =>
      Promise.resolve({
        points: { a: [{ t: 1, v: 2, s: 'good' as const }] },
        downsampled: { a: true },
      }),
    ),
  };
  const source = withStationHistory(
    { getHistory: () => Promise.resolve([]) } as unknown as DataSource,
    history,
  );

  it('lists each asked point with its samples, in the order asked', async () => {
    await expect(source.getHistory(['b', 'a'], 0, 10, 100)).resolves.toEqual([
      { id: 'b', samples: [], downsampled: false },
      { id: 'a', samples: [{ t: 1, v: 2, s: 'good' }], downsampled: true },
    ]);
    expect(history.getHistory).toHaveBeenCalledWith(['b', 'a'], 0, 10, 100);
  });

  it.each([
    ['ids not a list', 'a', 0, 10],
    ['an id not a text', ['a', 1], 0, 10],
    ['no times', ['a'], undefined, undefined],
  ])('answers an empty list for %s', async (_name, ids, from, to) => {
    await expect(source.getHistory(ids, from, to)).resolves.toEqual([]);
  });
});
