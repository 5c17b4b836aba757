import type { SchemeElement } from '../scheme';
import type { AlarmState } from '../station';
import { drawnBox, markPlacement, pointMarks, unitsPerPixel } from './alarmMarks';
import { alarm } from './alarms.fixture';

describe('pointMarks', () => {
  it.each<[AlarmState, boolean | null]>([
    ['active', true],
    ['acknowledged', false],
    ['returned', true],
    ['latched', false],
    ['normal', null],
    ['shelved', null],
    ['out-of-service', null],
  ])('a point whose one alarm is %s: blinking %s (null: no mark)', (state, blinking) => {
    const marks = pointMarks([alarm({ id: 'a', state })]);
    expect(marks.get('LT-101')?.blinking ?? null).toBe(blinking);
  });

  it('shows the highest priority of the standing alarms and blinks while any is unacknowledged', () => {
    const marks = pointMarks([
      alarm({ id: 'hi', priority: 3, state: 'returned', message: 'Уровень высокий' }),
      alarm({ id: 'hihi', priority: 1, state: 'acknowledged', message: 'Уровень аварийный' }),
      alarm({ id: 'lo', priority: 4, state: 'active' }),
      // Of a higher priority still, but shelved: it marks nothing.
      alarm({ id: 'dry', priority: 1, state: 'shelved', message: 'Сухой ход' }),
      alarm({ id: 'pump', pointId: 'NS-101', priority: 4, state: 'latched', message: 'Насос' }),
    ]);
    expect(Object.fromEntries(marks)).toEqual({
      'LT-101': { priority: 1, blinking: true, label: 'Тревога 1 Критическая: Уровень аварийный' },
      'NS-101': { priority: 4, blinking: false, label: 'Тревога 4 Низкая: Насос' },
    });
  });

  it('names a tie of priorities by the unacknowledged alarm, then by the newer one', () => {
    const seen = pointMarks([
      alarm({ id: 'a', state: 'acknowledged', raisedAt: 9, message: 'Видели' }),
      alarm({ id: 'b', state: 'returned', raisedAt: 1, message: 'Не видели' }),
    ]);
    expect(seen.get('LT-101')?.label).toBe('Тревога 2 Высокая: Не видели');
    const newer = pointMarks([
      alarm({ id: 'a', raisedAt: 1, message: 'Раньше' }),
      alarm({ id: 'b', raisedAt: 5, message: 'Позже' }),
    ]);
    expect(newer.get('LT-101')?.label).toBe('Тревога 2 Высокая: Позже');
  });

  it('leaves out an alarm on no point and a label without message', () => {
    const marks = pointMarks([
      alarm({ id: 'a', pointId: '' }),
      alarm({ id: 'b', pointId: 'P', message: '' }),
    ]);
    expect([...marks.keys()]).toEqual(['P']);
    expect(marks.get('P')?.label).toBe('Тревога 2 Высокая');
  });
});

const element = (fields: Partial<SchemeElement>): SchemeElement => ({
  id: 'e',
  type: 'rect',
  x: 10,
  y: 20,
  width: 40,
  height: 20,
  style: {},
  ...fields,
});

describe('drawnBox', () => {
  it.each<[string, Partial<SchemeElement>, ReturnType<typeof drawnBox>]>([
    ['a plain box', {}, { x: 10, y: 20, width: 40, height: 20 }],
    ['rotation 0', { rotation: 0 }, { x: 10, y: 20, width: 40, height: 20 }],
    ['a quarter turn about its centre', { rotation: 90 }, { x: 20, y: 10, width: 20, height: 40 }],
    ['NaN rotation as none', { rotation: NaN }, { x: 10, y: 20, width: 40, height: 20 }],
    [
      'a pipe by its points, not its box',
      { type: 'polyline', points: [0, 100, 60, 100, 60, 30, 7] },
      { x: 0, y: 30, width: 60, height: 70 },
    ],
    [
      'a turned pipe by its turned points',
      { type: 'polyline', x: 0, y: 0, width: 40, height: 0, points: [0, 0, 40, 0], rotation: 90 },
      { x: 20, y: -20, width: 0, height: 40 },
    ],
    [
      'a pipe without points by its box',
      { type: 'polyline', points: [] },
      { x: 10, y: 20, width: 40, height: 20 },
    ],
    ['no box for a broken record', { x: NaN }, null],
  ])('%s', (_name, fields, box) => {
    const drawn = drawnBox(element(fields));
    if (box === null) expect(drawn).toBeNull();
    else
      for (const key of ['x', 'y', 'width', 'height'] as const)
        expect(drawn?.[key]).toBeCloseTo(box[key], 9);
  });

  it('bounds a turned box by all four corners', () => {
    const drawn = drawnBox(element({ x: 0, y: 0, width: 20, height: 20, rotation: 45 }));
    const half = Math.SQRT2 * 10;
    expect(drawn?.x).toBeCloseTo(10 - half, 9);
    expect(drawn?.width).toBeCloseTo(2 * half, 9);
  });
});

describe('markPlacement', () => {
  const size = { width: 300, height: 200 };

  it.each([
    ['just off the top right corner', { x: 10, y: 40, width: 40, height: 20 }, 1, [51, 25, 14]],
    ['kept inside at the top', { x: 10, y: 0, width: 40, height: 20 }, 1, [51, 0, 14]],
    ['kept inside at the right', { x: 260, y: 40, width: 40, height: 20 }, 1, [286, 25, 14]],
    ['at half scale twice the units', { x: 10, y: 40, width: 40, height: 20 }, 2, [52, 10, 28]],
  ])('%s', (_name, box, units, [x, y, side]) => {
    expect(markPlacement(box, size, units)).toEqual({ x, y, width: side, height: side });
  });

  it.each([
    ['the scheme at its own size', { width: 300, height: 200 }, 1],
    ['fitted into twice its width, height to spare', { width: 600, height: 900 }, 0.5],
    ['shrunk by the tighter side', { width: 600, height: 100 }, 2],
    ['a box not laid out yet', { width: 0, height: 0 }, 1],
  ])('units per pixel: %s', (_name, client, units) => {
    expect(unitsPerPixel(size, client)).toBe(units);
  });
});
