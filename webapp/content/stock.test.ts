import { describe, expect, it } from 'vitest';
import { GENERIC_POINT_COUNT, pointCatalogue } from '../emulator';
import { checkScheme, collectPointIds } from '../scheme';
import type { Scheme, SchemeElement } from '../scheme';
import { findSymbol } from '../symbols';
import { createStockEntries, gasTurbine, heatPoint, pumpStation, stockSchemes } from './index';

// Documents are written out as JSON, so their key order is part of the format.
const elementKeyOrder = [
  'id',
  'type',
  'symbolId',
  'x',
  'y',
  'width',
  'height',
  'fontSize',
  'fractionDigits',
  'suffix',
  'points',
  'params',
  'rx',
  'style',
  'content',
  'pointId',
  'conditions',
];
const styleKeyOrder = [
  'fill',
  'stroke',
  'strokeWidth',
  'opacity',
  'visible',
  'blink',
  'text',
  'flow',
];
const ownFields: Record<SchemeElement['type'], string[]> = {
  rect: ['rx'],
  text: ['fontSize', 'content'],
  value: ['fontSize', 'fractionDigits', 'suffix'],
  indicator: [],
  symbol: ['symbolId', 'params'],
  polyline: ['points'],
};
const commonFields = ['id', 'type', 'x', 'y', 'width', 'height', 'style', 'pointId', 'conditions'];

const inOrder = (keys: string[], order: string[]): string[] =>
  order.filter((key) => keys.includes(key));

const documents: [string, Scheme][] = [
  ['pump-station', pumpStation],
  ['gas-turbine', gasTurbine],
  ['heat-point', heatPoint],
];

describe.each(documents)('stock scheme %s', (id, scheme) => {
  it('passes the full document check as the very record given', () => {
    const result = checkScheme(scheme);
    expect(result.errors).toEqual([]);
    expect(result.scheme).toBe(scheme);
  });

  it('has the document header in written order, a 960 × 560 stage and 36 uniquely named elements', () => {
    expect(Object.keys(scheme)).toEqual(['schemaVersion', 'id', 'name', 'size', 'elements']);
    expect(scheme.id).toBe(id);
    expect(Object.keys(scheme.size)).toEqual(['width', 'height']);
    expect(scheme.size).toEqual({ width: 960, height: 560 });
    expect(scheme.elements).toHaveLength(36);
    expect(new Set(scheme.elements.map((element) => element.id)).size).toBe(36);
  });

  it('writes every element with its own fields only, in the documented key order', () => {
    for (const element of scheme.elements) {
      const keys = Object.keys(element);
      expect(keys, element.id).toEqual(inOrder(keys, elementKeyOrder));
      const allowed = [...commonFields, ...ownFields[element.type]];
      expect(
        keys.filter((key) => !allowed.includes(key)),
        element.id,
      ).toEqual([]);
      expect(Object.values(element), element.id).not.toContain(undefined);
      const styleKeys = Object.keys(element.style);
      expect(styleKeys, element.id).toEqual(inOrder(styleKeys, styleKeyOrder));
    }
  });

  it('gives every bound element at most one rule, written as when { field, op, value } then set', () => {
    for (const element of scheme.elements) {
      if (element.conditions === undefined) continue;
      expect(element.pointId, element.id).toBeTruthy();
      expect(element.conditions, element.id).toHaveLength(1);
      const [rule] = element.conditions;
      expect(Object.keys(rule)).toEqual(['when', 'set']);
      expect(Object.keys(rule.when)).toEqual(['field', 'op', 'value']);
      const setKeys = Object.keys(rule.set);
      expect(setKeys, element.id).toEqual(inOrder(setKeys, styleKeyOrder));
    }
  });

  it('draws every pipe through points whose bounding box is the element box', () => {
    const pipes = scheme.elements.filter((element) => element.type === 'polyline');
    expect(pipes.length).toBeGreaterThan(0);
    for (const pipe of pipes) {
      const points = pipe.points ?? [];
      const xs = points.filter((_, index) => index % 2 === 0);
      const ys = points.filter((_, index) => index % 2 === 1);
      const box = {
        x: Math.min(...xs),
        y: Math.min(...ys),
        width: Math.max(...xs) - Math.min(...xs),
        height: Math.max(...ys) - Math.min(...ys),
      };
      expect(box, pipe.id).toEqual({
        x: pipe.x,
        y: pipe.y,
        width: pipe.width,
        height: pipe.height,
      });
    }
  });

  it('uses only symbols of the library, so nothing is drawn as a placeholder', () => {
    const symbolIds = scheme.elements.flatMap((element) =>
      element.type === 'symbol' ? [element.symbolId] : [],
    );
    expect(symbolIds.length).toBeGreaterThan(0);
    for (const symbolId of symbolIds) expect(findSymbol(symbolId), symbolId).toBeDefined();
  });

  it('binds only tags of the emulator catalogue, none of them generic', () => {
    const named = pointCatalogue.slice(0, pointCatalogue.length - GENERIC_POINT_COUNT);
    const namedIds = named.map((point) => point.id);
    for (const pointId of collectPointIds(scheme)) expect(namedIds).toContain(pointId);
  });
});

describe('stock schemes together', () => {
  it('show every named tag of the catalogue except the fuel gas pressure "PT-203"', () => {
    const bound = new Set(documents.flatMap(([, scheme]) => collectPointIds(scheme)));
    const named = pointCatalogue.slice(0, pointCatalogue.length - GENERIC_POINT_COUNT);
    const unbound = named.map((point) => point.id).filter((pointId) => !bound.has(pointId));
    expect(unbound).toEqual(['PT-203']);
  });
});

describe('stockSchemes', () => {
  it('registers the checked documents themselves in navigation order, under their own ids', () => {
    expect(stockSchemes.map((entry) => [entry.id, entry.name])).toEqual([
      ['pump-station', 'Насосная станция'],
      ['gas-turbine', 'Газотурбинный агрегат'],
      ['heat-point', 'Тепловой пункт'],
    ]);
    expect(stockSchemes.map((entry) => entry.scheme)).toEqual([pumpStation, gasTurbine, heatPoint]);
    stockSchemes.forEach((entry, index) => {
      expect(entry.scheme).toBe(documents[index][1]);
      expect(entry.scheme.id).toBe(entry.id);
      // The navigation shows the registration name, the stage title the document's own.
      expect(entry.scheme.name).not.toBe(entry.name);
    });
  });

  it('stops at the first bad document with its message under the registration id', () => {
    const broken = { ...heatPoint, id: 'other-id', size: { width: 0, height: 560 } };
    const create = () =>
      createStockEntries([
        { id: 'pump-station', name: 'Насосная станция', document: pumpStation },
        { id: 'heat-point', name: 'Тепловой пункт', document: broken },
        { id: 'gas-turbine', name: 'Газотурбинный агрегат', document: [] },
      ]);
    expect(create).toThrow(
      new Error(
        'Схема heat-point не читается:\nscheme size must have positive finite width and height',
      ),
    );
  });

  it('reports every problem of a bad document, one per line', () => {
    const broken = { ...pumpStation, schemaVersion: 2, name: '' };
    expect(() =>
      createStockEntries([{ id: 'pump-station', name: 'Насосная станция', document: broken }]),
    ).toThrow(
      'Схема pump-station не читается:\nunsupported schemaVersion: 2\nscheme name must be a non-empty string',
    );
  });
});
