// @vitest-environment node
import { describe, expect, it } from 'vitest';
import {
  MAX_CATALOGUE_PAYLOAD_BYTES,
  MAX_VALUE_PAYLOAD_BYTES,
  readCataloguePayload,
  readValuePayload,
} from './payload';

const bytes = (text: string) => new TextEncoder().encode(text);

describe('readValuePayload', () => {
  it.each<[string, string, unknown]>([
    ['a number', '61.5', { kind: 'value', value: 61.5, status: 'good', timestamp: undefined }],
    [
      'a negative number with blanks',
      ' -3e2 \n',
      { kind: 'value', value: -300, status: 'good', timestamp: undefined },
    ],
    ['a flag', 'false', { kind: 'value', value: false, status: 'good', timestamp: undefined }],
    [
      'a record with a value only',
      '{"value": true}',
      { kind: 'value', value: true, status: 'good', timestamp: undefined },
    ],
    [
      'a record with status and time stamp',
      '{"value": 4.3, "status": "uncertain", "timestamp": 1700000000000}',
      { kind: 'value', value: 4.3, status: 'uncertain', timestamp: 1700000000000 },
    ],
    [
      'a record with other keys',
      '{"value": 1, "unit": "%", "status": "bad"}',
      { kind: 'value', value: 1, status: 'bad', timestamp: undefined },
    ],
    ['nothing', '', { kind: 'empty' }],
  ])('reads %s', (_name, payload, expected) => {
    expect(readValuePayload(bytes(payload))).toEqual(expected);
  });

  it.each<[string, Uint8Array, string]>([
    ['malformed JSON', bytes('{"value": 1'), 'not JSON'],
    ['a bare word', bytes('on'), 'not JSON'],
    ['a text', bytes('"61"'), 'neither'],
    ['null', bytes('null'), 'neither'],
    ['a list', bytes('[1]'), 'neither'],
    ['a record without value', bytes('{"status": "good"}'), '"value"'],
    ['a text value', bytes('{"value": "61"}'), '"value"'],
    ['a null value', bytes('{"value": null}'), '"value"'],
    ['an unknown status', bytes('{"value": 1, "status": "ok"}'), '"status"'],
    ['a text time stamp', bytes('{"value": 1, "timestamp": "now"}'), '"timestamp"'],
    ['bytes that are not UTF-8', new Uint8Array([0x31, 0xff, 0xfe]), 'UTF-8'],
    ['a payload over 64 KiB', bytes(`${' '.repeat(MAX_VALUE_PAYLOAD_BYTES)}1`), 'over the limit'],
  ])('refuses %s, saying why', (_name, payload, reason) => {
    const reading = readValuePayload(payload);
    expect(reading.kind).toBe('unreadable');
    expect(reading.kind === 'unreadable' && reading.reason).toContain(reason);
  });

  it('reads a payload of exactly 64 KiB', () => {
    const payload = bytes(`${' '.repeat(MAX_VALUE_PAYLOAD_BYTES - 1)}7`);
    expect(readValuePayload(payload)).toMatchObject({ kind: 'value', value: 7 });
  });
});

describe('readCataloguePayload', () => {
  it('keeps the usable entries in order, with unit and description only when they are texts', () => {
    const reading = readCataloguePayload(
      bytes(
        JSON.stringify([
          { id: 'LT-101', kind: 'analog', unit: '%', description: 'уровень в Б-1', min: 0 },
          { id: 'NS-101', kind: 'discrete', unit: 5 },
          { id: 'XV-1', kind: 'valve' },
          { kind: 'analog' },
          { id: 'a/b', kind: 'analog' },
          'p9',
          { id: 'LT-101', kind: 'discrete' },
        ]),
      ),
    );
    expect(reading).toEqual({
      kind: 'catalogue',
      points: [
        { id: 'LT-101', kind: 'analog', unit: '%', description: 'уровень в Б-1' },
        { id: 'NS-101', kind: 'discrete' },
      ],
      skipped: [
        'XV-1: "kind" is not "analog" or "discrete"',
        'entry 3: no usable "id"',
        'entry 4: no usable "id"',
        'entry 5: no usable "id"',
        'LT-101: listed twice',
      ],
    });
  });

  it.each<[string, string, string]>([
    ['a record', '{"LT-101": "analog"}', 'not a list'],
    ['malformed JSON', '[{"id": "LT-101"', 'not JSON'],
  ])('refuses %s', (_name, payload, reason) => {
    const reading = readCataloguePayload(bytes(payload));
    expect(reading.kind === 'unreadable' && reading.reason).toContain(reason);
  });

  it('takes a catalogue larger than a value may be, up to its own limit', () => {
    const entries = Array.from({ length: 3000 }, (_, i) => ({
      id: `p${i + 1}`,
      kind: 'analog',
      description: 'x'.repeat(20),
    }));
    const payload = bytes(JSON.stringify(entries));
    expect(payload.byteLength).toBeGreaterThan(MAX_VALUE_PAYLOAD_BYTES);
    expect(readCataloguePayload(payload)).toMatchObject({ kind: 'catalogue', skipped: [] });
    const huge = bytes(`[${' '.repeat(MAX_CATALOGUE_PAYLOAD_BYTES)}]`);
    expect(readCataloguePayload(huge).kind).toBe('unreadable');
    expect(readCataloguePayload(bytes('')).kind).toBe('empty');
  });
});
