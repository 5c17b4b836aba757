export { FLUSH_INTERVAL_MS, createPortHub } from './hub';
export type { HubPort, HubTimers, PortHub } from './hub';
export { RECONNECT_FIRST_MS, RECONNECT_MAX_MS, reconnectDelay, startBrokerWorker } from './host';
export type {
  BrokerClient,
  BrokerConnector,
  BrokerWorker,
  BrokerWorkerOptions,
  WorkerPort,
  WorkerScope,
} from './host';
export {
  MAX_CATALOGUE_PAYLOAD_BYTES,
  MAX_VALUE_PAYLOAD_BYTES,
  readCataloguePayload,
  readValuePayload,
} from './payload';
export type { CatalogueReading, ValueReading } from './payload';
export { MAX_POINTS, createPointTable } from './points';
export type { PointTable } from './points';
export { CATALOGUE_LEVEL, commandTopic, isTopicSafeId, levelOf, subscriptionTopic } from './topics';
