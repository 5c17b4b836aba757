// What a card's tests give it: a data source that answers from a fixed
// catalogue and fixed values and never ticks, and a history with nothing in it.
import type { DataSource, PointInfo, PointValue } from '../data';
import type { HistoryClient } from './history';

export function fixedSource(catalogue: PointInfo[], values: PointValue[] = []): DataSource {
  return {
    subscribe: () => () => {},
    read: (ids) => Promise.resolve(values.filter((value) => ids.includes(value.id))),
    listPoints: () => Promise.resolve(catalogue),
    writeCommand: () => Promise.resolve(),
    getHistory: () => Promise.resolve([]),
    subscribeEvents: () => () => {},
  };
}

export const emptyHistory: HistoryClient = {
  available: true,
  getHistory: () => Promise.resolve({ points: {}, downsampled: {} }),
};
