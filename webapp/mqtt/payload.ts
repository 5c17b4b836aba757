// Reading the payloads the broker delivers. Publishers are not trusted: every
// payload is checked, and one that cannot be read says why.

import type { PointInfo, PointStatus } from '../data';
import { isTopicSafeId } from './topics';

/** Larger point payloads are dropped unread. */
export const MAX_VALUE_PAYLOAD_BYTES = 64 * 1024;
/** A catalogue lists every point of a plant, so it may be larger. */
export const MAX_CATALOGUE_PAYLOAD_BYTES = 4 * 1024 * 1024;

export type ValueReading =
  | { kind: 'value'; value: number | boolean; status: PointStatus; timestamp: number | undefined }
  /** An empty payload: the retained value was withdrawn. */
  | { kind: 'empty' }
  | { kind: 'unreadable'; reason: string };

export type CatalogueReading =
  | { kind: 'catalogue'; points: PointInfo[]; skipped: string[] }
  | { kind: 'empty' }
  | { kind: 'unreadable'; reason: string };

const decoder = new TextDecoder('utf-8', { fatal: true });
const STATUSES: readonly string[] = ['good', 'bad', 'uncertain'];

function isRecord(value: unknown): value is Record<string, unknown> {
  return typeof value === 'object' && value !== null && !Array.isArray(value);
}

type Parsed = { ok: true; json: unknown } | { ok: false; reason: string };

function parseJson(bytes: Uint8Array, limit: number): Parsed {
  if (bytes.byteLength > limit) {
    return {
      ok: false,
      reason: `payload of ${bytes.byteLength} bytes is over the limit of ${limit} bytes`,
    };
  }
  let text: string;
  try {
    text = decoder.decode(bytes);
  } catch {
    return { ok: false, reason: 'payload is not UTF-8 text' };
  }
  try {
    return { ok: true, json: JSON.parse(text) as unknown };
  } catch {
    return { ok: false, reason: 'payload is not JSON' };
  }
}

const isPointValue = (value: unknown): value is number | boolean =>
  (typeof value === 'number' && Number.isFinite(value)) || typeof value === 'boolean';

/**
 * A point's payload: a number, a flag, or {"value": number or flag,
 * "status"?: "good" | "bad" | "uncertain", "timestamp"?: ms since the epoch}.
 * Other keys of the record are ignored.
 */
export function readValuePayload(bytes: Uint8Array): ValueReading {
  if (bytes.byteLength === 0) return { kind: 'empty' };
  const parsed = parseJson(bytes, MAX_VALUE_PAYLOAD_BYTES);
  if (!parsed.ok) return { kind: 'unreadable', reason: parsed.reason };
  const json = parsed.json;
  if (isPointValue(json)) {
    return { kind: 'value', value: json, status: 'good', timestamp: undefined };
  }
  if (!isRecord(json)) {
    return { kind: 'unreadable', reason: 'payload is neither a number, a flag nor a record' };
  }
  if (!isPointValue(json.value)) {
    return { kind: 'unreadable', reason: '"value" is not a number or a flag' };
  }
  let status: PointStatus = 'good';
  if (json.status !== undefined) {
    if (typeof json.status !== 'string' || !STATUSES.includes(json.status)) {
      return { kind: 'unreadable', reason: '"status" is not "good", "bad" or "uncertain"' };
    }
    status = json.status as PointStatus;
  }
  let timestamp: number | undefined;
  if (json.timestamp !== undefined) {
    if (typeof json.timestamp !== 'number' || !Number.isFinite(json.timestamp)) {
      return { kind: 'unreadable', reason: '"timestamp" is not a number' };
    }
    timestamp = json.timestamp;
  }
  return { kind: 'value', value: json.value, status, timestamp };
}

/**
 * The catalogue: a list of {"id", "kind": "analog" | "discrete", "unit"?,
 * "description"?}. Entries that cannot be used are skipped and named in
 * `skipped`; a repeated id keeps its first entry.
 */
export function readCataloguePayload(bytes: Uint8Array): CatalogueReading {
  if (bytes.byteLength === 0) return { kind: 'empty' };
  const parsed = parseJson(bytes, MAX_CATALOGUE_PAYLOAD_BYTES);
  if (!parsed.ok) return { kind: 'unreadable', reason: parsed.reason };
  if (!Array.isArray(parsed.json)) {
    return { kind: 'unreadable', reason: 'the catalogue is not a list' };
  }
  const points: PointInfo[] = [];
  const skipped: string[] = [];
  const seen = new Set<string>();
  parsed.json.forEach((entry: unknown, index) => {
    if (!isRecord(entry) || typeof entry.id !== 'string' || !isTopicSafeId(entry.id)) {
      skipped.push(`entry ${index}: no usable "id"`);
      return;
    }
    if (entry.kind !== 'analog' && entry.kind !== 'discrete') {
      skipped.push(`${entry.id}: "kind" is not "analog" or "discrete"`);
      return;
    }
    if (seen.has(entry.id)) {
      skipped.push(`${entry.id}: listed twice`);
      return;
    }
    seen.add(entry.id);
    const info: PointInfo = { id: entry.id, kind: entry.kind };
    if (typeof entry.unit === 'string') info.unit = entry.unit;
    if (typeof entry.description === 'string') info.description = entry.description;
    points.push(info);
  });
  return { kind: 'catalogue', points, skipped };
}
