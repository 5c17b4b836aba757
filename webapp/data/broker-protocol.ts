// Messages that a broker data source adds to the page–worker protocol. The
// emulator neither sends nor expects any of them, and the page's client
// ignores the ones from the worker, so they travel beside it on the same port.

/** Where the worker stands with its broker. */
export type BrokerConnectionState = 'connecting' | 'online' | 'offline' | 'login-refused';

/** Settings of a broker data source; the password travels only inside the page–worker message. */
export interface BrokerSettings {
  /** A ws: or wss: address without user name or password. */
  broker: string;
  /** Topic prefix without a trailing slash. */
  topicPrefix: string;
  user?: string;
  password?: string;
}

/** From the page: the first message on its port, naming the broker to connect to. */
export interface BrokerConnectMessage {
  type: 'broker-connect';
  settings: BrokerSettings;
}

/**
 * From the page: the last "updates" message has been applied. The worker sends
 * the next one only then, so a slow page receives the newest values, coalesced,
 * instead of a queue of old ones.
 */
export interface UpdatesAckMessage {
  type: 'updates-ack';
}

/** From the worker: the connection state, on every change and to every page that joins. */
export interface BrokerStateMessage {
  type: 'broker-state';
  state: BrokerConnectionState;
  /** The broker's address as configured; it never holds credentials. */
  broker: string;
}

/** From the worker: a line for the page's console (a worker's own console reaches no log). */
export interface BrokerReportMessage {
  type: 'broker-report';
  level: 'warn' | 'info';
  text: string;
}
