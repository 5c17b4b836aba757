// Time ranges of the trends and the live-follow state: while following, the
// right edge is now; zooming or panning stops it, a double click returns to
// the chosen range.

export type RangePreset = '15m' | '1h' | '8h' | '24h' | '7d';

const MINUTE = 60_000;
const HOUR = 60 * MINUTE;

export const RANGE_PRESETS: ReadonlyArray<{ preset: RangePreset; label: string; span: number }> = [
  { preset: '15m', label: '15 мин', span: 15 * MINUTE },
  { preset: '1h', label: '1 ч', span: HOUR },
  { preset: '8h', label: '8 ч', span: 8 * HOUR },
  { preset: '24h', label: '24 ч', span: 24 * HOUR },
  { preset: '7d', label: '7 сут', span: 7 * 24 * HOUR },
];

export type TrendRange =
  { kind: 'preset'; preset: RangePreset } | { kind: 'custom'; from: number; to: number };

export const DEFAULT_RANGE: TrendRange = { kind: 'preset', preset: '1h' };

/** The narrowest window a zoom may choose. */
export const MIN_SPAN_MS = 1000;

export interface TimeWindow {
  from: number;
  to: number;
}

export function isRangePreset(value: unknown): value is RangePreset {
  return RANGE_PRESETS.some((entry) => entry.preset === value);
}

export function presetSpan(preset: RangePreset): number {
  return RANGE_PRESETS.find((entry) => entry.preset === preset)?.span ?? HOUR;
}

/** The window a range shows at `now`. */
export function rangeWindow(range: TrendRange, now: number): TimeWindow {
  return range.kind === 'preset'
    ? { from: now - presetSpan(range.preset), to: now }
    : { from: range.from, to: range.to };
}

export interface FollowState {
  /** The right edge is now, moving with it. */
  follow: boolean;
  range: TrendRange;
  window: TimeWindow;
}

export type FollowEvent =
  | { type: 'tick'; now: number }
  | { type: 'zoom'; from: number; to: number }
  | { type: 'pan'; by: number }
  | { type: 'reset'; now: number }
  | { type: 'range'; range: TrendRange; now: number };

/** A preset follows live; a custom range stands still. */
export function startFollow(range: TrendRange, now: number): FollowState {
  return { follow: range.kind === 'preset', range, window: rangeWindow(range, now) };
}

export function followReducer(state: FollowState, event: FollowEvent): FollowState {
  switch (event.type) {
    case 'tick': {
      if (!state.follow) return state;
      const window = rangeWindow(state.range, event.now);
      return window.to === state.window.to && window.from === state.window.from
        ? state
        : { ...state, window };
    }
    case 'zoom': {
      const from = Math.min(event.from, event.to);
      const to = Math.max(event.from, event.to);
      if (!Number.isFinite(from) || !Number.isFinite(to) || to - from < MIN_SPAN_MS) return state;
      return { ...state, follow: false, window: { from, to } };
    }
    case 'pan': {
      if (event.by === 0 || !Number.isFinite(event.by)) return state;
      const { from, to } = state.window;
      return { ...state, follow: false, window: { from: from + event.by, to: to + event.by } };
    }
    case 'reset':
      return startFollow(state.range, event.now);
    case 'range':
      return startFollow(event.range, event.now);
    default: {
      const never: never = event;
      return never;
    }
  }
}
