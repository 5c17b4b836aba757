import { describe, expect, it } from 'vitest';
import {
  followReducer,
  MIN_SPAN_MS,
  rangeWindow,
  startFollow,
  type FollowEvent,
  type FollowState,
  type TrendRange,
} from './range';

const NOW = Date.UTC(2024, 4, 1, 12, 0, 0);
const MIN = 60_000;
const following = startFollow({ kind: 'preset', preset: '15m' }, NOW);

describe('rangeWindow', () => {
  it.each<[TrendRange, number, number]>([
    [{ kind: 'preset', preset: '15m' }, NOW - 15 * MIN, NOW],
    [{ kind: 'preset', preset: '1h' }, NOW - 60 * MIN, NOW],
    [{ kind: 'preset', preset: '8h' }, NOW - 8 * 60 * MIN, NOW],
    [{ kind: 'preset', preset: '24h' }, NOW - 24 * 60 * MIN, NOW],
    [{ kind: 'preset', preset: '7d' }, NOW - 7 * 24 * 60 * MIN, NOW],
    [{ kind: 'custom', from: 1000, to: 5000 }, 1000, 5000],
  ])('%j ends where it should', (range, from, to) => {
    expect(rangeWindow(range, NOW)).toEqual({ from, to });
  });
});

describe('followReducer', () => {
  it.each<[string, FollowState, FollowEvent, Partial<FollowState>]>([
    [
      'a tick moves a following window to now',
      following,
      { type: 'tick', now: NOW + 500 },
      { follow: true, window: { from: NOW + 500 - 15 * MIN, to: NOW + 500 } },
    ],
    [
      'a zoom stops following and shows the selection',
      following,
      { type: 'zoom', from: NOW - 5 * MIN, to: NOW - 2 * MIN },
      { follow: false, window: { from: NOW - 5 * MIN, to: NOW - 2 * MIN } },
    ],
    [
      'a zoom selected right to left is the same window',
      following,
      { type: 'zoom', from: NOW - 2 * MIN, to: NOW - 5 * MIN },
      { follow: false, window: { from: NOW - 5 * MIN, to: NOW - 2 * MIN } },
    ],
    [
      'a pan stops following and moves the window',
      following,
      { type: 'pan', by: -MIN },
      { follow: false, window: { from: NOW - 16 * MIN, to: NOW - MIN } },
    ],
    [
      'a double click returns a zoomed preset to following now',
      { ...following, follow: false, window: { from: 0, to: 5000 } },
      { type: 'reset', now: NOW + MIN },
      { follow: true, window: { from: NOW + MIN - 15 * MIN, to: NOW + MIN } },
    ],
    [
      'a double click returns a zoomed custom range to that range, still',
      {
        follow: false,
        range: { kind: 'custom', from: 1000, to: 90_000 },
        window: { from: 2000, to: 5000 },
      },
      { type: 'reset', now: NOW },
      { follow: false, window: { from: 1000, to: 90_000 } },
    ],
    [
      'a custom range does not follow',
      following,
      { type: 'range', range: { kind: 'custom', from: 1000, to: 90_000 }, now: NOW },
      { follow: false, window: { from: 1000, to: 90_000 } },
    ],
    [
      'a preset chosen while zoomed follows again',
      { ...following, follow: false },
      { type: 'range', range: { kind: 'preset', preset: '1h' }, now: NOW },
      {
        follow: true,
        range: { kind: 'preset', preset: '1h' },
        window: { from: NOW - 60 * MIN, to: NOW },
      },
    ],
  ])('%s', (_name, state, event, expected) => {
    expect(followReducer(state, event)).toMatchObject(expected);
  });

  it.each<[string, FollowState, FollowEvent]>([
    [
      'a tick of a stopped window',
      { ...following, follow: false },
      { type: 'tick', now: NOW + MIN },
    ],
    ['a tick at the same time', following, { type: 'tick', now: NOW }],
    [
      'a zoom narrower than the least span',
      following,
      { type: 'zoom', from: NOW, to: NOW + MIN_SPAN_MS - 1 },
    ],
    ['a click without a drag (zero-width zoom)', following, { type: 'zoom', from: NOW, to: NOW }],
    ['a pan by nothing', following, { type: 'pan', by: 0 }],
  ])('%s changes nothing', (_name, state, event) => {
    expect(followReducer(state, event)).toBe(state);
  });
});
