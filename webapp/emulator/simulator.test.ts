// @vitest-environment node
import { describe, expect, it } from 'vitest';
import { GENERIC_POINT_COUNT, pointCatalogue, type PointDefinition } from './catalogue';
import { clampToRange, createSimulator } from './simulator';

/** A random source that gives exactly these numbers and fails on one more draw. */
function pinned(...values: number[]): () => number {
  let next = 0;
  return () => {
    if (next >= values.length) throw new Error(`random drawn ${next + 1} times`);
    return values[next++];
  };
}

const GENERIC_DRAWS = Array.from({ length: GENERIC_POINT_COUNT }, (_, k) => k / 50);
const definition = (id: string) => pointCatalogue.find((point) => point.id === id)!;

/** A simulator over one point, started at `start` without drawing. */
function onePoint(point: PointDefinition, start: number | boolean, ...draws: number[]) {
  return createSimulator([{ ...point, initial: start }], pinned(...draws));
}

describe('pointCatalogue', () => {
  it('holds the named tags in order followed by p1 to p50', () => {
    expect(pointCatalogue).toHaveLength(73);
    expect(pointCatalogue.slice(0, 23).map((point) => point.id)).toEqual([
      'LT-101',
      'LT-102',
      'PT-102',
      'FT-103',
      'NS-101',
      'NS-102',
      'XV-101',
      'XV-102',
      'ST-201',
      'TE-202',
      'PT-203',
      'GE-204',
      'VB-205',
      'HV-203',
      'GS-206',
      'TE-301',
      'TE-302',
      'TE-303',
      'TE-304',
      'PT-305',
      'HV-305',
      'NS-301',
      'BS-306',
    ]);
    const generic = pointCatalogue.slice(23);
    expect(generic.map((point) => point.id)).toEqual(
      Array.from({ length: 50 }, (_, k) => `p${k + 1}`),
    );
    expect(generic.filter((point) => point.kind === 'discrete').map((point) => point.id)).toEqual([
      'p1',
      'p6',
      'p11',
      'p16',
      'p21',
      'p26',
      'p31',
      'p36',
      'p41',
      'p46',
    ]);
    expect(generic[1]).toEqual({ id: 'p2', kind: 'analog', min: 0, max: 100 });
  });

  // Analog rows: id, max, unit, description, nominal (also the initial value), takes commands.
  const analogRows: [string, number, string, string, number, boolean][] = [
    ['LT-101', 100, '%', 'уровень в Б-1', 61, false],
    ['LT-102', 100, '%', 'уровень в Б-2', 18, false],
    ['PT-102', 10, 'бар', 'давление в коллекторе', 4.3, false],
    ['FT-103', 250, 'м\u00b3/ч', 'расход на выходе', 185, false],
    ['ST-201', 8200, 'об/мин', 'обороты ротора', 7940, false],
    ['TE-202', 650, '\u00b0C', 'температура за турбиной', 512, false],
    ['PT-203', 40, 'бар', 'давление топливного газа', 24, false],
    ['GE-204', 25, 'МВт', 'активная мощность', 21.4, false],
    ['VB-205', 12, 'мм/с', 'вибрация опоры', 8.9, false],
    ['HV-203', 100, '%', 'положение топливного клапана', 42, true],
    ['TE-301', 120, '\u00b0C', 'подача первичного контура', 92, false],
    ['TE-302', 120, '\u00b0C', 'обратка первичного контура', 63, false],
    ['TE-303', 100, '\u00b0C', 'подача отопления', 78, false],
    ['TE-304', 100, '\u00b0C', 'обратка отопления', 54, false],
    ['PT-305', 6, 'бар', 'давление контура отопления', 2.6, false],
    ['HV-305', 100, '%', 'регулирующий клапан отопления', 46, true],
  ];
  // Discrete rows: id, description, initial, flip chance, takes commands.
  const discreteRows: [string, string, boolean, number, boolean][] = [
    ['NS-101', 'насос Н-1', true, 0.005, true],
    ['NS-102', 'насос Н-2 (резерв)', false, 0.005, true],
    ['XV-101', 'задвижки нитки А', true, 0.003, true],
    ['XV-102', 'задвижки нитки Б', false, 0.003, true],
    ['GS-206', 'генератор в сети', true, 0.002, false],
    ['NS-301', 'циркуляционный насос Н-3', true, 0.005, true],
    ['BS-306', 'горелка котла К-1', true, 0.004, false],
  ];

  it.each(analogRows)(
    'defines the analog point %s with every field of its row',
    (id, max, unit, description, nominal, writable) => {
      expect(definition(id)).toStrictEqual({
        id,
        kind: 'analog',
        min: 0,
        max,
        unit,
        description,
        nominal,
        initial: nominal,
        ...(writable && { writable }),
      });
    },
  );

  it.each(discreteRows)(
    'defines the discrete point %s with every field of its row',
    (id, description, initial, flipChance, writable) => {
      expect(definition(id)).toStrictEqual({
        id,
        kind: 'discrete',
        description,
        initial,
        flipChance,
        ...(writable && { writable }),
      });
    },
  );

  it('spells the descriptions in Cyrillic only', () => {
    for (const point of pointCatalogue.slice(0, 23)) {
      expect(point.description).not.toMatch(/[A-Za-z]/);
    }
  });
});

