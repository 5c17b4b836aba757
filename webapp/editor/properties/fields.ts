// What the inspector can edit on an element: one descriptor per property,
// grouped per element type, and the two operations that read a property and
// build the patch that sets it.

import type { ElementType, SchemeElement } from '../../scheme';
import type { PointStatus } from '../../data';
import { MIN_ELEMENT_SIZE, type AlignMode, type ElementPatch } from '../model';

export type FieldScope = 'element' | 'style';
export type FieldGroup = 'geometry' | 'appearance';
export type FieldControl = 'number' | 'text' | 'color' | 'toggle' | 'select';

export interface FieldOption {
  value: string;
  label: string;
}

export interface FieldDescriptor {
  scope: FieldScope;
  name: string;
  group: FieldGroup;
  label: string;
  hint: string;
  control: FieldControl;
  unit?: string;
  min?: number;
  max?: number;
  step?: number;
  /** Choices of a select; without them a select offers the symbol library. */
  options?: readonly FieldOption[];
}

function geometry(
  name: string,
  label: string,
  hint: string,
  limits: Pick<FieldDescriptor, 'min' | 'max' | 'unit'>,
): FieldDescriptor {
  return { scope: 'element', name, group: 'geometry', label, hint, control: 'number', ...limits };
}

export const geometryFields: readonly FieldDescriptor[] = [
  geometry('x', 'X', 'Отступ левого края элемента от левого края схемы.', { unit: 'px' }),
  geometry('y', 'Y', 'Отступ верхнего края элемента от верха схемы.', { unit: 'px' }),
  geometry('width', 'Ширина', 'Ширина габаритного прямоугольника элемента.', {
    unit: 'px',
    min: MIN_ELEMENT_SIZE,
  }),
  geometry('height', 'Высота', 'Высота габаритного прямоугольника элемента.', {
    unit: 'px',
    min: MIN_ELEMENT_SIZE,
  }),
  geometry('rotation', 'Поворот', 'Поворот вокруг центра элемента по часовой стрелке.', {
    unit: '°',
    min: -360,
    max: 360,
  }),
];

type AppearanceSpec = Omit<FieldDescriptor, 'group'>;

function appearance(spec: AppearanceSpec): FieldDescriptor {
  return { ...spec, group: 'appearance' };
}

/** Every appearance property the inspector offers; several types share one descriptor. */
export const appearanceDescriptors = {
  opacity: appearance({
    scope: 'style',
    name: 'opacity',
    label: 'Непрозрачность',
    control: 'number',
    min: 0,
    max: 1,
    step: 0.1,
    hint: '0 — элемент полностью прозрачен, 1 — непрозрачен.',
  }),
  fill: appearance({
    scope: 'style',
    name: 'fill',
    label: 'Заливка',
    control: 'color',
    hint: 'Цвет заливки, пока не сработало ни одно условие ниже.',
  }),
  stroke: appearance({
    scope: 'style',
    name: 'stroke',
    label: 'Контур',
    control: 'color',
    hint: 'Цвет линии по краю элемента.',
  }),
  strokeWidth: appearance({
    scope: 'style',
    name: 'strokeWidth',
    label: 'Толщина',
    control: 'number',
    unit: 'px',
    min: 0,
    hint: 'Толщина линии контура. 0 — контура нет.',
  }),
  textColor: appearance({
    scope: 'style',
    name: 'fill',
    label: 'Цвет текста',
    control: 'color',
    hint: 'Цвет надписи, пока не сработало ни одно условие ниже.',
  }),
  fontSize: appearance({
    scope: 'element',
    name: 'fontSize',
    label: 'Размер шрифта',
    control: 'number',
    unit: 'px',
    min: 6,
    hint: 'Высота символов надписи.',
  }),
  rx: appearance({
    scope: 'element',
    name: 'rx',
    label: 'Скругление',
    control: 'number',
    unit: 'px',
    min: 0,
    hint: 'Радиус скругления углов. 0 — прямые углы.',
  }),
  content: appearance({
    scope: 'element',
    name: 'content',
    label: 'Содержимое',
    control: 'text',
    hint: 'Текст, который выводится на схеме.',
  }),
  prefix: appearance({
    scope: 'element',
    name: 'prefix',
    label: 'Префикс',
    control: 'text',
    hint: 'Печатается перед числом, например «P = ».',
  }),
  suffix: appearance({
    scope: 'element',
    name: 'suffix',
    label: 'Единицы',
    control: 'text',
    hint: 'Печатается после числа, например « бар».',
  }),
  fractionDigits: appearance({
    scope: 'element',
    name: 'fractionDigits',
    label: 'Знаков после запятой',
    control: 'number',
    min: 0,
    max: 6,
    hint: 'До скольких знаков округляется показанное число.',
  }),
  symbolId: appearance({
    scope: 'element',
    name: 'symbolId',
    label: 'Символ',
    control: 'select',
    hint: 'Какой символ библиотеки рисуется на этом месте.',
  }),
  lineColor: appearance({
    scope: 'style',
    name: 'stroke',
    label: 'Цвет линии',
    control: 'color',
    hint: 'Цвет трубы, пока не сработало ни одно условие ниже.',
  }),
  lineWidth: appearance({
    scope: 'style',
    name: 'strokeWidth',
    label: 'Толщина',
    control: 'number',
    unit: 'px',
    min: 1,
    hint: 'Толщина трубы.',
  }),
  flow: appearance({
    scope: 'style',
    name: 'flow',
    label: 'Поток',
    control: 'toggle',
    hint: 'Бегущая штриховка вдоль трубы — признак движения среды.',
  }),
} as const satisfies Record<string, FieldDescriptor>;

