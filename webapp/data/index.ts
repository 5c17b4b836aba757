export type {
  CommandMessage,
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
export { createPortDataSource, deliver, readPointInfo } from './client';
export type { ClientPort, PortDataSource, Subscriber } from './client';
export { createEmulatorDataSource } from './emulator-source';
export {
  CERTIFICATE_REFUSED_TEXT,
  LOGIN_REFUSED_TEXT,
  NO_CONNECTION_TEXT,
  connectionMessage,
  createConnectionStore,
} from './connection';
export type {
  BrokerConnectionState,
  ConnectionMonitor,
  ConnectionStatus,
  ConnectionStore,
} from './connection';
export { createEmulatorPageSource, createSilentDataSource } from './page-source';
export type { PageDataSource } from './page-source';
