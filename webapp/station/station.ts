// The page's side of the station: the services the program gives the built-in
// application through its bridge. In a plain browser there is no program, and
// nothing here is offered: history stays empty and says so.

import type { DataSource, PointInfo, PointStatus, PointValue, Unsubscribe } from '../data';
import { alarmsOver, NO_ALARMS, type AlarmClient } from './alarms';
import { findTransport, openChannel, type ChannelObject, type ChannelTransport } from './channel';
import { commandsOver, NO_COMMANDS, type CommandClient } from './commands';
import {
  createPlantDataSource,
  readPlantState,
  type PlantDataSource,
  type PlantState,
} from './plant';
import { NO_SESSION, sessionOver, type SessionClient } from './session';

/** One recorded sample; `v` null marks a stretch without a source. */
export interface HistorySample {
  t: number;
  v: number | boolean | null;
  s: PointStatus;
}

export interface HistoryAnswer {
  points: Record<string, HistorySample[]>;
  downsampled: Record<string, boolean>;
}

export interface HistoryClient {
  /** False where there is no program to keep history (a plain browser). */
  readonly available: boolean;
  /**
   * Each point's samples in [from, to] and the last one before; at most about
   * `maxPoints` each (0: every stored sample).
   */
  getHistory(
    ids: readonly string[],
    from: number,
    to: number,
    maxPoints: number,
  ): Promise<HistoryAnswer>;
}

/** What a view keeps between runs of the program. */
export interface SettingsStore {
  load(): Promise<Record<string, unknown> | null>;
  save(settings: Record<string, unknown>): void;
}

/** Whether the program records history: off only before it has opened its file. */
export type RecordingState = 'on' | 'off' | 'paused-disk-full' | 'unavailable';

export interface RecordingMonitor {
  current(): Promise<RecordingState>;
  subscribe(listener: (state: RecordingState) => void): Unsubscribe;
}

function isRecordingState(value: unknown): value is RecordingState {
  return (
    value === 'on' || value === 'off' || value === 'paused-disk-full' || value === 'unavailable'
  );
}

/** The views whose settings the program keeps. */
export type SettingsKey = 'trends' | 'view';

export interface Station {
  history: HistoryClient;
  recording: RecordingMonitor;
  /** The settings of one view, kept by the program. */
  settings(key: SettingsKey): SettingsStore;
  /** Hands the program the values of the page's own emulator, to be recorded. */
  forwardValues(values: readonly PointValue[]): void;
  /** Hands the program the emulator's catalogue. */
  describePoints(points: readonly PointInfo[]): void;
  /** Where the program takes the plant's values from, as it was on connecting. */
  plant: PlantState;
  /** The data source over the program's plant connection (source "broker"). */
  plantSource(): PlantDataSource;
  /** The station's alarms and journal. */
  alarms: AlarmClient;
  /** Who works at the station and what they may do. */
  session: SessionClient;
  /** Commands to the plant's points, whichever the source. */
  commands: CommandClient;
  /**
   * Hears the commands the station gives the page's own emulator to carry
   * out (only while the emulator is the station's source).
   */
  onEmulatorCommand(listener: (id: string, value: boolean | number) => void): Unsubscribe;
}

const EMPTY_ANSWER: HistoryAnswer = { points: {}, downsampled: {} };

/** History where there is none: always empty. */
export const NO_HISTORY: HistoryClient = {
  available: false,
  getHistory: () => Promise.resolve(EMPTY_ANSWER),
};

function isSample(value: unknown): value is HistorySample {
  if (typeof value !== 'object' || value === null) return false;
  const sample = value as Record<string, unknown>;
  return (
    typeof sample.t === 'number' &&
    (typeof sample.v === 'number' || typeof sample.v === 'boolean' || sample.v === null) &&
    (sample.s === 'good' || sample.s === 'bad' || sample.s === 'uncertain')
  );
}

/** The host's answer as a closed record: anything else becomes an empty answer. */
export function readHistoryAnswer(value: unknown): HistoryAnswer {
  if (typeof value !== 'object' || value === null) return EMPTY_ANSWER;
  const record = value as { points?: unknown; downsampled?: unknown };
  const points: Record<string, HistorySample[]> = {};
  const downsampled: Record<string, boolean> = {};
  if (typeof record.points === 'object' && record.points !== null) {
    for (const [id, samples] of Object.entries(record.points as Record<string, unknown>)) {
      points[id] = Array.isArray(samples) ? samples.filter(isSample) : [];
    }
  }
  if (typeof record.downsampled === 'object' && record.downsampled !== null) {
    for (const [id, flag] of Object.entries(record.downsampled as Record<string, unknown>)) {
      downsampled[id] = flag === true;
    }
  }
  return { points, downsampled };
}

function historyOver(service: ChannelObject): HistoryClient {
  let nextRequest = 1;
  const waiting = new Map<number, (answer: HistoryAnswer) => void>();
  service.on('answered', (request, answer) => {
    const resolve = typeof request === 'number' ? waiting.get(request) : undefined;
    if (!resolve) return;
    waiting.delete(request as number);
    resolve(readHistoryAnswer(answer));
  });
  return {
    available: true,
    getHistory(ids, from, to, maxPoints) {
      const request = nextRequest++;
      return new Promise((resolve) => {
        waiting.set(request, resolve);
        void service.invoke(
          'query',
          request,
          [...ids],
          Math.round(from),
          Math.round(to),
          Math.max(0, Math.round(maxPoints)),
        );
      });
    },
  };
}

