// The fixed point catalogue of the emulator: the tags of the stock schemes
// followed by the generic points of the load-test schemes. The pumps, the
// valves of the pump station and the two control valves take commands.

export interface PointDefinition {
  id: string;
  /** Any kind other than "discrete" behaves as analog. */
  kind: 'analog' | 'discrete';
  /** Range of an analog value; 0 and 100 when absent. */
  min?: number;
  max?: number;
  unit?: string;
  description?: string;
  /** Value towards which an analog point is pulled. */
  nominal?: number;
  /** Starting value: a number for analog points, a flag for discrete ones. */
  initial?: number | boolean;
  /** Chance per tick that a discrete point changes state; 0.1 when absent. */
  flipChance?: number;
  /** The point follows the station's commands. */
  writable?: boolean;
}

/** Number of generic points "p1" to "p50" that the load-test schemes cycle through. */
export const GENERIC_POINT_COUNT = 50;

function analog(
  id: string,
  max: number,
  unit: string,
  description: string,
  nominal: number,
): PointDefinition {
  return { id, kind: 'analog', min: 0, max, unit, description, nominal, initial: nominal };
}

function discrete(
  id: string,
  description: string,
  initial: boolean,
  flipChance: number,
): PointDefinition {
  return { id, kind: 'discrete', description, initial, flipChance };
}

/** The same point, taking commands. */
function commanded(point: PointDefinition): PointDefinition {
  return { ...point, writable: true };
}

function genericPoints(): PointDefinition[] {
  const points: PointDefinition[] = [];
  for (let k = 0; k < GENERIC_POINT_COUNT; k += 1) {
    points.push({ id: `p${k + 1}`, kind: k % 5 === 0 ? 'discrete' : 'analog', min: 0, max: 100 });
  }
  return points;
}

const definitions: PointDefinition[] = [
  // Pump station.
  analog('LT-101', 100, '%', 'уровень в Б-1', 61),
  analog('LT-102', 100, '%', 'уровень в Б-2', 18),
  analog('PT-102', 10, 'бар', 'давление в коллекторе', 4.3),
  analog('FT-103', 250, 'м³/ч', 'расход на выходе', 185),
  commanded(discrete('NS-101', 'насос Н-1', true, 0.005)),
  commanded(discrete('NS-102', 'насос Н-2 (резерв)', false, 0.005)),
  commanded(discrete('XV-101', 'задвижки нитки А', true, 0.003)),
  commanded(discrete('XV-102', 'задвижки нитки Б', false, 0.003)),
  // Gas-turbine unit.
  analog('ST-201', 8200, 'об/мин', 'обороты ротора', 7940),
  analog('TE-202', 650, '°C', 'температура за турбиной', 512),
  analog('PT-203', 40, 'бар', 'давление топливного газа', 24),
  analog('GE-204', 25, 'МВт', 'активная мощность', 21.4),
  analog('VB-205', 12, 'мм/с', 'вибрация опоры', 8.9),
  commanded(analog('HV-203', 100, '%', 'положение топливного клапана', 42)),
  discrete('GS-206', 'генератор в сети', true, 0.002),
  // Heating substation.
  analog('TE-301', 120, '°C', 'подача первичного контура', 92),
  analog('TE-302', 120, '°C', 'обратка первичного контура', 63),
  analog('TE-303', 100, '°C', 'подача отопления', 78),
  analog('TE-304', 100, '°C', 'обратка отопления', 54),
  analog('PT-305', 6, 'бар', 'давление контура отопления', 2.6),
  commanded(analog('HV-305', 100, '%', 'регулирующий клапан отопления', 46)),
  commanded(discrete('NS-301', 'циркуляционный насос Н-3', true, 0.005)),
  discrete('BS-306', 'горелка котла К-1', true, 0.004),
  ...genericPoints(),
];

/** All 73 points, in the order of every snapshot and catalogue answer. */
export const pointCatalogue: readonly PointDefinition[] = Object.freeze(
  definitions.map((definition) => Object.freeze(definition)),
);
