import { describe, expect, it } from 'vitest';
import type { ElementType, SchemeElement } from '../../scheme';
import { applyPatch } from '../model';
import {
  appearanceFields,
  commonFields,
  fieldPatch,
  fieldsForType,
  geometryFields,
  readField,
} from './fields';
import { pointOptionLabel, pointOptions } from './points';

const geometryLabels = ['X', 'Y', 'Ширина', 'Высота', 'Поворот'];

function describeFields(types: ElementType[]) {
  return commonFields(types)
    .filter((field) => field.group === 'appearance')
    .map((field) => (field.min === undefined ? field.label : `${field.label} (min ${field.min})`));
}

describe('fields of a multi-selection', () => {
  it.each<[ElementType[], string[]]>([
    [
      ['rect', 'text'],
      ['Заливка', 'Непрозрачность (min 0)'],
    ],
    [
      ['text', 'rect'],
      ['Цвет текста', 'Непрозрачность (min 0)'],
    ],
    [
      ['rect', 'polyline'],
      ['Контур', 'Толщина (min 0)', 'Непрозрачность (min 0)'],
    ],
    [
      ['polyline', 'rect'],
      ['Цвет линии', 'Толщина (min 1)', 'Непрозрачность (min 0)'],
    ],
    [
      ['text', 'value'],
      ['Размер шрифта (min 6)', 'Цвет текста', 'Непрозрачность (min 0)'],
    ],
    [['symbol'], ['Символ', 'Заливка', 'Контур', 'Непрозрачность (min 0)']],
    [['rect', 'text', 'value', 'indicator', 'symbol', 'polyline'], ['Непрозрачность (min 0)']],
  ])('%j offers %j', (types, expected) => {
    expect(describeFields(types)).toEqual(expected);
  });

  it('always shares the five geometry fields first, and offers nothing for no types', () => {
    for (const types of [['rect'], ['polyline', 'text'], ['symbol', 'value']] as ElementType[][]) {
      expect(
        commonFields(types)
          .slice(0, 5)
          .map((field) => field.label),
      ).toEqual(geometryLabels);
    }
    expect(commonFields([])).toEqual([]);
  });

  it('gives every type the geometry followed by its own appearance fields', () => {
    expect(fieldsForType('value').map((field) => field.label)).toEqual([
      ...geometryLabels,
      'Префикс',
      'Единицы',
      'Знаков после запятой',
      'Размер шрифта',
      'Цвет текста',
      'Непрозрачность',
    ]);
    // Every appearance list ends with the opacity, the one field all types share.
    for (const list of Object.values(appearanceFields)) {
      expect(list[list.length - 1].name).toBe('opacity');
    }
    expect(geometryFields.find((field) => field.name === 'rotation')).toMatchObject({
      min: -360,
      max: 360,
      unit: '°',
    });
  });
});

describe('reading and patching one property', () => {
  const element: SchemeElement = {
    id: 'a',
    type: 'rect',
    x: 10,
    y: 20,
    width: 30,
    height: 40,
    rx: 4,
    style: { fill: '#ff0000', stroke: '#000000' },
  };
  const [fill, stroke, , rx, opacity] = appearanceFields.rect;

  it('reads style properties from the style and others from the element', () => {
    expect(readField(element, fill)).toBe('#ff0000');
    expect(readField(element, rx)).toBe(4);
    expect(readField(element, opacity)).toBeUndefined();
    expect(readField(element, geometryFields[0])).toBe(10);
  });

  it('builds patches that change just that property', () => {
    expect(fieldPatch(stroke, '#00ff00')).toEqual({ style: { stroke: '#00ff00' } });
    expect(fieldPatch(rx, 8)).toEqual({ rx: 8 });
    const patched = applyPatch(element, fieldPatch(stroke, '#00ff00'));
    expect(patched.style).toEqual({ fill: '#ff0000', stroke: '#00ff00' });
    expect(applyPatch(element, fieldPatch(rx, 8))).toEqual({ ...element, rx: 8 });
  });
});

describe('tag list', () => {
  const catalogue = [
    { id: 'LT-101', kind: 'analog' as const, unit: '%', description: 'уровень в Б-1' },
    { id: 'PT-201', kind: 'analog' as const, description: 'давление' },
    { id: 'NS-101', kind: 'discrete' as const },
  ];

  it.each([
    [catalogue[0], 'LT-101 — уровень в Б-1, %'],
    [catalogue[1], 'PT-201 — давление'],
    [catalogue[2], 'NS-101'],
    [undefined, 'XX-1'],
  ])('labels %j as %s', (info, label) => {
    expect(pointOptionLabel(info, info?.id ?? 'XX-1')).toBe(label);
  });

  it('lists the catalogue first, then the scheme ids, each once and none empty', () => {
    expect(pointOptions(catalogue, ['ZZ-9', 'LT-101', '', 'AA-1', 'ZZ-9'])).toEqual([
      { value: 'LT-101', label: 'LT-101 — уровень в Б-1, %' },
      { value: 'PT-201', label: 'PT-201 — давление' },
      { value: 'NS-101', label: 'NS-101' },
      { value: 'ZZ-9', label: 'ZZ-9' },
      { value: 'AA-1', label: 'AA-1' },
    ]);
    expect(pointOptions([], ['LT-101'])).toEqual([{ value: 'LT-101', label: 'LT-101' }]);
  });
});
