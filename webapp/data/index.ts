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
