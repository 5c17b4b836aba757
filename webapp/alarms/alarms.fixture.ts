// A station's alarms for tests: a real store fed by hand, whose actions are
// recorded and answered as the test says.
import { vi } from 'vitest';
import {
  createAlarmStore,
  type ActionResult,
  type Alarm,
  type AlarmClient,
  type AlarmStatus,
  type JournalAnswer,
} from '../station';

export function alarm(id: string, fields: Partial<Alarm> = {}): Alarm {
  return {
    id,
    pointId: id.split('.')[0],
    kind: 'hi',
    priority: 3,
    message: `Сообщение ${id}`,
    area: '',
    latched: false,
    state: 'active',
    active: true,
    acknowledged: false,
    suspect: false,
    chattering: false,
    raisedAt: Date.UTC(2024, 4, 1, 10, 0, 0),
    changedAt: Date.UTC(2024, 4, 1, 10, 0, 0),
    value: 1,
    ...fields,
  };
}

const OK: ActionResult = { ok: true };

export function fakeAlarms(
  alarms: Alarm[] = [],
  status: Partial<AlarmStatus> = {},
  available = true,
) {
  const store = createAlarmStore();
  const fullStatus: AlarmStatus = { horn: 'quiet', audio: true, flood: false, rate: 0, ...status };
  store.replace({ alarms, status: fullStatus });
  const answer = (): Promise<ActionResult> => Promise.resolve(OK);
  const client = {
    available,
    current: store.current,
    subscribe: store.subscribe,
    acknowledge: vi.fn<AlarmClient['acknowledge']>(answer),
    shelve: vi.fn<AlarmClient['shelve']>(answer),
    unshelve: vi.fn<AlarmClient['unshelve']>(answer),
    reset: vi.fn<AlarmClient['reset']>(answer),
    comment: vi.fn<AlarmClient['comment']>(answer),
    outOfService: vi.fn<AlarmClient['outOfService']>(answer),
    inService: vi.fn<AlarmClient['inService']>(answer),
    silence: vi.fn<AlarmClient['silence']>(answer),
    journal: vi.fn<AlarmClient['journal']>(() =>
      Promise.resolve<JournalAnswer>({ records: [], truncated: false }),
    ),
    exportJournal: vi.fn<AlarmClient['exportJournal']>(() => Promise.resolve('')),
  } satisfies AlarmClient;
  return { client, store };
}
