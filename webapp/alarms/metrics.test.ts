import type { Alarm, JournalRecord } from '../station';
import { alarmMetrics, binCounts, chatteringAlarms, floodTime } from './metrics';

const MIN = 60_000;
const FROM = Date.UTC(2024, 4, 1, 0, 0, 0);

let seq = 0;
function activation(minute: number, alarm = 'LT-101.hi', priority = 3, text = ''): JournalRecord {
  return {
    seq: ++seq,
    time: FROM + minute * MIN,
    sourceTime: FROM + minute * MIN,
    event: 'active',
    alarm,
    point: alarm.split('.')[0],
    priority,
    value: '',
    user: '',
    station: 'st-1',
    text,
  };
}

function alarm(id: string, fields: Partial<Alarm> = {}): Alarm {
  return {
    id,
    pointId: id.split('.')[0],
    kind: 'hi',
    priority: 3,
    message: `сообщение ${id}`,
    area: '',
    latched: false,
    state: 'active',
    active: true,
    acknowledged: false,
    suspect: false,
    chattering: false,
    raisedAt: FROM,
    changedAt: FROM,
    value: 1,
    ...fields,
  };
}

const at = (...minutes: number[]) => minutes.map((m) => FROM + m * MIN);
const times = (count: number, start: number, step: number) =>
  at(...Array.from({ length: count }, (_, k) => start + k * step));

describe('binCounts', () => {
  it.each([
    ['one hour, six bins', at(0, 9.9, 10, 59.9), 60, [2, 1, 0, 0, 0, 1]],
    ['a short last bin', at(0, 14), 15, [1, 1]],
    ['times outside the period are left out', at(-1, 60), 60, [0, 0, 0, 0, 0, 0]],
    ['a period shorter than a bin is one bin', at(1), 5, [1]],
  ])('%s', (_name, list, minutes, expected) => {
    expect(binCounts(list, FROM, FROM + minutes * MIN)).toEqual(expected);
  });
});

describe('floodTime', () => {
  const burst = times(11, 0, 0.5);
  it.each([
    // On with the 11th at 5 min; off when fewer than 5 remain, as the 7th
    // leaves the window 10 min after it came.
    ['11 inside 10 min', burst, 0, 60, 8 * MIN],
    ['10 inside 10 min are no flood', times(10, 0, 0.5), 0, 60, 0],
    ['11 a minute apart are never 11 inside the window', times(11, 0, 1), 0, 60, 0],
    ['a flood still on at the end is cut there', burst, 0, 12, 7 * MIN],
    ['a flood begun before the period counts inside it', burst, 6, 60, 7 * MIN],
    // Between 5 and 10 inside the window the flood holds: 3 more at 12 min
    // keep it on until 14.5 min.
    ['the hysteresis holds it', [...burst, ...at(12, 12, 12)], 0, 60, 9.5 * MIN],
    ['a steady stream keeps it on', times(40, 0, 0.5), 0, 40, 22.5 * MIN],
  ])('%s', (_name, list, from, to, expected) => {
    expect(floodTime(list, FROM + from * MIN, FROM + to * MIN)).toBe(expected);
  });
});

describe('chatteringAlarms', () => {
  it.each([
    ['three inside 60 s', [0, 0.5, 1], true],
    ['three over 61 s', [0, 0.5, 61 / 60], false],
    ['two are not enough', [0, 0.1], false],
    ['a close three among spread ones', [0, 5, 10, 10.2, 10.9, 20], true],
  ])('%s', (_name, minutes, chatters) => {
    const found = chatteringAlarms(minutes.map((m) => activation(m, 'FT-1.hi')));
    expect(found.map((entry) => entry.alarm)).toEqual(chatters ? ['FT-1.hi'] : []);
  });
});

