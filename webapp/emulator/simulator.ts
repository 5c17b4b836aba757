// The process simulation: a bounded random walk pulled towards a nominal
// value for analog points, rare random flips for discrete ones. Random numbers
// are drawn at fixed places only, so a pinned sequence gives exact values.

import type { PointInfo, PointValue } from '../data';
import type { PointDefinition } from './catalogue';

/** Uniform numbers in [0, 1). */
export type RandomSource = () => number;

export interface Simulator {
  /** Moves every point once; the new values in catalogue order, stamped `now`. */
  tick(now: number): PointValue[];
  /** Copies of the current values in catalogue order; only the listed ids when given. */
  snapshot(ids?: readonly string[]): PointValue[];
  catalog(): PointInfo[];
  /**
   * Gives a point a value from outside, as a command does: a flag for a discrete point, a finite
   * number for an analog one (held within its range). The walk goes on from there. False, and
   * nothing changed, for an unknown id or a value of the other kind.
   */
  set(id: string, value: number | boolean, now: number): boolean;
  /**
   * Follows a command of the station: a flag for a writable discrete point, a finite number
   * within the range of a writable analog one. The point is held there from then on: a discrete
   * point no longer flips by chance, an analog one walks around the commanded value. False, and
   * nothing changed, for anything else.
   */
  command(id: string, value: number | boolean, now: number): boolean;
}

const DEFAULT_FLIP_CHANCE = 0.1;
const NOISE_SHARE = 0.1;
const PULL_SHARE = 0.15;

function bounds(point: PointDefinition): { min: number; max: number } {
  return { min: point.min ?? 0, max: point.max ?? 100 };
}

export function clampToRange(point: PointDefinition, value: number): number {
  const { min, max } = bounds(point);
  return Math.min(max, Math.max(min, value));
}

function startingValue(point: PointDefinition, random: RandomSource): number | boolean {
  if (point.kind === 'discrete') {
    return typeof point.initial === 'boolean' ? point.initial : random() > 0.5;
  }
  if (typeof point.initial === 'number') {
    return clampToRange(point, point.initial);
  }
  const { min, max } = bounds(point);
  return clampToRange(point, min + random() * (max - min));
}

/** The next value; a point held by a command still draws its number, so the draws stay in place. */
function nextValue(
  point: PointDefinition,
  current: number | boolean,
  random: RandomSource,
  held: number | boolean | undefined,
) {
  if (point.kind === 'discrete') {
    const chance = point.flipChance ?? DEFAULT_FLIP_CHANCE;
    const flips = random() > 1 - chance;
    return flips && held === undefined ? !current : current;
  }
  const { min, max } = bounds(point);
  const noise = (random() - 0.5) * NOISE_SHARE * (max - min);
  const value = Number(current);
  const nominal = typeof held === 'number' ? held : point.nominal;
  const pull = nominal === undefined ? 0 : (nominal - value) * PULL_SHARE;
  return clampToRange(point, value + noise + pull);
}

/** Whether a command's value suits the point: of its kind, and within an analog point's range. */
function fitsCommand(point: PointDefinition, value: unknown): value is number | boolean {
  if (point.kind === 'discrete') return typeof value === 'boolean';
  if (typeof value !== 'number' || !Number.isFinite(value)) return false;
  const { min, max } = bounds(point);
  return value >= min && value <= max;
}

function describe(point: PointDefinition): PointInfo {
  const info: PointInfo = { id: point.id, kind: point.kind === 'discrete' ? 'discrete' : 'analog' };
  if (point.unit !== undefined) info.unit = point.unit;
  if (point.description !== undefined) info.description = point.description;
  if (point.writable) {
    info.writable = true;
    if (info.kind === 'analog') Object.assign(info, bounds(point));
  }
  return info;
}

export function createSimulator(
  definitions: readonly PointDefinition[],
  random: RandomSource = Math.random,
): Simulator {
  const current = new Map<string, PointValue>();
  // The values commanded, which the points keep to.
  const held = new Map<string, number | boolean>();
  const byId = new Map(definitions.map((point) => [point.id, point]));
  for (const point of definitions) {
    current.set(point.id, {
      id: point.id,
      value: startingValue(point, random),
      status: 'good',
      timestamp: 0,
    });
  }

  return {
    tick(now) {
      return definitions.map((point) => {
        const previous = current.get(point.id) as PointValue;
        const next: PointValue = {
          id: point.id,
          value: nextValue(point, previous.value, random, held.get(point.id)),
          status: 'good',
          timestamp: now,
        };
        current.set(point.id, next);
        return { ...next };
      });
    },
    snapshot(ids) {
      const wanted = ids === undefined ? undefined : new Set(ids);
      const values: PointValue[] = [];
      for (const value of current.values()) {
        if (!wanted || wanted.has(value.id)) values.push({ ...value });
      }
      return values;
    },
    catalog() {
      return definitions.map(describe);
    },
    set(id, value, now) {
      const point = byId.get(id);
      if (point === undefined) return false;
      let next: number | boolean;
      if (point.kind === 'discrete') {
        if (typeof value !== 'boolean') return false;
        next = value;
      } else {
        if (typeof value !== 'number' || !Number.isFinite(value)) return false;
        next = clampToRange(point, value);
      }
      current.set(id, { id, value: next, status: 'good', timestamp: now });
      return true;
    },
    command(id, value, now) {
      const point = byId.get(id);
      if (!point?.writable || !fitsCommand(point, value)) return false;
      held.set(id, value);
      current.set(id, { id, value, status: 'good', timestamp: now });
      return true;
    },
  };
}