/** The program's station over `transport`; null without one or when it does not answer. */
export async function connectStationOver(
  transport: ChannelTransport | null,
): Promise<Station | null> {
  if (!transport) return null;
  const { objects } = await openChannel(transport);
  const { history, points, settings, plant, alarms, session } = objects;
  if (!history || !points || !settings || !plant) return null;
  const plantState = readPlantState(await plant.invoke('state'));
  const sessionClient = session ? await sessionOver(session) : NO_SESSION;
  return {
    history: historyOver(history),
    recording: {
      current: () =>
        history.invoke('recording').then((state) => (isRecordingState(state) ? state : 'off')),
      subscribe: (listener) =>
        history.on('recordingChanged', (state) => {
          if (isRecordingState(state)) listener(state);
        }),
    },
    settings: (key) => ({
      load: () =>
        settings
          .invoke('value', key)
          .then((value) =>
            typeof value === 'object' && value !== null && Object.keys(value).length > 0
              ? (value as Record<string, unknown>)
              : null,
          ),
      save: (value) => void settings.invoke('setValue', key, value),
    }),
    forwardValues: (values) => void points.invoke('forward', values),
    describePoints: (catalogue) => void points.invoke('describe', catalogue),
    plant: plantState,
    plantSource: () => createPlantDataSource(plant, plantState),
    alarms: alarms ? alarmsOver(alarms) : NO_ALARMS,
    session: sessionClient,
    commands: plant.methods.has('command') ? commandsOver(plant) : NO_COMMANDS,
    onEmulatorCommand: (listener) => emulatorCommandsOf(plant, listener),
  };
}

function emulatorCommandsOf(
  plant: ChannelObject,
  listener: (id: string, value: boolean | number) => void,
): Unsubscribe {
  try {
    return plant.on('emulatorCommand', (id, value) => {
      const fits =
        typeof value === 'boolean' || (typeof value === 'number' && Number.isFinite(value));
      if (typeof id === 'string' && fits) listener(id, value);
    });
  } catch {
    // A program without commands gives none.
    return () => {};
  }
}

/**
 * Settings kept in the page's own storage, where there is no program (in the
 * program the profile keeps nothing between runs).
 */
export function localSettings(key: SettingsKey, storage?: Storage): SettingsStore {
  const name = `corvane-settings-${key}`;
  const store = () => storage ?? (typeof localStorage === 'undefined' ? undefined : localStorage);
  return {
    load() {
      try {
        const value: unknown = JSON.parse(store()?.getItem(name) ?? 'null');
        return Promise.resolve(
          typeof value === 'object' && value !== null ? (value as Record<string, unknown>) : null,
        );
      } catch {
        return Promise.resolve(null);
      }
    },
    save(value) {
      try {
        store()?.setItem(name, JSON.stringify(value));
      } catch {
        // Storage full or refused: the setting lasts for this page only.
      }
    },
  };
}

/** The program's station in this page, if the page has the program's bridge. */
export function connectStation(): Promise<Station | null> {
  return connectStationOver(findTransport());
}

/** One point's recorded history, as the data source's `getHistory` lists it. */
export interface PointHistory {
  id: string;
  samples: HistorySample[];
  downsampled: boolean;
}

/**
 * The page's data source with its `getHistory(ids, from, to, maxPoints)`
 * answered from the program's history: one entry per asked id, in the order
 * asked. Arguments that are not of that form give an empty list.
 */
export function withStationHistory(source: DataSource, history: HistoryClient): DataSource {
  return {
    ...source,
    getHistory(ids?: unknown, from?: unknown, to?: unknown, maxPoints?: unknown) {
      const list = Array.isArray(ids) && ids.every((id) => typeof id === 'string') ? ids : null;
      if (!list || typeof from !== 'number' || typeof to !== 'number') return Promise.resolve([]);
      const most = typeof maxPoints === 'number' ? maxPoints : 0;
      return history.getHistory(list, from, to, most).then((answer): PointHistory[] =>
        list.map((id) => ({
          id,
          samples: answer.points[id] ?? [],
          downsampled: answer.downsampled[id] ?? false,
        })),
      );
    },
  };
}

/**
 * Forwards every update of the page's emulator to the program, one call per
 * update, after its catalogue, and hands the emulator the program's commands
 * through `command`; gives the means to stop.
 */
export function forwardEmulator(
  dataSource: DataSource,
  station: Station,
  command?: (id: string, value: boolean | number) => void,
): Unsubscribe {
  let stopped = false;
  let unsubscribe: Unsubscribe = () => {};
  const stopCommands = command ? station.onEmulatorCommand(command) : () => {};
  void dataSource.listPoints().then((catalogue) => {
    if (stopped) return;
    station.describePoints(catalogue);
    unsubscribe = dataSource.subscribe(
      catalogue.map((point) => point.id),
      (values) => station.forwardValues(values),
    );
  });
  return () => {
    stopped = true;
    unsubscribe();
    stopCommands();
  };
}
