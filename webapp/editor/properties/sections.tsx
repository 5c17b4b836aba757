import type { PointStatus, PointValue } from '../../data';
import type { SchemeElement, SchemeSize } from '../../scheme';
import { IconButton, NumberField, SelectField } from '../kit';
import { MIN_SCHEME_SIZE, type AlignMode, type ElementPatch } from '../model';
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
