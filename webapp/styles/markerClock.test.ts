import { afterEach, beforeEach, describe, expect, it, vi } from 'vitest';
import {
  BLINK_PHASE_ATTRIBUTE,
  FLOW_PHASE_ATTRIBUTE,
  markerPhaseAt,
  startMarkerClock,
} from './markerClock';

// A whole second on the wall clock, so offsets below read as phase positions.
const SECOND = Date.UTC(2024, 0, 15, 8, 30, 0);

describe('markerPhaseAt', () => {
  it.each([
    [0, 'on', 0],
    [249, 'on', 0],
    [250, 'on', 1],
    [499, 'on', 1],
    [500, 'off', 2],
    [750, 'off', 3],
    [999, 'off', 3],
    [1000, 'on', 0],
  ])('at %i ms into a second gives blink %s and flow step %i', (offset, blink, flow) => {
    expect(markerPhaseAt(SECOND + offset)).toEqual({ blink, flow });
  });
});

describe('startMarkerClock', () => {
  let root: HTMLElement;

  const phases = () => [
    root.getAttribute(BLINK_PHASE_ATTRIBUTE),
    root.getAttribute(FLOW_PHASE_ATTRIBUTE),
  ];

  const mark = (className: string) => {
    const node = document.createElementNS('http://www.w3.org/2000/svg', 'circle');
    node.classList.add(className);
    root.append(node);
    return node;
  };

  beforeEach(() => {
    vi.useFakeTimers();
    root = document.createElement('div');
    document.body.append(root);
    mark('mnemo-blink');
  });

  afterEach(() => {
    root.remove();
    vi.useRealTimers();
  });

  it('shows the wall-clock phase at once and changes it on the step boundaries', () => {
    vi.setSystemTime(SECOND + 630);
    const stop = startMarkerClock(root);
    expect(phases()).toEqual(['off', '2']);

    vi.advanceTimersByTime(119); // SECOND + 749
    expect(phases()).toEqual(['off', '2']);
    vi.advanceTimersByTime(1); // SECOND + 750
    expect(phases()).toEqual(['off', '3']);
    vi.advanceTimersByTime(250); // SECOND + 1000
    expect(phases()).toEqual(['on', '0']);
    stop();
  });

  it('stays on the step grid when the system clock is set', () => {
    vi.setSystemTime(SECOND + 100);
    const stop = startMarkerClock(root);
    vi.setSystemTime(SECOND + 5_000 + 600); // jumps ahead between two ticks
    vi.advanceTimersByTime(150);
    expect(phases()).toEqual(['off', '3']); // SECOND + 5750
    vi.advanceTimersByTime(250);
    expect(phases()).toEqual(['on', '0']); // SECOND + 6000
    stop();
  });

  it('runs one timer however many elements are marked', () => {
    vi.setSystemTime(SECOND);
    for (let i = 0; i < 200; i += 1) mark(i % 2 ? 'mnemo-blink' : 'mnemo-flow');
    const stop = startMarkerClock(root);
    expect(vi.getTimerCount()).toBe(1);
    vi.advanceTimersByTime(10_000);
    expect(vi.getTimerCount()).toBe(1);
    stop();
  });

  it('writes the blink attribute only when the blink phase changes', () => {
    vi.setSystemTime(SECOND);
    const stop = startMarkerClock(root);
    const records: MutationRecord[] = [];
    const observer = new MutationObserver((found) => records.push(...found));
    observer.observe(root, { attributeFilter: [BLINK_PHASE_ATTRIBUTE] });

    vi.advanceTimersByTime(2_000);
    records.push(...observer.takeRecords());
    observer.disconnect();
    // Eight ticks, but four blink changes: the markers' styles are
    // invalidated no more often than their look changes.
    expect(records).toHaveLength(4);
    stop();
  });

  it('rests while nothing is marked and shows the phase from the next tick on', () => {
    root.replaceChildren();
    vi.setSystemTime(SECOND + 500);
    const stop = startMarkerClock(root);
    vi.advanceTimersByTime(1_000);
    expect(phases()).toEqual([null, null]);

    mark('mnemo-flow'); // SECOND + 1500
    vi.advanceTimersByTime(249);
    expect(phases()).toEqual([null, null]);
    vi.advanceTimersByTime(1); // SECOND + 1750
    expect(phases()).toEqual(['off', '3']);
    stop();
  });

  it('stops its timer, clears the phases and ignores a second stop', () => {
    vi.setSystemTime(SECOND + 500);
    const stop = startMarkerClock(root);
    stop();
    expect(vi.getTimerCount()).toBe(0);
    expect(phases()).toEqual([null, null]);

    vi.advanceTimersByTime(1_000);
    expect(phases()).toEqual([null, null]);
    expect(() => stop()).not.toThrow();
  });

  it('lets a restarted clock take over the same root', () => {
    // Strict mode mounts, unmounts and mounts the shell's effect again.
    vi.setSystemTime(SECOND + 500);
    startMarkerClock(root)();
    const stop = startMarkerClock(root);
    expect(phases()).toEqual(['off', '2']);
    expect(vi.getTimerCount()).toBe(1);
    stop();
  });
});
