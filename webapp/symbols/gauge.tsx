import type { SchemeElement } from '../scheme';
import type { SymbolDefinition } from './types';
import {
  fillPart,
  numericValue,
  OUTLINE,
  paramLabel,
  paramMin,
  paramWarnFrom,
  partSelector,
  valueFraction,
} from './shared';

const FACE = partSelector('face');
const NEEDLE = partSelector('needle');

export interface GaugeGeometry {
  faceR: number;
  cx: number;
  cy: number;
  /** Radius of the scale arc. */
  r: number;
}

function faceRadius(w: number, h: number): number {
  return Math.max(Math.min(w / 2, 0.45 * h) - 2, 4);
}

function scaleRadius(w: number, h: number): number {
  return Math.max(faceRadius(w, h) - 8, 2);
}

/** Face and scale of a dial gauge; the centre sits at 0.45 of the height, not mid-box. */
export function gaugeGeometry(element: SchemeElement): GaugeGeometry {
  const { x, y, width: w, height: h } = element;
  return { faceR: faceRadius(w, h), cx: x + w / 2, cy: y + 0.45 * h, r: scaleRadius(w, h) };
}

/**
 * The point of the scale at fraction `f`: 0 is the left end, 1 the right end,
 * 0.5 the top; the scale runs clockwise over the upper half.
 */
export function gaugePoint(element: SchemeElement, f: number): { x: number; y: number } {
  return { x: scaleX(element, f), y: scaleY(element, f) };
}

// The two coordinates apart, so that moving the needle allocates nothing.
function scaleX({ x, width: w, height: h }: SchemeElement, f: number): number {
  return x + w / 2 + scaleRadius(w, h) * Math.cos(Math.PI * (1 - f));
}

function scaleY({ y, width: w, height: h }: SchemeElement, f: number): number {
  return y + 0.45 * h - scaleRadius(w, h) * Math.sin(Math.PI * (1 - f));
}

/** Dial gauge with a half-circle scale, an optional warning arc and a needle. */
export const gauge: SymbolDefinition = {
  label: 'Прибор стрелочный',
  category: 'Индикаторы',
  defaultSize: { width: 96, height: 96 },
  render(element) {
    const { y, height: h } = element;
    const { faceR, cx, cy, r } = gaugeGeometry(element);
    const p0 = gaugePoint(element, 0);
    const p1 = gaugePoint(element, 1);
    const warnFrom = paramWarnFrom(element);
    const pw =
      warnFrom === undefined ? undefined : gaugePoint(element, valueFraction(warnFrom, element));
    return (
      <g>
        <circle
          data-part="face"
          cx={cx}
          cy={cy}
          r={faceR}
          fill="#ffffff"
          stroke={OUTLINE}
          strokeWidth={2}
        />
        <path
          data-part="scale"
          d={`M ${p0.x} ${p0.y} A ${r} ${r} 0 0 1 ${p1.x} ${p1.y}`}
          fill="none"
          stroke="#dde2e7"
          strokeWidth={7}
        />
        {pw !== undefined && (
          <path
            data-part="warn"
            d={`M ${pw.x} ${pw.y} A ${r} ${r} 0 0 1 ${p1.x} ${p1.y}`}
            fill="none"
            stroke="#d04545"
            strokeWidth={7}
          />
        )}
        <line
          data-part="needle"
          x1={cx}
          y1={cy}
          x2={p0.x}
          y2={p0.y}
          fill="none"
          stroke="#1d2733"
          strokeWidth={3}
        />
        <circle cx={cx} cy={cy} r={4} fill="#1d2733" />
        <text
          data-part="label"
          x={cx}
          y={y + h - 2}
          textAnchor="middle"
          fontSize={11}
          fill="#41505f"
        >
          {paramLabel(element)}
        </text>
      </g>
    );
  },
  update(node, value, element, style) {
    const needle = node.querySelector(NEEDLE);
    if (needle !== null) {
      const v = numericValue(value) ?? paramMin(element);
      const f = valueFraction(v, element);
      needle.setAttribute('x2', String(scaleX(element, f)));
      needle.setAttribute('y2', String(scaleY(element, f)));
    }
    fillPart(node, FACE, style);
  },
};
