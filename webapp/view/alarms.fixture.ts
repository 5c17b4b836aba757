// The station's alarms for tests: the page's own store behind a client whose
// actions the test decides.
import { act } from '@testing-library/react';
import { vi } from 'vitest';
import { createAlarmStore, NO_ALARMS } from '../station';
import type { ActionResult, Alarm, AlarmClient } from '../station';

/** An active, unacknowledged alarm of priority 2 on LT-101, changed by `fields`. */
export function alarm(fields: Partial<Alarm> & Pick<Alarm, 'id'>): Alarm {
  const state = fields.state ?? 'active';
  return {
    pointId: 'LT-101',
    kind: 'hi',
    priority: 2,
    message: 'Уровень высокий',
    area: '',
    latched: false,
    state,
    active: state === 'active' || state === 'acknowledged',
    acknowledged: state === 'acknowledged' || state === 'latched',
    suspect: false,
    chattering: false,
    raisedAt: 1000,
    changedAt: 1000,
    value: 80,
    ...fields,
  };
}

export function fakeAlarmClient(initial: readonly Alarm[] = []) {
  const store = createAlarmStore();
  store.replace({ alarms: initial });
  const acknowledge = vi.fn<AlarmClient['acknowledge']>((): Promise<ActionResult> =>
    Promise.resolve({ ok: true }),
  );
  const client: AlarmClient = {
    ...NO_ALARMS,
    available: true,
    current: store.current,
    subscribe: store.subscribe,
    acknowledge,
  };
  return {
    client,
    acknowledge,
    /** The host's whole set, as its `list` sends it. */
    replace: (alarms: readonly Alarm[]) => act(() => store.replace({ alarms })),
    /** One batch of changes, as the host's `changed` sends it. */
    apply: (alarms: readonly Alarm[], removed: readonly string[] = []) =>
      act(() => store.apply({ alarms, removed })),
  };
}