describe('starting values', () => {
  it('draws one number per generic point and none for the named points', () => {
    const simulator = createSimulator(pointCatalogue, pinned(...GENERIC_DRAWS));
    const values = simulator.snapshot();
    expect(values).toHaveLength(73);
    expect(values.every((value) => value.status === 'good' && value.timestamp === 0)).toBe(true);
    expect(values.find((value) => value.id === 'LT-101')?.value).toBe(61);
    expect(values.find((value) => value.id === 'GE-204')?.value).toBe(21.4);
    expect(values.find((value) => value.id === 'NS-102')?.value).toBe(false);
    expect(values.find((value) => value.id === 'GS-206')?.value).toBe(true);
    // p1 (discrete) drew 0, p2 drew 0.02, p26 (discrete) drew 0.5, p27 drew 0.52.
    const generic = values.slice(23).map((value) => value.value);
    expect(generic[0]).toBe(false);
    expect(generic[1]).toBe(0.02 * 100);
    expect(generic[25]).toBe(false);
    expect(generic[26]).toBe(0.52 * 100);
    expect(generic[30]).toBe(true);
  });

  it.each<[string, PointDefinition, number[], number | boolean]>([
    [
      'clamps an initial value above the range',
      { id: 'a', kind: 'analog', max: 10, initial: 12 },
      [],
      10,
    ],
    [
      'clamps an initial value below the range',
      { id: 'a', kind: 'analog', min: 5, initial: 1 },
      [],
      5,
    ],
    [
      'draws within the range without initial',
      { id: 'a', kind: 'analog', min: 20, max: 40 },
      [0.25],
      25,
    ],
    ['draws within 0 to 100 without bounds', { id: 'a', kind: 'analog' }, [0.75], 75],
    ['draws true above one half', { id: 'd', kind: 'discrete' }, [0.51], true],
    ['draws false at one half', { id: 'd', kind: 'discrete' }, [0.5], false],
    [
      'draws for a discrete initial that is not a flag',
      { id: 'd', kind: 'discrete', initial: 1 },
      [0.9],
      true,
    ],
  ])('%s', (_name, point, draws, expected) => {
    expect(createSimulator([point], pinned(...draws)).snapshot()[0].value).toBe(expected);
  });
});