const a = appearanceDescriptors;

export const appearanceFields: Readonly<Record<ElementType, readonly FieldDescriptor[]>> = {
  rect: [a.fill, a.stroke, a.strokeWidth, a.rx, a.opacity],
  text: [a.content, a.fontSize, a.textColor, a.opacity],
  value: [a.prefix, a.suffix, a.fractionDigits, a.fontSize, a.textColor, a.opacity],
  indicator: [a.fill, a.stroke, a.strokeWidth, a.opacity],
  symbol: [a.symbolId, a.fill, a.stroke, a.opacity],
  polyline: [a.lineColor, a.lineWidth, a.flow, a.opacity],
};

/** The geometry fields followed by the type's appearance fields; geometry alone for an unknown type. */
export function fieldsForType(type: ElementType): readonly FieldDescriptor[] {
  const own = Object.prototype.hasOwnProperty.call(appearanceFields, type)
    ? appearanceFields[type]
    : [];
  return [...geometryFields, ...own];
}

/** Two descriptors with one identity edit the same property. */
export function fieldIdentity(descriptor: Pick<FieldDescriptor, 'scope' | 'name'>): string {
  return `${descriptor.scope}.${descriptor.name}`;
}

/**
 * The first type's fields that every other type also has, in the first
 * type's order and with its descriptors.
 */
export function commonFields(types: readonly ElementType[]): FieldDescriptor[] {
  if (types.length === 0) return [];
  const [first, ...rest] = types;
  const others = rest.map((type) => new Set(fieldsForType(type).map(fieldIdentity)));
  return fieldsForType(first).filter((descriptor) =>
    others.every((identities) => identities.has(fieldIdentity(descriptor))),
  );
}

function isRecord(value: unknown): value is Record<string, unknown> {
  return typeof value === 'object' && value !== null && !Array.isArray(value);
}

export function readField(element: SchemeElement, descriptor: FieldDescriptor): unknown {
  const holder: unknown = descriptor.scope === 'style' ? element.style : element;
  if (!isRecord(holder) || !Object.prototype.hasOwnProperty.call(holder, descriptor.name)) {
    return undefined;
  }
  return holder[descriptor.name];
}

/** The patch that sets just this one property; a style patch is merged into the element's style. */
export function fieldPatch(descriptor: FieldDescriptor, value: unknown): ElementPatch {
  return descriptor.scope === 'style'
    ? { style: { [descriptor.name]: value } }
    : ({ [descriptor.name]: value } as ElementPatch);
}

export const elementTypeLabels: Readonly<Record<ElementType, string>> = {
  rect: 'Фигура',
  text: 'Текст',
  value: 'Значение',
  indicator: 'Индикатор',
  symbol: 'Символ',
  polyline: 'Труба',
};

export interface AlignModeEntry {
  mode: AlignMode;
  icon: 'alignLeft' | 'alignHCenter' | 'alignRight' | 'alignTop' | 'alignVCenter' | 'alignBottom';
  label: string;
}

export const alignModes: readonly AlignModeEntry[] = [
  { mode: 'left', icon: 'alignLeft', label: 'По левому краю' },
  { mode: 'hcenter', icon: 'alignHCenter', label: 'По центру по горизонтали' },
  { mode: 'right', icon: 'alignRight', label: 'По правому краю' },
  { mode: 'top', icon: 'alignTop', label: 'По верхнему краю' },
  { mode: 'vcenter', icon: 'alignVCenter', label: 'По центру по вертикали' },
  { mode: 'bottom', icon: 'alignBottom', label: 'По нижнему краю' },
  { mode: 'hdistribute', icon: 'alignHCenter', label: 'Равные промежутки по горизонтали' },
  { mode: 'vdistribute', icon: 'alignVCenter', label: 'Равные промежутки по вертикали' },
];

export interface StatusOption {
  value: PointStatus;
  label: string;
}

export const statusOptions: readonly StatusOption[] = [
  { value: 'good', label: 'достоверно' },
  { value: 'bad', label: 'недостоверно' },
  { value: 'uncertain', label: 'сомнительно' },
];
