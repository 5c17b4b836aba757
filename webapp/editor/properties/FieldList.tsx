import { Fragment } from 'react';
import type { SchemeElement } from '../../scheme';
import { ColorField, NumberField, SelectField, TextField, Toggle } from '../kit';
import type { ElementPatch } from '../model';
import {
  fieldIdentity,
  fieldPatch,
  readField,
  type FieldDescriptor,
  type FieldOption,
} from './fields';

export interface FieldListProps {
  /** The element whose values are shown. */
  el: SchemeElement;
  specs: readonly FieldDescriptor[];
  onPatch: (patch: ElementPatch) => void;
  /** Choices of a select descriptor without options of its own. */
  symbolOptions: readonly FieldOption[];
  /** Further selected elements; a field they disagree on shows as mixed. */
  others?: readonly SchemeElement[];
}

const NO_OTHERS: readonly SchemeElement[] = [];

function sameValue(a: unknown, b: unknown): boolean {
  return a === b || (Number.isNaN(a) && Number.isNaN(b));
}

/**
 * The choices, plus the current value when it is not among them, so that it
 * shows as itself; an empty one too, or the select would show its first
 * choice as chosen and picking that choice would change nothing.
 */
function withCurrent(options: readonly FieldOption[], value: string): readonly FieldOption[] {
  return options.some((option) => option.value === value)
    ? options
    : [...options, { value, label: value }];
}

export function FieldList({
  el,
  specs,
  onPatch,
  symbolOptions,
  others = NO_OTHERS,
}: FieldListProps) {
  return (
    <>
      {specs.map((spec) => {
        const key = fieldIdentity(spec);
        const value = readField(el, spec);
        const mixed = others.some((other) => !sameValue(readField(other, spec), value));
        const report = (next: unknown) => onPatch(fieldPatch(spec, next));
        switch (spec.control) {
          case 'number':
            return (
              <NumberField
                key={key}
                label={spec.label}
                hint={spec.hint}
                unit={spec.unit}
                min={spec.min}
                max={spec.max}
                step={spec.step}
                value={typeof value === 'number' ? value : 0}
                mixed={mixed}
                onChange={report}
              />
            );
          case 'text':
          case 'color': {
            const Field = spec.control === 'text' ? TextField : ColorField;
            return (
              <Field
                key={key}
                label={spec.label}
                hint={spec.hint}
                value={typeof value === 'string' ? value : ''}
                mixed={mixed}
                onChange={report}
              />
            );
          }
          case 'toggle':
            // A toggle has no hint of its own: the hint goes below it, where
            // other fields show theirs.
            return (
              <Fragment key={key}>
                <Toggle label={spec.label} checked={value === true} onChange={report} />
                {spec.hint ? <div className="orvo-field__hint">{spec.hint}</div> : null}
              </Fragment>
            );
          case 'select': {
            const shown = typeof value === 'string' ? value : '';
            return (
              <SelectField
                key={key}
                label={spec.label}
                hint={spec.hint}
                value={shown}
                options={withCurrent(spec.options ?? symbolOptions, shown)}
                onChange={report}
              />
            );
          }
          default: {
            const never: never = spec.control;
            return never;
          }
        }
      })}
    </>
  );
}
