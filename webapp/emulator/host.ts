// The emulator's side of the worker: one simulator shared by every page that
// connects, a repeating tick broadcast to all connected ports, and the answers
// to each port's requests.

import type { UpdatesMessage, WorkerMessage } from '../data';
import { pointCatalogue } from './catalogue';
import { handleCommand, handleRequest } from './requests';
import { createSimulator, type RandomSource, type Simulator } from './simulator';

export const TICK_INTERVAL_MS = 500;

/** The part of a message port the emulator uses. */
export interface EmulatorPort {
  postMessage(message: WorkerMessage): void;
  addEventListener(type: 'message', listener: (event: MessageEvent) => void): void;
  start(): void;
}

/** The part of a shared worker's global scope the emulator uses. */
export interface EmulatorScope {
  addEventListener(
    type: 'connect',
    listener: (event: { readonly ports: readonly EmulatorPort[] }) => void,
  ): void;
}

export interface Emulator {
  readonly simulator: Simulator;
  /** Connected ports in order of connection; a port is never removed. */
  readonly ports: ReadonlySet<EmulatorPort>;
  /** Posts the message on every connected port, in order of connection. */
  broadcast(message: WorkerMessage): void;
  connect(port: EmulatorPort): void;
}

export function startEmulator(scope: EmulatorScope, random?: RandomSource): Emulator {
  const simulator = createSimulator(pointCatalogue, random);
  const ports = new Set<EmulatorPort>();

  const broadcast = (message: WorkerMessage): void => {
    for (const port of ports) {
      port.postMessage(message);
    }
  };

  const connect = (port: EmulatorPort): void => {
    ports.add(port);
    port.addEventListener('message', (event) => {
      const answer = handleRequest(simulator, event.data);
      if (answer) {
        port.postMessage(answer);
      }
      const commanded = handleCommand(simulator, event.data, Date.now());
      if (commanded) {
        broadcast({ type: 'updates', points: commanded });
      }
    });
    port.start();
    const first: UpdatesMessage = { type: 'updates', points: simulator.snapshot() };
    port.postMessage(first);
  };

  // The timer runs for the life of the worker, whether or not a page is connected.
  setInterval(() => {
    broadcast({ type: 'updates', points: simulator.tick(Date.now()) });
  }, TICK_INTERVAL_MS);

  scope.addEventListener('connect', (event) => {
    const port = event.ports[0];
    if (port) {
      connect(port);
    }
  });

  return { simulator, ports, broadcast, connect };
}
