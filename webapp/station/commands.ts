// Commands to the plant's points through the station. The host checks the
// user's right, sends the command and watches the point: each request is
// answered once, by its number, with whether the value followed within 10 s,
// or with the reason it was not sent. A request the host never answers ends
// on the page's own after 15 s.

import type { DataSource, PointInfo } from '../data';
import type { ChannelObject } from './channel';

export type CommandAnswer = { outcome: 'done' } | { outcome: 'unconfirmed' } | { error: string };

export interface CommandClient {
  /** False where there is no program to send commands (a plain browser). */
  readonly available: boolean;
  send(id: string, value: boolean | number): Promise<CommandAnswer>;
}

export const COMMAND_ANSWER_MS = 15_000;
export const NO_ANSWER_TEXT = 'Нет ответа от станции';
export const COMMAND_NOT_DONE_TEXT = 'Станция не выполнила команду';
export const NOT_WRITABLE_TEXT = 'Точка не принимает команды';
export const UNFIT_VALUE_TEXT = 'Значение не подходит точке';
/** How long a point has to follow its command. */
export const COMMAND_CONFIRM_MS = 10_000;

function isRecord(value: unknown): value is Record<string, unknown> {
  return typeof value === 'object' && value !== null && !Array.isArray(value);
}

/** The host's answer as a closed record; anything else is a failure. */
export function readCommandAnswer(value: unknown): CommandAnswer {
  if (isRecord(value)) {
    if (value.outcome === 'done' || value.outcome === 'unconfirmed') {
      return { outcome: value.outcome };
    }
    if (typeof value.error === 'string' && value.error !== '') return { error: value.error };
  }
  return { error: COMMAND_NOT_DONE_TEXT };
}

/** Commands over the host's `plant` service: `command(request, id, value)`, answered by `commanded`. */
export function commandsOver(plant: ChannelObject, answerMs = COMMAND_ANSWER_MS): CommandClient {
  let nextRequest = 1;
  const waiting = new Map<number, (answer: CommandAnswer) => void>();
  plant.on('commanded', (request, answer) => {
    const resolve = typeof request === 'number' ? waiting.get(request) : undefined;
    resolve?.(readCommandAnswer(answer));
  });
  return {
    available: true,
    send(id, value) {
      const request = nextRequest++;
      return new Promise((resolve) => {
        const timer = setTimeout(() => settle({ error: NO_ANSWER_TEXT }), answerMs);
        function settle(answer: CommandAnswer) {
          clearTimeout(timer);
          waiting.delete(request);
          resolve(answer);
        }
        waiting.set(request, settle);
        plant.invoke('command', request, id, value).catch(() => settle(readCommandAnswer(null)));
      });
    },
  };
}

/** Commands where there is no program: none are offered. */
export const NO_COMMANDS: CommandClient = {
  available: false,
  send: () => Promise.resolve({ error: COMMAND_NOT_DONE_TEXT }),
};

/**
 * Whether a point's value has followed a command: a flag exactly, a number
 * within 1 % of the point's range of the target, or exactly without a range.
 */
export function followsCommand(
  point: Pick<PointInfo, 'min' | 'max'>,
  value: unknown,
  target: boolean | number,
): boolean {
  if (typeof target === 'boolean' || typeof value !== 'number') return value === target;
  const { min, max } = point;
  if (min === undefined || max === undefined) return value === target;
  return Math.abs(value - target) <= (max - min) / 100;
}

/** Whether a value suits a writable point: of its kind, and within an analog point's range. */
function fits(point: PointInfo, value: boolean | number): boolean {
  if (point.kind === 'discrete') return typeof value === 'boolean';
  if (typeof value !== 'number' || !Number.isFinite(value)) return false;
  return (
    (point.min === undefined || value >= point.min) &&
    (point.max === undefined || value <= point.max)
  );
}

/**
 * Commands carried out by the page's own emulator where there is no program
 * (a plain browser): `command` hands the value to the emulator, and the point
 * is watched as the station watches it.
 */
export function emulatorCommands(
  source: DataSource,
  command: (id: string, value: boolean | number) => void,
  confirmMs = COMMAND_CONFIRM_MS,
): CommandClient {
  return {
    available: true,
    async send(id, value) {
      const point = (await source.listPoints()).find((entry) => entry.id === id);
      if (!point?.writable) return { error: NOT_WRITABLE_TEXT };
      if (!fits(point, value)) return { error: UNFIT_VALUE_TEXT };
      return new Promise((resolve) => {
        let settled = false;
        const settle = (answer: CommandAnswer) => {
          if (settled) return;
          settled = true;
          clearTimeout(timer);
          unsubscribe();
          resolve(answer);
        };
        const timer = setTimeout(() => settle({ outcome: 'unconfirmed' }), confirmMs);
        const unsubscribe = source.subscribe([id], (values) => {
          if (values.some((entry) => followsCommand(point, entry.value, value))) {
            settle({ outcome: 'done' });
          }
        });
        command(id, value);
      });
    },
  };
}
