// @vitest-environment node
import { describe, expect, it, vi } from 'vitest';
import { createPointTable } from './points';

const bytes = (text: string) => new TextEncoder().encode(text);

function table() {
  const report = vi.fn<(text: string) => void>();
  return { points: createPointTable(report), report };
}

describe('point values', () => {
  it('stamps a plain value with the time of arrival and keeps a published time stamp', () => {
    const { points } = table();
    expect(points.receiveValue('LT-101', bytes('61'), 1000)).toEqual({
      id: 'LT-101',
      value: 61,
      status: 'good',
      timestamp: 1000,
    });
    expect(points.receiveValue('LT-101', bytes('{"value": 62, "timestamp": 7}'), 2000)).toEqual({
      id: 'LT-101',
      value: 62,
      status: 'good',
      timestamp: 7,
    });
  });

  it('turns a point bad on an unreadable payload, keeping its value, and reports once until it reads again', () => {
    const { points, report } = table();
    points.receiveValue('LT-101', bytes('61'), 1000);
    points.receiveValue('PT-102', bytes('4.3'), 1000);
    expect(points.receiveValue('LT-101', bytes('{broken'), 2000)).toEqual({
      id: 'LT-101',
      value: 61,
      status: 'bad',
      timestamp: 2000,
    });
    expect(points.receiveValue('LT-101', bytes('{broken'), 3000)).toBeUndefined();
    expect(points.receiveValue('LT-101', bytes('"text"'), 3000)).toBeUndefined();
    points.receiveValue('PT-102', bytes('x'.repeat(70_000)), 3000);
    expect(report.mock.calls.map(([text]) => text)).toEqual([
      'Point LT-101: payload is not JSON; the point is marked bad.',
      'Point PT-102: payload of 70000 bytes is over the limit of 65536 bytes; the point is marked bad.',
    ]);
    expect(points.snapshot(['LT-101', 'PT-102'])).toMatchObject([
      { value: 61, status: 'bad' },
      { value: 4.3, status: 'bad' },
    ]);

    expect(points.receiveValue('LT-101', bytes('63'), 4000)).toMatchObject({ status: 'good' });
    points.receiveValue('LT-101', bytes('{broken'), 5000);
    expect(report).toHaveBeenCalledTimes(3);
  });

  it('reports an unreadable first payload without inventing a value', () => {
    const { points, report } = table();
    expect(points.receiveValue('LT-101', bytes('nan'), 1000)).toBeUndefined();
    expect(points.snapshot()).toEqual([]);
    expect(report).toHaveBeenCalledOnce();
  });

  it('turns a withdrawn value bad without a report', () => {
    const { points, report } = table();
    points.receiveValue('NS-101', bytes('true'), 1000);
    expect(points.receiveValue('NS-101', bytes(''), 2000)).toMatchObject({
      value: true,
      status: 'bad',
    });
    expect(points.receiveValue('XX-1', bytes(''), 2000)).toBeUndefined();
    expect(report).not.toHaveBeenCalled();
  });

  it('turns every good or uncertain value bad once when the connection goes', () => {
    const { points } = table();
    points.receiveValue('LT-101', bytes('61'), 1000);
    points.receiveValue('NS-101', bytes('{"value": true, "status": "uncertain"}'), 1000);
    points.receiveValue('PT-102', bytes('{"value": 4, "status": "bad"}'), 1000);
    expect(points.markAllBad(5000)).toEqual([
      { id: 'LT-101', value: 61, status: 'bad', timestamp: 5000 },
      { id: 'NS-101', value: true, status: 'bad', timestamp: 5000 },
    ]);
    expect(points.markAllBad(6000)).toEqual([]);
  });
});

describe('catalogue', () => {
  it('lists the points heard of, in order of arrival, until a catalogue comes', () => {
    const { points } = table();
    points.receiveValue('NS-101', bytes('true'), 1);
    points.receiveValue('LT-101', bytes('61'), 1);
    expect(points.catalog()).toEqual([
      { id: 'NS-101', kind: 'discrete' },
      { id: 'LT-101', kind: 'analog' },
    ]);
    points.receiveCatalogue(
      bytes(
        '[{"id": "LT-101", "kind": "analog", "unit": "%"}, {"id": "NS-101", "kind": "discrete"}]',
      ),
    );
    expect(points.catalog()).toEqual([
      { id: 'LT-101', kind: 'analog', unit: '%' },
      { id: 'NS-101', kind: 'discrete' },
    ]);
    expect(points.snapshot().map((value) => value.id)).toEqual(['LT-101', 'NS-101']);
    points.receiveCatalogue(bytes(''));
    expect(points.catalog().map((point) => point.id)).toEqual(['NS-101', 'LT-101']);
  });

  it('keeps the catalogue it has when the next one is not a list, reporting it once', () => {
    const { points, report } = table();
    points.receiveCatalogue(bytes('[{"id": "LT-101", "kind": "analog"}]'));
    points.receiveCatalogue(bytes('{"id": "LT-101"}'));
    points.receiveCatalogue(bytes('{"id": "LT-101"}'));
    expect(points.catalog()).toEqual([{ id: 'LT-101', kind: 'analog' }]);
    expect(report.mock.calls).toEqual([['Catalogue: the catalogue is not a list; it is ignored.']]);
  });

  it('serves a point missing from the catalogue after the listed ones, reporting it once', () => {
    const { points, report } = table();
    points.receiveCatalogue(bytes('[{"id": "LT-101", "kind": "analog"}]'));
    points.receiveValue('XX-9', bytes('1'), 1);
    points.receiveValue('XX-9', bytes('2'), 2);
    points.receiveValue('LT-101', bytes('61'), 2);
    expect(points.snapshot().map((value) => [value.id, value.value])).toEqual([
      ['LT-101', 61],
      ['XX-9', 2],
    ]);
    expect(points.catalog()).toEqual([{ id: 'LT-101', kind: 'analog' }]);
    expect(report.mock.calls).toEqual([['Point XX-9 sends values but is not in the catalogue.']]);
  });

  it('reads only existing points, each once, catalogue order first', () => {
    const { points } = table();
    points.receiveValue('B', bytes('2'), 1);
    points.receiveValue('A', bytes('1'), 1);
    points.receiveCatalogue(
      bytes('[{"id": "A", "kind": "analog"}, {"id": "B", "kind": "analog"}]'),
    );
    expect(points.snapshot(['B', 'nope', 'A', 'B']).map((value) => value.id)).toEqual(['A', 'B']);
    expect(points.snapshot([])).toEqual([]);
  });
});
