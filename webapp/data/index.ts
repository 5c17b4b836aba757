export type {
  ListMessage,
  ListResultMessage,
  PageMessage,
  ReadMessage,
  ReadResultMessage,
  SubscribeMessage,
  UpdatesMessage,
  WorkerMessage,
  WriteMessage,
} from './protocol';
export type {
  DataSource,
  PointInfo,
  PointKind,
  PointStatus,
  PointValue,
  Unsubscribe,
} from './types';
export { createPortDataSource } from './client';
export type { ClientPort } from './client';
export { createEmulatorDataSource } from './emulator-source';
export type {
  BrokerConnectMessage,
  BrokerConnectionState,
  BrokerReportMessage,
  BrokerSettings,
  BrokerStateMessage,
  UpdatesAckMessage,
} from './broker-protocol';
export { createBrokerDataSource, createBrokerPortSource } from './broker-source';
export type { BrokerDataSource, BrokerPort } from './broker-source';
export {
  LOGIN_REFUSED_TEXT,
  NO_CONNECTION_TEXT,
  connectionMessage,
  createConnectionStore,
} from './connection';
export type { ConnectionMonitor, ConnectionStatus, ConnectionStore } from './connection';
export { createPageDataSource, createSilentDataSource } from './page-source';
export type { PageDataSource } from './page-source';
export {
  DATA_SETTINGS_GLOBAL,
  DEFAULT_TOPIC_PREFIX,
  QUERY_BROKER,
  QUERY_BROKER_USER,
  QUERY_TOPIC_PREFIX,
  chooseDataSource,
} from './settings';
export type { DataSourceChoice } from './settings';