describe('tick', () => {
  it('draws exactly one number per point and stamps every value', () => {
    const simulator = createSimulator(
      pointCatalogue,
      pinned(...GENERIC_DRAWS, ...Array<number>(73).fill(0.5)),
    );
    const values = simulator.tick(1_700_000_000_000);
    expect(values.map((value) => value.id)).toEqual(pointCatalogue.map((point) => point.id));
    expect(values.every((value) => value.timestamp === 1_700_000_000_000)).toBe(true);
    expect(values.every((value) => value.status === 'good')).toBe(true);
    expect(values[0].value).toBe(61);
    expect(simulator.snapshot()).toEqual(values);
  });

  it('walks an analog point with noise and a pull towards its nominal', () => {
    const simulator = onePoint(definition('LT-101'), 61, 1 - 1e-9, 0.2);
    const [first] = simulator.tick(1);
    expect(first.value).toBe(61 + (1 - 1e-9 - 0.5) * 0.1 * 100);
    expect(first.value).toBeCloseTo(66, 6);
    const [second] = simulator.tick(2);
    const moved = first.value as number;
    expect(second.value).toBe(moved + (0.2 - 0.5) * 0.1 * 100 + (61 - moved) * 0.15);
  });

  it('scales the noise by the span of the range', () => {
    const simulator = onePoint(definition('PT-102'), 4.3, 0.7);
    expect(simulator.tick(1)[0].value).toBe(4.3 + (0.7 - 0.5) * 0.1 * 10);
  });

  it('pulls from off-nominal without noise at one half', () => {
    const simulator = onePoint(definition('TE-202'), 400, 0.5);
    expect(simulator.tick(1)[0].value).toBe(400 + (512 - 400) * 0.15);
  });

  it.each<[string, number, number, number]>([
    ['stays at the top', 100, 1 - 1e-9, 100],
    ['stays at the bottom', 0, 0, 0],
    ['stops at the top', 98, 0.9, 100],
    ['walks freely inside the range', 50, 0.9, 50 + (0.9 - 0.5) * 0.1 * 100],
  ])('a generic analog point %s', (_name, start, draw, expected) => {
    expect(onePoint(definition('p2'), start, draw).tick(1)[0].value).toBe(expected);
  });

  it.each<[string, number, boolean]>([
    ['NS-101', 0.995, true],
    ['NS-101', 0.9951, false],
    ['XV-101', 0.997, true],
    ['XV-101', 0.9971, false],
    ['p1', 0.9, true],
    ['p1', 0.9001, false],
    ['p1', 0, true],
  ])('%s flips only above its threshold (r = %s)', (id, draw, expected) => {
    expect(onePoint(definition(id), true, draw).tick(1)[0].value).toBe(expected);
  });
});

describe('set', () => {
  it('gives a point the value, and the walk goes on from there', () => {
    const simulator = onePoint(definition('LT-101'), 61, 0.5);
    expect(simulator.set('LT-101', 81, 7)).toBe(true);
    expect(simulator.snapshot()).toEqual([
      { id: 'LT-101', value: 81, status: 'good', timestamp: 7 },
    ]);
    expect(simulator.tick(8)[0].value).toBe(81 + (61 - 81) * 0.15);
  });

  it.each<[string, string, number | boolean, number | boolean | undefined]>([
    ['holds an analog value within the range', 'LT-101', 150, 100],
    ['sets a discrete point', 'NS-101', false, false],
    ['refuses a flag for an analog point', 'LT-101', true, undefined],
    ['refuses a number for a discrete point', 'NS-101', 0, undefined],
    ['refuses a number that is not finite', 'LT-101', Number.NaN, undefined],
    ['refuses an unknown id', 'nope', 1, undefined],
  ])('%s', (_name, id, value, expected) => {
    const simulator = createSimulator(pointCatalogue, pinned(...GENERIC_DRAWS));
    const before = simulator.snapshot();
    expect(simulator.set(id, value, 9)).toBe(expected !== undefined);
    if (expected === undefined) {
      expect(simulator.snapshot()).toEqual(before);
    } else {
      expect(simulator.snapshot([id])[0]).toEqual({
        id,
        value: expected,
        status: 'good',
        timestamp: 9,
      });
    }
  });
});

