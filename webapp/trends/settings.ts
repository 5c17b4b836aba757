// The pen set and the range of the trends view, kept across restarts by the
// host; a plain browser keeps them in its local storage.
import type { SettingsStore } from '../station';
import { isRangePreset, type TrendRange } from './range';

export interface TrendPen {
  id: string;
  /** CSS colour of the pen's line, scale and readout. */
  color: string;
}

export interface TrendSettings {
  pens: readonly TrendPen[];
  range: TrendRange;
}

export interface TrendSettingsStore {
  /** The settings last saved, or null when there are none (or they are unreadable). */
  load(): Promise<TrendSettings | null>;
  save(settings: TrendSettings): void;
}

export const TREND_SETTINGS_KEY = 'orvo-trend-settings';

function isRecord(value: unknown): value is Record<string, unknown> {
  return typeof value === 'object' && value !== null && !Array.isArray(value);
}

function parseRange(value: unknown): TrendRange | null {
  if (!isRecord(value)) return null;
  if (value.kind === 'preset') {
    return isRangePreset(value.preset) ? { kind: 'preset', preset: value.preset } : null;
  }
  if (value.kind === 'custom') {
    const { from, to } = value;
    if (typeof from !== 'number' || typeof to !== 'number') return null;
    if (!Number.isFinite(from) || !Number.isFinite(to) || from >= to) return null;
    return { kind: 'custom', from, to };
  }
  return null;
}

/** Settings read from stored JSON data; null when the data is not such settings. */
export function parseTrendSettings(value: unknown, maxPens: number): TrendSettings | null {
  if (!isRecord(value) || !Array.isArray(value.pens)) return null;
  const range = parseRange(value.range);
  if (!range) return null;
  const pens: TrendPen[] = [];
  for (const pen of value.pens) {
    if (!isRecord(pen) || typeof pen.id !== 'string' || pen.id === '') continue;
    if (typeof pen.color !== 'string' || pen.color === '') continue;
    if (pens.some((kept) => kept.id === pen.id)) continue;
    pens.push({ id: pen.id, color: pen.color });
  }
  return { pens: pens.slice(0, maxPens), range };
}

/** The store of a plain browser: one JSON entry of `storage`. */
export function createLocalTrendSettingsStore(
  storage: Pick<Storage, 'getItem' | 'setItem'>,
  maxPens: number,
  key = TREND_SETTINGS_KEY,
): TrendSettingsStore {
  return {
    load() {
      try {
        const text = storage.getItem(key);
        return Promise.resolve(
          text === null ? null : parseTrendSettings(JSON.parse(text), maxPens),
        );
      } catch {
        return Promise.resolve(null);
      }
    },
    save(settings) {
      try {
        storage.setItem(key, JSON.stringify(settings));
      } catch {
        // A full or refused storage only loses the settings of the next start.
      }
    },
  };
}

/** A store that keeps the settings in memory only (tests, a page without storage). */
export function createMemoryTrendSettingsStore(
  initial: TrendSettings | null = null,
): TrendSettingsStore & { saved: TrendSettings | null } {
  const store = {
    saved: initial,
    load: () => Promise.resolve(store.saved),
    save(settings: TrendSettings) {
      store.saved = settings;
    },
  };
  return store;
}

/** The trends' settings over a store of plain records (the program's, or the page's own). */
export function trendSettingsOf(store: SettingsStore, maxPens: number): TrendSettingsStore {
  return {
    load: () => store.load().then((value) => parseTrendSettings(value, maxPens)),
    save: (settings) =>
      store.save({ pens: settings.pens.map((pen) => ({ ...pen })), range: settings.range }),
  };
}
