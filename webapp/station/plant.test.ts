import { describe, expect, it, vi } from 'vitest';
import type { PointValue } from '../data';
import type { ChannelObject } from './channel';
import { createPlantDataSource, readBatch, readPlantState } from './plant';

/** The program's plant service: records calls, raises signals on demand. */
function fakePlant(answers: Record<string, unknown> = {}) {
  const calls: [string, ...unknown[]][] = [];
  const listeners = new Map<string, ((...args: unknown[]) => void)[]>();
  const plant: ChannelObject = {
    name: 'plant',
    methods: new Set(['state', 'follow', 'applied', 'read', 'list', 'write']),
    invoke(method, ...args) {
      calls.push([method, ...args]);
      return Promise.resolve(answers[method] ?? true);
    },
    on(signal, listener) {
      listeners.set(signal, [...(listeners.get(signal) ?? []), listener]);
      return () => {};
    },
  };
  const raise = (signal: string, ...args: unknown[]) => {
    for (const listener of listeners.get(signal) ?? []) listener(...args);
  };
  return { plant, calls, raise };
}

const online = { source: 'broker', state: 'online', broker: 'mqtt://h:1883' } as const;
const settle = () => new Promise((resolve) => setTimeout(resolve, 0));

describe('the data source over the program’s plant connection', () => {
  it('reads the host’s state and batches as closed records', () => {
    expect(readPlantState({ source: 'broker', state: 'certificate-refused', broker: 'x' })).toEqual(
      { source: 'broker', state: 'certificate-refused', broker: 'x' },
    );
    expect(readPlantState({ source: 'broker', state: 'weird' }).state).toBe('connecting');
    expect(readPlantState(null).source).toBe('emulator');
    expect(
      readBatch(
        '[["A",1.5,"good",10],["B",true,"bad",11],["C","x","good",1],["D",1,"odd",1],7,["E",1,"good"]]',
      ),
    ).toEqual([
      { id: 'A', value: 1.5, status: 'good', timestamp: 10 },
      { id: 'B', value: true, status: 'bad', timestamp: 11 },
    ]);
    expect(readBatch('not json')).toEqual([]);
    expect(readBatch(42)).toEqual([]);
  });

  it('follows the union of its subscribers once per task and hands each its own points', async () => {
    const { plant, calls, raise } = fakePlant();
    const frames: (() => void)[] = [];
    const { dataSource } = createPlantDataSource(plant, online, (callback) =>
      frames.push(callback),
    );
    const first = vi.fn<(values: PointValue[]) => void>();
    const second = vi.fn<(values: PointValue[]) => void>();
    dataSource.subscribe(['B', 'A'], first);
    const stop = dataSource.subscribe(['C'], second);
    await settle();
    expect(calls).toEqual([['follow', ['A', 'B', 'C']]]);

    raise('updates', '[["A",1,"good",1],["C",2,"good",1],["Z",3,"good",1]]');
    expect(first).toHaveBeenCalledWith([{ id: 'A', value: 1, status: 'good', timestamp: 1 }]);
    expect(second).toHaveBeenCalledWith([{ id: 'C', value: 2, status: 'good', timestamp: 1 }]);
    // The answer waits for the frame that shows the batch.
    expect(calls.filter(([method]) => method === 'applied')).toHaveLength(0);
    frames.shift()?.();
    expect(calls.filter(([method]) => method === 'applied')).toHaveLength(1);

    stop();
    await settle();
    expect(calls.at(-1)).toEqual(['follow', ['A', 'B']]);
    raise('updates', '[["C",5,"good",2]]');
    expect(second).toHaveBeenCalledTimes(1);
  });

  it('follows the connection’s state and answers commands with the host’s reason', async () => {
    const { plant, raise } = fakePlant({ write: { error: 'no connection' } });
    const { dataSource, connection } = createPlantDataSource(plant, online, () => {});
    raise('stateChanged', { source: 'broker', state: 'offline', broker: 'mqtt://h:1883' });
    expect(connection.current()).toEqual({ state: 'offline', broker: 'mqtt://h:1883' });
    await expect(dataSource.writeCommand('SP-1', 5)).rejects.toThrow('no connection');
  });

  it('reads and lists through the host, skipping what is malformed', async () => {
    const { plant } = fakePlant({
      read: [{ id: 'A', value: 2, status: 'uncertain', timestamp: 3 }, { id: 'B' }],
      list: [
        { id: 'A', kind: 'analog', unit: '%' },
        { id: 'B', kind: 'text' },
      ],
    });
    const { dataSource } = createPlantDataSource(plant, online, () => {});
    expect(await dataSource.read(['A', 'B'])).toEqual([
      { id: 'A', value: 2, status: 'uncertain', timestamp: 3 },
    ]);
    expect(await dataSource.listPoints()).toEqual([{ id: 'A', kind: 'analog', unit: '%' }]);
  });

  it.each<[string, unknown, unknown]>([
    [
      'a writable analog point with its range',
      { id: 'HV', kind: 'analog', writable: true, min: 0, max: 100 },
      { id: 'HV', kind: 'analog', writable: true, min: 0, max: 100 },
    ],
    [
      'a writable discrete point, without a range',
      { id: 'NS', kind: 'discrete', writable: true, min: 0, max: 1 },
      { id: 'NS', kind: 'discrete', writable: true },
    ],
    [
      'a point that is not writable',
      { id: 'LT', kind: 'analog', writable: 'yes' },
      { id: 'LT', kind: 'analog' },
    ],
    [
      'one bound alone',
      { id: 'PT', kind: 'analog', min: -5, max: 'high' },
      { id: 'PT', kind: 'analog', min: -5 },
    ],
    [
      'bounds that cross',
      { id: 'PT', kind: 'analog', writable: true, min: 10, max: 0 },
      { id: 'PT', kind: 'analog', writable: true },
    ],
  ])('lists %s', async (_name, entry, expected) => {
    const { plant } = fakePlant({ list: [entry] });
    const { dataSource } = createPlantDataSource(plant, online, () => {});
    expect(await dataSource.listPoints()).toEqual([expected]);
  });
});
