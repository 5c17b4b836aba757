import type { Alarm } from '../station';
import { areasOf, nextSort, rowActions, summaryRows, type SummarySort } from './summary';

function alarm(id: string, fields: Partial<Alarm> = {}): Alarm {
  return {
    id,
    pointId: id.split('.')[0],
    kind: 'hi',
    priority: 3,
    message: `Сообщение ${id}`,
    area: '',
    latched: false,
    state: 'active',
    active: true,
    acknowledged: false,
    suspect: false,
    chattering: false,
    raisedAt: 1000,
    changedAt: 1000,
    value: 1,
    ...fields,
  };
}

const alarms = [
  alarm('A.hi', { priority: 2, state: 'acknowledged', raisedAt: 5000, area: 'Насосная' }),
  alarm('B.hi', { priority: 3, raisedAt: 4000, area: 'Котельная' }),
  alarm('C.hi', { priority: 1, state: 'returned', active: false, raisedAt: 3000 }),
  alarm('D.hi', { priority: 1, raisedAt: 6000, message: 'Давление ВЫСОКОЕ' }),
  alarm('E.hi', { priority: 4, state: 'latched', raisedAt: 7000, area: 'Насосная' }),
  alarm('F.hi', { priority: 2, state: 'shelved' }),
  alarm('G.hi', { priority: 2, state: 'out-of-service' }),
];
const ids = (list: Alarm[]) => list.map((entry) => entry.id);

describe('summaryRows', () => {
  it.each<[string, SummarySort, string[]]>([
    [
      'unacknowledged first, then priority, then newest',
      null,
      ['D.hi', 'C.hi', 'B.hi', 'A.hi', 'E.hi'],
    ],
    [
      'newest first',
      { key: 'time', direction: 'descending' },
      ['E.hi', 'D.hi', 'A.hi', 'B.hi', 'C.hi'],
    ],
    [
      'oldest first',
      { key: 'time', direction: 'ascending' },
      ['C.hi', 'B.hi', 'A.hi', 'D.hi', 'E.hi'],
    ],
    [
      'priority 1 first, newest among equals',
      { key: 'priority', direction: 'ascending' },
      ['D.hi', 'C.hi', 'A.hi', 'B.hi', 'E.hi'],
    ],
    [
      'priority 4 first',
      { key: 'priority', direction: 'descending' },
      ['E.hi', 'B.hi', 'A.hi', 'D.hi', 'C.hi'],
    ],
  ])('orders the standing alarms: %s', (_name, sort, expected) => {
    expect(ids(summaryRows(alarms, 'standing', {}, sort))).toEqual(expected);
  });

  it.each([
    ['shelved', {}, ['F.hi']],
    ['out-of-service', {}, ['G.hi']],
    ['standing', { priority: 1 as const }, ['D.hi', 'C.hi']],
    ['standing', { state: 'latched' as const }, ['E.hi']],
    ['standing', { area: 'Насосная' }, ['A.hi', 'E.hi']],
    ['standing', { text: 'высокое' }, ['D.hi']],
    ['standing', { text: ' b.H ' }, ['B.hi']],
    ['standing', { text: 'C' }, ['C.hi']],
    ['standing', { priority: 2 as const, text: 'нет такого' }, []],
  ] as const)('lists the %s tab through %j', (tab, filter, expected) => {
    expect(ids(summaryRows(alarms, tab, filter, null))).toEqual(expected);
  });
});

describe('nextSort', () => {
  it('goes through the natural direction, the other one and back to the default', () => {
    let sort: SummarySort = null;
    const seen: SummarySort[] = [];
    for (let k = 0; k < 3; k++) seen.push((sort = nextSort(sort, 'time')));
    expect(seen).toEqual([
      { key: 'time', direction: 'descending' },
      { key: 'time', direction: 'ascending' },
      null,
    ]);
    expect(nextSort({ key: 'time', direction: 'ascending' }, 'priority')).toEqual({
      key: 'priority',
      direction: 'ascending',
    });
  });
});

describe('row actions and areas', () => {
  it.each([
    ['active', ['acknowledge', 'shelve', 'comment', 'out-of-service']],
    ['acknowledged', ['shelve', 'comment', 'out-of-service']],
    ['returned', ['acknowledge', 'shelve', 'comment', 'out-of-service']],
    ['latched', ['reset', 'shelve', 'comment', 'out-of-service']],
    ['shelved', ['unshelve', 'comment', 'out-of-service']],
    ['out-of-service', ['comment', 'in-service']],
  ] as const)('offers for %s: %j', (state, actions) => {
    expect(rowActions(alarm('X.hi', { state }))).toEqual(actions);
  });

  it('lists the named areas once, in order', () => {
    expect(areasOf(alarms)).toEqual(['Котельная', 'Насосная']);
  });
});
