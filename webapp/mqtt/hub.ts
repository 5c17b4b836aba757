// The pages connected to the worker. Each page receives only the points it
// subscribed to, coalesced: the newest value per point, in one "updates"
// message at most every FLUSH_INTERVAL_MS. A page that acknowledges updates
// gets the next message only after acknowledging the last, so a page that
// falls behind receives fewer, fuller messages and never a growing queue.

import type { PointValue, UpdatesMessage } from '../data';

/** About one display frame. */
export const FLUSH_INTERVAL_MS = 16;

export interface HubPort {
  postMessage(message: unknown): void;
}

export interface HubTimers {
  now(): number;
  setTimeout(callback: () => void, ms: number): unknown;
}

export interface PortHub {
  add(port: HubPort): void;
  /** The page follows these points from now on. */
  want(port: HubPort, ids: readonly string[]): void;
  /** The page will acknowledge every "updates" message. */
  useAcks(port: HubPort): void;
  ack(port: HubPort): void;
  /** New values: queued, newest per point, for the pages that follow them. */
  push(values: readonly PointValue[]): void;
  /** Posts a message to every page at once. */
  broadcast(message: unknown): void;
}

interface PortState {
  port: HubPort;
  wanted: Set<string>;
  pending: Map<string, PointValue>;
  acks: boolean;
  waiting: boolean;
}

const defaultTimers: HubTimers = {
  now: () => performance.now(),
  setTimeout: (callback, ms) => setTimeout(callback, ms),
};

export function createPortHub(timers: HubTimers = defaultTimers): PortHub {
  const states = new Map<HubPort, PortState>();
  let scheduled = false;
  let lastFlush = -Infinity;

  const ready = (state: PortState) => !state.waiting && state.pending.size > 0;

  const flush = () => {
    scheduled = false;
    lastFlush = timers.now();
    for (const state of states.values()) {
      if (!ready(state)) continue;
      const message: UpdatesMessage = { type: 'updates', points: [...state.pending.values()] };
      state.pending = new Map();
      state.waiting = state.acks;
      state.port.postMessage(message);
    }
  };

  const schedule = () => {
    if (scheduled) return;
    scheduled = true;
    timers.setTimeout(flush, Math.max(0, lastFlush + FLUSH_INTERVAL_MS - timers.now()));
  };

  const stateOf = (port: HubPort): PortState | undefined => states.get(port);

  return {
    add(port) {
      if (!states.has(port)) {
        states.set(port, {
          port,
          wanted: new Set(),
          pending: new Map(),
          acks: false,
          waiting: false,
        });
      }
    },
    want(port, ids) {
      const state = stateOf(port);
      if (state) for (const id of ids) state.wanted.add(id);
    },
    useAcks(port) {
      const state = stateOf(port);
      if (state) state.acks = true;
    },
    ack(port) {
      const state = stateOf(port);
      if (!state || !state.waiting) return;
      state.waiting = false;
      if (ready(state)) schedule();
    },
    push(values) {
      let any = false;
      for (const state of states.values()) {
        let added = false;
        for (const value of values) {
          if (!state.wanted.has(value.id)) continue;
          // Re-inserting moves the point behind the others: deliveries keep arrival order.
          state.pending.delete(value.id);
          state.pending.set(value.id, value);
          added = true;
        }
        if (added && !state.waiting) any = true;
      }
      if (any) schedule();
    },
    broadcast(message) {
      for (const state of states.values()) state.port.postMessage(message);
    },
  };
}
