// Entry of the broker shared worker: one connection to the broker for every
// page of the origin that names the same broker, prefix and user.

import mqtt from 'mqtt';
import { startBrokerWorker, type BrokerClient, type WorkerScope } from './host';

function clientId(): string {
  const bytes = new Uint8Array(6);
  crypto.getRandomValues(bytes);
  return `corvane-ui-${Array.from(bytes, (byte) => byte.toString(16).padStart(2, '0')).join('')}`;
}

startBrokerWorker(self as unknown as WorkerScope, (settings) => {
  const client = mqtt.connect(settings.broker, {
    clientId: clientId(),
    username: settings.user,
    password: settings.password,
    clean: true,
    // The worker reconnects by itself, with back-off, and subscribes anew.
    reconnectPeriod: 0,
    resubscribe: false,
    connectTimeout: 5000,
    keepalive: 10,
  });
  return client as unknown as BrokerClient;
});