describe('alarmMetrics', () => {
  const HOUR = { from: FROM, to: FROM + 60 * MIN, now: FROM + 60 * MIN };

  it('counts activations only, per bin, against the acceptable rates', () => {
    const records = [
      ...times(12, 0, 0.5).map((t) => activation((t - FROM) / MIN)),
      { ...activation(30), event: 'ack' as const },
      { ...activation(31), event: 'return' as const },
      activation(45),
    ];
    const metrics = alarmMetrics(records, [], HOUR);
    expect(metrics).toMatchObject({
      activations: 13,
      bins: 6,
      peakPerBin: 12,
      averageAcceptable: true,
      peakAcceptable: false,
    });
    expect(metrics.averagePerBin).toBeCloseTo(13 / 6);
  });

  it('says an empty period is quiet and shares nothing', () => {
    const metrics = alarmMetrics([], [], HOUR);
    expect(metrics).toMatchObject({
      activations: 0,
      averagePerBin: 0,
      peakPerBin: 0,
      floodShare: 0,
    });
    expect(metrics.groups.map((group) => group.over)).toEqual([false, false, false]);
  });

  it('ranks the ten most frequent alarms with their newest message', () => {
    const records: JournalRecord[] = [];
    for (let k = 0; k < 12; k++) {
      for (let n = 0; n <= k; n++)
        records.push(activation(k * 4 + n * 0.1, `P-${k}.hi`, 3, `P-${k} текст`));
    }
    records.push(activation(59, 'P-11.hi', 3, 'P-11 новее'));
    const { top } = alarmMetrics(records, [], HOUR);
    expect(top).toHaveLength(10);
    expect(top[0]).toEqual({ alarm: 'P-11.hi', message: 'P-11 новее', count: 13 });
    expect(top.at(-1)?.alarm).toBe('P-2.hi');
  });

  it('takes a message from the current alarms where the journal has none', () => {
    const { top } = alarmMetrics([activation(1, 'LT-1.hi')], [alarm('LT-1.hi')], HOUR);
    expect(top).toEqual([{ alarm: 'LT-1.hi', message: 'сообщение LT-1.hi', count: 1 }]);
  });

  it.each([
    ['the guideline exactly', { 4: 16, 3: 3, 1: 1 }, [false, false, false]],
    ['too many high ones', { 4: 10, 3: 2, 2: 4, 1: 4 }, [false, false, true]],
    ['too many medium ones', { 4: 5, 3: 5 }, [false, true, false]],
    ['only low ones', { 4: 7 }, [true, false, false]],
  ])('shares the priorities: %s', (_name, perPriority, over) => {
    const records = Object.entries(perPriority).flatMap(([priority, count]) =>
      Array.from({ length: count }, (_, k) => activation(k, `A-${priority}.hi`, Number(priority))),
    );
    const { groups } = alarmMetrics(records, [], HOUR);
    expect(groups.map((group) => group.over)).toEqual(over);
    expect(groups.reduce((sum, group) => sum + group.share, 0)).toBeCloseTo(1);
  });

  it('finds the alarms standing longer than 24 hours, oldest first', () => {
    const now = FROM + 48 * 60 * MIN;
    const alarms = [
      alarm('old.hi', { raisedAt: FROM }),
      alarm('older.hi', { raisedAt: FROM - MIN, state: 'acknowledged' }),
      alarm('recent.hi', { raisedAt: now - 60 * MIN }),
      alarm('returned.hi', { raisedAt: FROM, state: 'returned', active: false }),
      alarm('shelved.hi', { raisedAt: FROM, state: 'shelved' }),
      alarm('never.hi', { raisedAt: 0 }),
    ];
    const { stale } = alarmMetrics([], alarms, { from: FROM, to: now, now });
    expect(stale.map((entry) => entry.id)).toEqual(['older.hi', 'old.hi']);
  });

  it('names chattering alarms from the period only', () => {
    const records = [activation(-1, 'C.hi'), activation(0, 'C.hi'), activation(0.5, 'C.hi')];
    expect(alarmMetrics(records, [], HOUR).chattering).toEqual([]);
    records.push(activation(0.9, 'C.hi', 3, 'дребезг'));
    expect(alarmMetrics(records, [], HOUR).chattering).toEqual([
      { alarm: 'C.hi', message: 'дребезг', count: 3 },
    ]);
  });
});
