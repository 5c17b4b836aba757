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

/** A command of the station to a point of the emulator, which follows it at once. */
export interface CommandMessage {
  type: 'command';
  id: string;
  value: boolean | number;
}

/** From the page to the worker. */
export type PageMessage =
  SubscribeMessage | ReadMessage | ListMessage | WriteMessage | CommandMessage;

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
