// Commands to the plant's points through the station. The host checks the
// user's right, sends the command and watches the point: each request is
// answered once, by its number, with whether the value followed within 10 s,
// or with the reason it was not sent. A request the host never answers ends
// on the page's own after 15 s.

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
