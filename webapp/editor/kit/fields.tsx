// Labelled inputs of the editor's panels. Each renders from its props and
// reports edits through its callback; the only state kept is the text being
// typed into a number field.

import { useId, useState, type CSSProperties, type ReactNode } from 'react';

/** Placeholder of a field whose selected elements disagree. */
const MIXED_PLACEHOLDER = '—';

const PICKER_VALUE = /^#[0-9a-fA-F]{6}$/;

export interface FieldProps {
  label: string;
  hint?: string;
  unit?: string;
  /** Renders the control, given the id that the field's label points to. */
  children: (id: string) => ReactNode;
}

export function Field({ label, hint, unit, children }: FieldProps) {
  const id = useId();
  return (
    <>
      <div className="orvo-field">
        <label className="orvo-field__label" htmlFor={id}>
          {label}
        </label>
        <div className="orvo-field__control">
          {children(id)}
          {unit ? <span className="orvo-field__unit">{unit}</span> : null}
        </div>
      </div>
      {hint ? <div className="orvo-field__hint">{hint}</div> : null}
    </>
  );
}

export interface TextFieldProps {
  label: string;
  hint?: string;
  value: string;
  placeholder?: string;
  mixed?: boolean;
  onChange: (text: string) => void;
}

export function TextField({ label, hint, value, placeholder, mixed, onChange }: TextFieldProps) {
  return (
    <Field label={label} hint={hint}>
      {(id) => (
        <input
          id={id}
          className="orvo-input"
          value={mixed ? '' : value}
          placeholder={mixed ? MIXED_PLACEHOLDER : placeholder}
          onChange={(event) => onChange(event.target.value)}
        />
      )}
    </Field>
  );
}

export interface NumberFieldProps {
  label: string;
  hint?: string;
  unit?: string;
  value: number;
  min?: number;
  max?: number;
  step?: number;
  mixed?: boolean;
  onChange: (value: number) => void;
}

/**
 * The number a field's text stands for, held within the bounds; undefined
 * for blank text and for text that is no finite number.
 */
export function parseFieldNumber(text: string, min?: number, max?: number): number | undefined {
  const trimmed = text.trim();
  if (trimmed === '') return undefined;
  let result = Number(trimmed);
  if (!Number.isFinite(result)) return undefined;
  if (min !== undefined && result < min) result = min;
  if (max !== undefined && result > max) result = max;
  return result;
}

export function NumberField({
  label,
  hint,
  unit,
  value,
  min,
  max,
  step,
  mixed,
  onChange,
}: NumberFieldProps) {
  // The typed text stays as typed (an intermediate "-" or a value below the
  // minimum) until the field is left.
  const [typed, setTyped] = useState<string | undefined>(undefined);
  const shown = typed ?? (mixed ? '' : String(value));
  return (
    <Field label={label} hint={hint} unit={unit}>
      {(id) => (
        <input
          id={id}
          type="number"
          className="orvo-input"
          value={shown}
          min={min}
          max={max}
          step={step}
          placeholder={mixed ? MIXED_PLACEHOLDER : undefined}
          onChange={(event) => {
            const text = event.target.value;
            setTyped(text);
            const result = parseFieldNumber(text, min, max);
            if (result !== undefined) onChange(result);
          }}
          onBlur={() => setTyped(undefined)}
        />
      )}
    </Field>
  );
}

/** A colour as stored: trimmed at both ends and lower-cased, otherwise unchecked. */
export function normalizeColor(text: string): string {
  return text.trim().toLowerCase();
}

export interface ColorFieldProps {
  label: string;
  hint?: string;
  value: string;
  mixed?: boolean;
  onChange: (text: string) => void;
}

export function ColorField({ label, hint, value, mixed, onChange }: ColorFieldProps) {
  const pickerId = useId();
  const swatchColor = mixed || value === '' ? 'transparent' : value;
  const swatchStyle = { '--orvo-swatch-color': swatchColor } as CSSProperties;
  const pickerValue = PICKER_VALUE.test(value) ? value : '#000000';
  return (
    <Field label={label} hint={hint}>
      {(id) => (
        <>
          <span className="orvo-swatch-wrap">
            <label
              className="orvo-swatch"
              data-testid="orvo-swatch"
              htmlFor={pickerId}
              style={swatchStyle}
            />
            <input
              id={pickerId}
              type="color"
              className="orvo-color-native"
              aria-label={`Выбрать цвет: ${label}`}
              value={pickerValue}
              onChange={(event) => onChange(normalizeColor(event.target.value))}
            />
          </span>
          <input
            id={id}
            className="orvo-input"
            value={mixed ? '' : value}
            placeholder={mixed ? MIXED_PLACEHOLDER : undefined}
            onChange={(event) => onChange(normalizeColor(event.target.value))}
          />
        </>
      )}
    </Field>
  );
}

export interface SelectOption<T extends string = string> {
  value: T;
  label: string;
}

export interface SelectFieldProps<T extends string = string> {
  label: string;
  hint?: string;
  value: T;
  options: ReadonlyArray<SelectOption<T>>;
  onChange: (value: T) => void;
}

export function SelectField<T extends string = string>({
  label,
  hint,
  value,
  options,
  onChange,
}: SelectFieldProps<T>) {
  return (
    <Field label={label} hint={hint}>
      {(id) => (
        <select
          id={id}
          className="orvo-input"
          value={value}
          onChange={(event) => onChange(event.target.value as T)}
        >
          {options.map((option, index) => (
            <option key={index} value={option.value}>
              {option.label}
            </option>
          ))}
        </select>
      )}
    </Field>
  );
}

export interface ToggleProps {
  label: string;
  checked: boolean;
  onChange: (checked: boolean) => void;
}

export function Toggle({ label, checked, onChange }: ToggleProps) {
  const id = useId();
  return (
    <label className="orvo-toggle" htmlFor={id}>
      <input
        id={id}
        type="checkbox"
        checked={checked}
        onChange={(event) => onChange(event.target.checked)}
      />
      {label}
    </label>
  );
}
