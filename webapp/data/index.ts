export type {
  DataSource,
  PointInfo,
  PointKind,
  PointStatus,
  PointValue,
  Unsubscribe,
} from './types';
