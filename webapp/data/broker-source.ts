import type { BrokerConnectMessage, BrokerSettings, UpdatesAckMessage } from './broker-protocol';
import { createPortDataSource, type ClientPort } from './client';
import { createConnectionStore, type ConnectionMonitor } from './connection';
import type { DataSource } from './types';

export interface BrokerDataSource {
  dataSource: DataSource;
  connection: ConnectionMonitor;
}

/** The part of a message port the broker source uses. */
export interface BrokerPort extends ClientPort {
  postMessage(message: unknown): void;
}

function isRecord(value: unknown): value is Record<string, unknown> {
  return typeof value === 'object' && value !== null && !Array.isArray(value);
}

/**
 * The data source over a broker worker's port: the page's usual client, plus
 * the broker's messages beside it. The connect message goes first, so the
 * password travels only inside it, never in an address or a worker's name.
 */
export function createBrokerPortSource(
  port: BrokerPort,
  settings: BrokerSettings,
  log: Pick<Console, 'warn' | 'info'> = console,
): BrokerDataSource {
  const connection = createConnectionStore({ state: 'connecting', broker: settings.broker });
  const connect: BrokerConnectMessage = { type: 'broker-connect', settings };
  port.postMessage(connect);
  const dataSource = createPortDataSource(port);
  // Added after the client's listener, so it runs once the client has applied an update.
  port.addEventListener('message', (event) => {
    const message: unknown = event.data;
    if (!isRecord(message)) return;
    switch (message.type) {
      case 'updates': {
        const ack: UpdatesAckMessage = { type: 'updates-ack' };
        port.postMessage(ack);
        break;
      }
      case 'broker-state':
        if (
          message.state === 'connecting' ||
          message.state === 'online' ||
          message.state === 'offline' ||
          message.state === 'login-refused'
        ) {
          connection.set({ state: message.state, broker: settings.broker });
        }
        break;
      case 'broker-report':
        if (typeof message.text === 'string') {
          if (message.level === 'info') log.info(message.text);
          else log.warn(message.text);
        }
        break;
      default:
        break;
    }
  });
  return { dataSource, connection };
}

/**
 * Starts the broker shared worker, or joins the one this origin already runs
 * for the same broker, topic prefix and user.
 */
export function createBrokerDataSource(settings: BrokerSettings): BrokerDataSource {
  const name = `orvo-broker ${settings.broker} ${settings.topicPrefix} ${settings.user ?? ''}`;
  const worker = new SharedWorker(new URL('../mqtt/mqtt.worker.ts', import.meta.url), {
    type: 'module',
    name,
  });
  return createBrokerPortSource(worker.port as BrokerPort, settings);
}
