// Messages between a page and the emulator worker. Both sides receive copies
// made by the platform, never a shared record.

import type { PointInfo, PointValue } from './types';

export interface SubscribeMessage {
  type: 'subscribe';
  pointIds: string[];
}

export interface ReadMessage {
  type: 'read';
  reqId: number;
  /** All points when absent. */
  pointIds?: string[];
}

export interface ListMessage {
  type: 'list';
  reqId: number;
}

export interface WriteMessage {
  type: 'write';
  pointId: string;
  value: unknown;
}

/** From the page to the worker. */
export type PageMessage = SubscribeMessage | ReadMessage | ListMessage | WriteMessage;

export interface UpdatesMessage {
  type: 'updates';
  points: PointValue[];
}

export interface ReadResultMessage {
  type: 'read-result';
  reqId: number;
  points: PointValue[];
}

export interface ListResultMessage {
  type: 'list-result';
  reqId: number;
  points: PointInfo[];
}

/** From the worker to the page. */
export type WorkerMessage = UpdatesMessage | ReadResultMessage | ListResultMessage;