describe('command', () => {
  const simulator = () => createSimulator(pointCatalogue, pinned(...GENERIC_DRAWS));

  it.each<[string, string, number | boolean]>([
    ['switches a pump off', 'NS-101', false],
    ['opens a valve', 'XV-102', true],
    ['switches the circulation pump on', 'NS-301', true],
    ['moves a control valve', 'HV-203', 12.5],
    ['moves a control valve to the bottom of its range', 'HV-305', 0],
    ['moves a control valve to the top of its range', 'HV-305', 100],
  ])('%s', (_name, id, value) => {
    const instance = simulator();
    expect(instance.command(id, value, 9)).toBe(true);
    expect(instance.snapshot([id])).toEqual([{ id, value, status: 'good', timestamp: 9 }]);
  });

  it.each<[string, string, number | boolean]>([
    ['a point that takes no commands', 'LT-101', 50],
    ['a discrete point that takes no commands', 'GS-206', false],
    ['a number for a discrete point', 'NS-101', 0],
    ['a flag for an analog point', 'HV-203', true],
    ['a value above the range', 'HV-203', 100.5],
    ['a value below the range', 'HV-305', -1],
    ['a value that is not finite', 'HV-305', Number.POSITIVE_INFINITY],
    ['an unknown id', 'nope', true],
  ])('ignores %s', (_name, id, value) => {
    const instance = simulator();
    const before = instance.snapshot();
    expect(instance.command(id, value, 9)).toBe(false);
    expect(instance.snapshot()).toEqual(before);
  });

  it('holds a commanded discrete point against the chance that would flip it', () => {
    const instance = onePoint(definition('NS-101'), true, 0.9999, 0.9999);
    expect(instance.command('NS-101', false, 1)).toBe(true);
    expect(instance.tick(2)[0].value).toBe(false);
    expect(instance.tick(3)[0].value).toBe(false);
  });

  it('walks a commanded analog point around the commanded value', () => {
    const instance = onePoint(definition('HV-203'), 42, 0.5, 0.7);
    instance.command('HV-203', 80, 1);
    expect(instance.tick(2)[0].value).toBe(80);
    instance.set('HV-203', 70, 3);
    expect(instance.tick(4)[0].value).toBe(70 + (0.7 - 0.5) * 0.1 * 100 + (80 - 70) * 0.15);
  });

  it('lists the commandable points with their ranges', () => {
    const writable = simulator()
      .catalog()
      .filter((entry) => entry.writable);
    expect(writable.map(({ id, kind, min, max }) => ({ id, kind, min, max }))).toEqual([
      { id: 'NS-101', kind: 'discrete' },
      { id: 'NS-102', kind: 'discrete' },
      { id: 'XV-101', kind: 'discrete' },
      { id: 'XV-102', kind: 'discrete' },
      { id: 'HV-203', kind: 'analog', min: 0, max: 100 },
      { id: 'HV-305', kind: 'analog', min: 0, max: 100 },
      { id: 'NS-301', kind: 'discrete' },
    ]);
  });
});

describe('snapshot and catalog', () => {
  const simulator = () => createSimulator(pointCatalogue, pinned(...GENERIC_DRAWS));

  it('selects in catalogue order, each point once, leaving out unknown ids', () => {
    const values = simulator().snapshot(['NS-101', 'nope', 'LT-101', 'NS-101']);
    expect(values).toEqual([
      { id: 'LT-101', value: 61, status: 'good', timestamp: 0 },
      { id: 'NS-101', value: true, status: 'good', timestamp: 0 },
    ]);
  });

  it('gives nothing for an empty list', () => {
    expect(simulator().snapshot([])).toEqual([]);
  });

  it('hands out copies', () => {
    const instance = onePoint(definition('LT-101'), 61, 0.5);
    instance.snapshot()[0].value = 0;
    instance.tick(5)[0].value = -1;
    expect(instance.snapshot()).toEqual([
      { id: 'LT-101', value: 61, status: 'good', timestamp: 5 },
    ]);
  });

  it.each<[string, string[]]>([
    ['LT-101', ['id', 'kind', 'unit', 'description']],
    ['NS-101', ['id', 'kind', 'description', 'writable']],
    ['GS-206', ['id', 'kind', 'description']],
    ['HV-203', ['id', 'kind', 'unit', 'description', 'writable', 'min', 'max']],
    ['p2', ['id', 'kind']],
    ['p1', ['id', 'kind']],
  ])('describes %s with the keys %j', (id, keys) => {
    const info = simulator()
      .catalog()
      .find((entry) => entry.id === id);
    expect(Object.keys(info!)).toEqual(keys);
  });

  it('lists the whole catalogue in order', () => {
    const catalog = simulator().catalog();
    expect(catalog.map((entry) => entry.id)).toEqual(pointCatalogue.map((point) => point.id));
    expect(catalog[3]).toEqual({
      id: 'FT-103',
      kind: 'analog',
      unit: 'м³/ч',
      description: 'расход на выходе',
    });
  });

  it('clamps to the default range when bounds are missing', () => {
    expect(clampToRange({ id: 'a', kind: 'analog' }, 101)).toBe(100);
    expect(clampToRange({ id: 'a', kind: 'analog', min: -5 }, -9)).toBe(-5);
  });
});
