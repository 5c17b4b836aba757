// The broker's side of the worker: one connection to the broker shared by every
// page that joins, the page–worker protocol served from the point table, and
// the connection's quality made visible: when the connection is lost every
// value turns "bad" at once, and reconnection is retried with back-off until
// the broker's retained values bring them back.

import type {
  BrokerConnectionState,
  BrokerReportMessage,
  BrokerSettings,
  BrokerStateMessage,
  ListResultMessage,
  ReadResultMessage,
} from '../data';
import { createPortHub, type HubPort, type HubTimers, type PortHub } from './hub';
import { createPointTable, type PointTable } from './points';
import { CATALOGUE_LEVEL, commandTopic, isTopicSafeId, levelOf, subscriptionTopic } from './topics';

/** The part of an MQTT client the worker uses (the `mqtt` package's client). */
export interface BrokerClient {
  readonly connected: boolean;
  on(event: 'connect', listener: () => void): unknown;
  on(event: 'message', listener: (topic: string, payload: Uint8Array) => void): unknown;
  on(event: 'error', listener: (error: Error & { code?: number }) => void): unknown;
  on(event: 'close', listener: () => void): unknown;
  subscribe(topic: string, options: { qos: 0 }, callback: (error?: Error | null) => void): unknown;
  publish(
    topic: string,
    payload: string,
    options: { qos: 1; retain: false },
    callback: (error?: Error) => void,
  ): unknown;
  reconnect(): unknown;
}

/** Opens the connection; the client must not reconnect by itself. */
export type BrokerConnector = (settings: BrokerSettings) => BrokerClient;

export interface WorkerPort extends HubPort {
  addEventListener(type: 'message', listener: (event: MessageEvent) => void): void;
  start(): void;
}

export interface WorkerScope {
  addEventListener(
    type: 'connect',
    listener: (event: { readonly ports: readonly WorkerPort[] }) => void,
  ): void;
}

export interface BrokerWorkerOptions {
  random?: () => number;
  timers?: HubTimers;
  /** Milliseconds since the epoch, for the values' time stamps. */
  clock?: () => number;
}

export const RECONNECT_FIRST_MS = 500;
/** Kept short so that a restarted broker is found within seconds. */
export const RECONNECT_MAX_MS = 3000;

/** Delay before reconnection attempt `attempt` (from 0): doubling, capped, less up to a quarter at random. */
export function reconnectDelay(attempt: number, random: () => number): number {
  const full = Math.min(RECONNECT_MAX_MS, RECONNECT_FIRST_MS * 2 ** Math.min(attempt, 16));
  return full * (1 - 0.25 * random());
}

// CONNACK codes of MQTT 3.1.1 (4, 5) and 5.0 (134, 135) for a refused login.
const LOGIN_REFUSED_CODES = new Set([4, 5, 134, 135]);

function isRecord(value: unknown): value is Record<string, unknown> {
  return typeof value === 'object' && value !== null && !Array.isArray(value);
}

const isTextList = (value: unknown): value is string[] =>
  Array.isArray(value) && value.every((item) => typeof item === 'string');

export interface BrokerWorker {
  readonly hub: PortHub;
  readonly table: PointTable;
  state(): BrokerConnectionState;
  connect(port: WorkerPort): void;
}

