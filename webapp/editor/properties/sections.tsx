import type { PointStatus, PointValue } from '../../data';
import type { SchemeElement, SchemeSize } from '../../scheme';
import { Field, IconButton, NumberField, SelectField, TextField } from '../kit';
import { MIN_SCHEME_SIZE, type AlignMode, type CatalogScheme, type ElementPatch } from '../model';
import { alignModes, statusOptions } from './fields';
import type { PointOption } from './points';

const UNBOUND: PointOption = { value: '', label: '— не задан —' };

const statusColors: Readonly<Record<PointStatus, string>> = {
  good: 'var(--orvo-ok)',
  bad: 'var(--orvo-alarm)',
  uncertain: 'var(--orvo-warn)',
};

export interface DataBindingSectionProps {
  el: SchemeElement;
  pointOptions: readonly PointOption[];
  live: PointValue | undefined;
  onPatch: (patch: ElementPatch) => void;
}

export function DataBindingSection({ el, pointOptions, live, onPatch }: DataBindingSectionProps) {
  const bound = typeof el.pointId === 'string' ? el.pointId : '';
  const status =
    live === undefined ? undefined : statusOptions.find((s) => s.value === live.status);
  return (
    <>
      <SelectField
        label="Тег"
        hint="Откуда элемент берёт значение. Список составлен из тегов схемы и источника данных."
        value={bound}
        options={[UNBOUND, ...pointOptions]}
        onChange={(pointId) => onPatch({ pointId: pointId === '' ? undefined : pointId })}
      />
      <div className="orvo-field">
        <span className="orvo-field__label">Сейчас</span>
        <span className="orvo-field__control">
          <strong data-testid="point-value">
            {live === undefined ? 'нет данных' : String(live.value)}
          </strong>
          {status !== undefined ? (
            <span data-testid="point-status" style={{ color: statusColors[status.value] }}>
              {status.label}
            </span>
          ) : null}
        </span>
      </div>
    </>
  );
}

export interface SchemeSizeEditorProps {
  size: SchemeSize;
  onResize: (size: SchemeSize) => void;
}

export function SchemeSizeEditor({ size, onResize }: SchemeSizeEditorProps) {
  return (
    <>
      <NumberField
        label="Ширина"
        unit="px"
        min={MIN_SCHEME_SIZE}
        value={size.width}
        onChange={(width) => onResize({ ...size, width })}
      />
      <NumberField
        label="Высота"
        unit="px"
        min={MIN_SCHEME_SIZE}
        value={size.height}
        onChange={(height) => onResize({ ...size, height })}
      />
    </>
  );
}

export interface AlignButtonsProps {
  onAlign: (mode: AlignMode) => void;
}

export function AlignButtons({ onAlign }: AlignButtonsProps) {
  return (
    <div className="orvo-align">
      {alignModes.map((entry) => (
        <IconButton
          key={entry.mode}
          icon={entry.icon}
          label={entry.label}
          onClick={() => onAlign(entry.mode)}
        />
      ))}
    </div>
  );
}

const problemStyle = { color: 'var(--orvo-alarm)' };

export interface SchemeIdentityEditorProps {
  name: string;
  id: string;
  /** What is wrong with the id, shown beside its field. */
  idProblems: readonly string[];
  onName: (name: string) => void;
  onId: (id: string) => void;
}

export function SchemeIdentityEditor({
  name,
  id,
  idProblems,
  onName,
  onId,
}: SchemeIdentityEditorProps) {
  return (
    <>
      <TextField
        label="Название"
        hint="Заголовок схемы над её изображением."
        value={name}
        onChange={onName}
      />
      <Field label="Идентификатор">
        {(fieldId) => (
          <input
            id={fieldId}
            className="orvo-input"
            value={id}
            aria-invalid={idProblems.length > 0}
            onChange={(event) => onId(event.target.value)}
          />
        )}
      </Field>
      {idProblems.length > 0 ? (
        <div
          className="orvo-field__hint"
          role="alert"
          data-testid="scheme-id-problem"
          style={problemStyle}
        >
          {idProblems.join('; ')}
        </div>
      ) : (
        <div className="orvo-field__hint">
          Строчные латинские буквы, цифры и дефисы; по нему ссылаются переходы с других схем.
        </div>
      )}
    </>
  );
}

const NO_LINK = { value: '', label: '— нет перехода —' };

/** The choices of a link: none, each scheme of the station once, and a link to an unknown id as it is. */
export function linkOptions(schemes: readonly CatalogScheme[], link: string) {
  const options = [NO_LINK];
  const seen = new Set<string>(['']);
  for (const scheme of schemes) {
    if (seen.has(scheme.id)) continue;
    seen.add(scheme.id);
    options.push({ value: scheme.id, label: scheme.name });
  }
  if (!seen.has(link)) options.push({ value: link, label: link });
  return options;
}

export interface LinkFieldProps {
  el: SchemeElement;
  schemes: readonly CatalogScheme[];
  onPatch: (patch: ElementPatch) => void;
}

export function LinkField({ el, schemes, onPatch }: LinkFieldProps) {
  const link = typeof el.link === 'string' ? el.link : '';
  return (
    <SelectField
      label="Переход на схему"
      hint="Щелчок по элементу в просмотре открывает выбранную схему."
      value={link}
      options={linkOptions(schemes, link)}
      onChange={(next) => onPatch({ link: next === '' ? undefined : next })}
    />
  );
}
