// The scheme document, schema version 1: plain records that map one to one
// onto JSON. Optional fields are left out when absent.

export type ElementType = 'rect' | 'text' | 'value' | 'indicator' | 'symbol' | 'polyline';

export interface ElementStyle {
  fill?: string;
  stroke?: string;
  strokeWidth?: number;
  opacity?: number;
  visible?: boolean;
  blink?: boolean;
  text?: string;
  flow?: boolean;
}

export type ConditionField = 'value' | 'status';
export type ConditionOp = 'eq' | 'ne' | 'gt' | 'gte' | 'lt' | 'lte';

export interface Condition {
  when: { field: ConditionField; op: ConditionOp; value: number | string | boolean };
  set: ElementStyle;
}

export interface SchemeElement {
  id: string;
  type: ElementType;
  x: number;
  y: number;
  width: number;
  height: number;
  rotation?: number;
  style: ElementStyle;
  pointId?: string;
  conditions?: Condition[];
  /** Id of the scheme a click on the element opens in viewing. */
  link?: string;
  /** "rect": corner radius. */
  rx?: number;
  /** "text": the fixed text. */
  content?: string;
  /** "text" and "value": font size, 14 when absent. */
  fontSize?: number;
  /** "value": digits after the decimal point. */
  fractionDigits?: number;
  prefix?: string;
  suffix?: string;
  /** "symbol": id in the symbol library, with free-form parameters. */
  symbolId?: string;
  params?: Record<string, unknown>;
  /** "polyline": absolute coordinates x0, y0, x1, y1, ... */
  points?: number[];
}

export interface SchemeSize {
  width: number;
  height: number;
}

export interface Scheme {
  schemaVersion: number;
  id: string;
  name: string;
  size: SchemeSize;
  elements: SchemeElement[];
}
