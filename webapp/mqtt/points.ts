// The worker's picture of the plant: the newest value of every point heard of,
// the catalogue, and which points currently send payloads that cannot be read.
// Problems are reported once when they begin, not once per message.

import type { PointInfo, PointValue } from '../data';
import { readCataloguePayload, readValuePayload } from './payload';

/** More distinct points than this are not taken in: a flood of topics must not exhaust memory. */
export const MAX_POINTS = 100_000;

export interface PointTable {
  /** Takes a point's payload; the value to deliver, or nothing when no value changed. */
  receiveValue(id: string, payload: Uint8Array, now: number): PointValue | undefined;
  receiveCatalogue(payload: Uint8Array): void;
  /** Turns every value "bad", keeping it; the values that changed. */
  markAllBad(now: number): PointValue[];
  /** Copies of the current values, catalogue order first; only the listed ids when given. */
  snapshot(ids?: readonly string[]): PointValue[];
  /** The published catalogue, or else the points heard of so far. */
  catalog(): PointInfo[];
}

export function createPointTable(report: (text: string) => void): PointTable {
  const values = new Map<string, PointValue>();
  const unreadable = new Set<string>();
  const notListed = new Set<string>();
  let catalogue: PointInfo[] | undefined;
  let catalogueIds = new Set<string>();
  let lastCatalogueReport = '';
  let overflowReported = false;

  const setValue = (value: PointValue): PointValue => {
    values.set(value.id, value);
    return { ...value };
  };

  const turnBad = (id: string, now: number): PointValue | undefined => {
    const previous = values.get(id);
    if (previous === undefined || previous.status === 'bad') return undefined;
    return setValue({ ...previous, status: 'bad', timestamp: now });
  };

  const reportCatalogue = (text: string) => {
    if (text !== lastCatalogueReport) report(text);
    lastCatalogueReport = text;
  };

  return {
    receiveValue(id, payload, now) {
      if (!values.has(id) && values.size >= MAX_POINTS) {
        if (!overflowReported) {
          report(`More than ${MAX_POINTS} points: values of further points are ignored (${id}).`);
          overflowReported = true;
        }
        return undefined;
      }
      const reading = readValuePayload(payload);
      if (reading.kind === 'unreadable') {
        if (!unreadable.has(id)) {
          unreadable.add(id);
          report(`Point ${id}: ${reading.reason}; the point is marked bad.`);
        }
        return turnBad(id, now);
      }
      unreadable.delete(id);
      if (reading.kind === 'empty') return turnBad(id, now);
      if (catalogue !== undefined && !catalogueIds.has(id) && !notListed.has(id)) {
        notListed.add(id);
        report(`Point ${id} sends values but is not in the catalogue.`);
      }
      return setValue({
        id,
        value: reading.value,
        status: reading.status,
        timestamp: reading.timestamp ?? now,
      });
    },

    receiveCatalogue(payload) {
      const reading = readCataloguePayload(payload);
      if (reading.kind === 'unreadable') {
        reportCatalogue(`Catalogue: ${reading.reason}; it is ignored.`);
        return;
      }
      if (reading.kind === 'empty') {
        catalogue = undefined;
        catalogueIds = new Set();
        lastCatalogueReport = '';
        return;
      }
      catalogue = reading.points;
      catalogueIds = new Set(reading.points.map((point) => point.id));
      notListed.clear();
      if (reading.skipped.length > 0) {
        const shown = reading.skipped.slice(0, 5).join('; ');
        const more = reading.skipped.length > 5 ? `; and ${reading.skipped.length - 5} more` : '';
        reportCatalogue(`Catalogue: ${reading.skipped.length} entries skipped: ${shown}${more}.`);
      } else {
        lastCatalogueReport = '';
      }
    },

    markAllBad(now) {
      const changed: PointValue[] = [];
      for (const id of values.keys()) {
        const value = turnBad(id, now);
        if (value) changed.push(value);
      }
      return changed;
    },

    snapshot(ids) {
      const wanted = ids === undefined ? undefined : new Set(ids);
      const result: PointValue[] = [];
      const take = (value: PointValue | undefined) => {
        if (value !== undefined && (wanted === undefined || wanted.has(value.id))) {
          result.push({ ...value });
        }
      };
      if (catalogue !== undefined) {
        for (const point of catalogue) take(values.get(point.id));
      }
      for (const value of values.values()) {
        if (!catalogueIds.has(value.id)) take(value);
      }
      return result;
    },

    catalog() {
      if (catalogue !== undefined) return catalogue.map((point) => ({ ...point }));
      return [...values.values()].map((value) => ({
        id: value.id,
        kind: typeof value.value === 'boolean' ? 'discrete' : 'analog',
      }));
    },
  };
}
