// Live process values and the one interface through which the application
// reads them.

/** Quality of a value. The emulator produces only "good". */
export type PointStatus = 'good' | 'bad' | 'uncertain';

/** One value of one point. */
export interface PointValue {
  id: string;
  /** A number for analog points, a flag for discrete points. */
  value: number | boolean;
  status: PointStatus;
  /** Milliseconds since the epoch; 0 for the emulator's starting values. */
  timestamp: number;
}

export type PointKind = 'analog' | 'discrete';

/** One entry of the point catalogue; the optional fields only when present. */
export interface PointInfo {
  id: string;
  kind: PointKind;
  unit?: string;
  description?: string;
  /** The point takes commands from the station. */
  writable?: true;
  /** Range of an analog point's commanded value. */
  min?: number;
  max?: number;
}

export type Unsubscribe = () => void;

export interface DataSource {
  /** `callback` receives, per update concerning any of `ids`, those points' new values. */
  subscribe(ids: readonly string[], callback: (values: PointValue[]) => void): Unsubscribe;
  /** The current values of the requested points that exist, in catalogue order. */
  read(ids: readonly string[]): Promise<PointValue[]>;
  listPoints(): Promise<PointInfo[]>;
  writeCommand(id: string, value: unknown): Promise<void>;
  /** This data source keeps no history: always an empty list. */
  getHistory(...args: unknown[]): Promise<unknown[]>;
  /** This data source has no event stream: the returned operation does nothing. */
  subscribeEvents(...args: unknown[]): Unsubscribe;
}
