// Answers to the requests a page sends. Pages are not trusted to send
// well-formed records: anything malformed is dropped without an answer.

import type { ListResultMessage, PointValue, ReadResultMessage } from '../data';
import type { Simulator } from './simulator';

function isRecord(value: unknown): value is Record<string, unknown> {
  return typeof value === 'object' && value !== null && !Array.isArray(value);
}

export function handleRequest(
  simulator: Simulator,
  message: unknown,
): ReadResultMessage | ListResultMessage | undefined {
  if (!isRecord(message) || typeof message.reqId !== 'number') {
    return undefined;
  }
  const reqId = message.reqId;
  switch (message.type) {
    case 'read': {
      const pointIds = message.pointIds;
      if (pointIds !== undefined && !Array.isArray(pointIds)) {
        return undefined;
      }
      return { type: 'read-result', reqId, points: simulator.snapshot(pointIds) };
    }
    case 'list':
      return { type: 'list-result', reqId, points: simulator.catalog() };
    default:
      // "subscribe", "write" and "command" need no answer: every port gets every update.
      return undefined;
  }
}

/**
 * Carries out a station's command ({ type: "command", id, value }): the point's
 * new value, to be sent to every page at once; nothing for any other message
 * or a command the point does not take.
 */
export function handleCommand(
  simulator: Simulator,
  message: unknown,
  now: number,
): PointValue[] | undefined {
  if (!isRecord(message) || message.type !== 'command' || typeof message.id !== 'string') {
    return undefined;
  }
  const { id, value } = message;
  if (typeof value !== 'number' && typeof value !== 'boolean') return undefined;
  return simulator.command(id, value, now) ? simulator.snapshot([id]) : undefined;
}