export function startBrokerWorker(
  scope: WorkerScope,
  connector: BrokerConnector,
  options: BrokerWorkerOptions = {},
): BrokerWorker {
  const random = options.random ?? Math.random;
  const clock = options.clock ?? Date.now;
  const hub = createPortHub(options.timers);
  const setTimer = options.timers?.setTimeout ?? ((callback, ms) => setTimeout(callback, ms));
  let settings: BrokerSettings | undefined;
  let client: BrokerClient | undefined;
  let state: BrokerConnectionState = 'connecting';
  let attempt = 0;
  let reconnecting = false;
  let loginRefused = false;
  let lastError = '';

  const report = (text: string, level: 'warn' | 'info' = 'warn') => {
    const broker = settings?.broker ?? '';
    const message: BrokerReportMessage = {
      type: 'broker-report',
      level,
      text: `Data server ${broker}: ${text}`,
    };
    hub.broadcast(message);
  };
  const table = createPointTable((text) => report(text));

  const stateMessage = (): BrokerStateMessage => ({
    type: 'broker-state',
    state,
    broker: settings?.broker ?? '',
  });

  const setState = (next: BrokerConnectionState) => {
    if (next === state) return;
    state = next;
    hub.broadcast(stateMessage());
  };

  const onMessage = (topic: string, payload: Uint8Array) => {
    if (!settings) return;
    const level = levelOf(settings.topicPrefix, topic);
    if (level === undefined) return;
    if (level === CATALOGUE_LEVEL) {
      table.receiveCatalogue(payload);
      return;
    }
    if (!isTopicSafeId(level)) return;
    const value = table.receiveValue(level, payload, clock());
    if (value) hub.push([value]);
  };

  const onClose = () => {
    const wasOnline = state === 'online';
    if (wasOnline) hub.push(table.markAllBad(clock()));
    const next: BrokerConnectionState = loginRefused ? 'login-refused' : 'offline';
    if (next !== state) {
      if (next === 'login-refused') {
        report(
          `the login${settings?.user ? ` of user "${settings.user}"` : ''} was refused: ${lastError}`,
        );
      } else if (wasOnline) {
        report('connection lost; reconnecting.');
      } else {
        report(`cannot connect${lastError ? `: ${lastError}` : ''}; retrying.`);
      }
    }
    setState(next);
    if (reconnecting) return;
    reconnecting = true;
    const delay = reconnectDelay(attempt, random);
    attempt += 1;
    setTimer(() => {
      reconnecting = false;
      if (client && !client.connected) client.reconnect();
    }, delay);
  };

  const open = (chosen: BrokerSettings) => {
    settings = chosen;
    let opened: BrokerClient;
    try {
      opened = connector(chosen);
    } catch (error) {
      // An address the client cannot use at all: no retry would help.
      report(`cannot connect: ${error instanceof Error ? error.message : String(error)}`);
      setState('offline');
      return;
    }
    client = opened;
    opened.on('connect', () => {
      attempt = 0;
      loginRefused = false;
      lastError = '';
      setState('online');
      report('connected.', 'info');
      opened.subscribe(subscriptionTopic(chosen.topicPrefix), { qos: 0 }, (error) => {
        if (error) report(`subscription refused: ${error.message}`);
      });
    });
    opened.on('message', onMessage);
    opened.on('error', (error) => {
      lastError = error.message;
      loginRefused = typeof error.code === 'number' && LOGIN_REFUSED_CODES.has(error.code);
    });
    opened.on('close', onClose);
  };

  const write = (pointId: unknown, value: unknown) => {
    if (!settings || typeof pointId !== 'string' || !isTopicSafeId(pointId)) {
      report(`a command to the point "${String(pointId)}" was not sent: not a point id.`);
      return;
    }
    if (
      !(typeof value === 'number' && Number.isFinite(value)) &&
      typeof value !== 'boolean' &&
      typeof value !== 'string'
    ) {
      report(`a command to ${pointId} was not sent: its value is not a number, flag or text.`);
      return;
    }
    // A command is never queued for later: a late command is worse than none.
    if (!client || !client.connected) {
      report(`a command to ${pointId} was not sent: no connection.`);
      return;
    }
    const topic = commandTopic(settings.topicPrefix, pointId);
    client.publish(topic, JSON.stringify({ value }), { qos: 1, retain: false }, (error) => {
      if (error) report(`a command to ${pointId} failed: ${error.message}`);
    });
  };

  const handle = (port: WorkerPort, message: unknown) => {
    if (!isRecord(message)) return;
    switch (message.type) {
      case 'broker-connect': {
        hub.useAcks(port);
        const chosen = message.settings;
        if (
          settings === undefined &&
          isRecord(chosen) &&
          typeof chosen.broker === 'string' &&
          typeof chosen.topicPrefix === 'string'
        ) {
          open(chosen as unknown as BrokerSettings);
        }
        port.postMessage(stateMessage());
        break;
      }
      case 'subscribe':
        if (isTextList(message.pointIds)) hub.want(port, message.pointIds);
        break;
      case 'updates-ack':
        hub.ack(port);
        break;
      case 'read': {
        if (typeof message.reqId !== 'number') break;
        if (message.pointIds !== undefined && !isTextList(message.pointIds)) break;
        const answer: ReadResultMessage = {
          type: 'read-result',
          reqId: message.reqId,
          points: table.snapshot(message.pointIds),
        };
        port.postMessage(answer);
        break;
      }
      case 'list': {
        if (typeof message.reqId !== 'number') break;
        const answer: ListResultMessage = {
          type: 'list-result',
          reqId: message.reqId,
          points: table.catalog(),
        };
        port.postMessage(answer);
        break;
      }
      case 'write':
        write(message.pointId, message.value);
        break;
      default:
        break;
    }
  };

  const connect = (port: WorkerPort) => {
    hub.add(port);
    port.addEventListener('message', (event) => handle(port, event.data));
    port.start();
  };

  scope.addEventListener('connect', (event) => {
    const port = event.ports[0];
    if (port) connect(port);
  });

  return { hub, table, state: () => state, connect };
}
