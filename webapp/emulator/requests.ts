// Answers to the requests a page sends. Pages are not trusted to send
// well-formed records: anything malformed is dropped without an answer.

import type { ListResultMessage, ReadResultMessage } from '../data';
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
      // "subscribe" and "write" need no answer: every port gets every update.
      return undefined;
  }
}
