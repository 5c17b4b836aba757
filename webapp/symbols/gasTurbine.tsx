import type { SymbolDefinition } from './types';
import { baseFill, OUTLINE, partSelector, showFlame, styleFill } from './shared';

const COMPRESSOR = partSelector('compressor');
const TURBINE = partSelector('turbine');

/** Compressor, combustor with its flame, and turbine on one shaft. */
export const gasTurbine: SymbolDefinition = {
  label: 'Газотурбинный агрегат',
  category: 'Агрегаты',
  defaultSize: { width: 260, height: 90 },
  render(element) {
    const { x, y, width: w, height: h } = element;
    const u = x + 0.36 * w;
    const s = 0.28 * w;
    const a = u + s;
    const ya = y + h / 2;
    const m = u + s / 2;
    const e = 0.12 * s;
    const fill = baseFill(element, '#dce3ea');
    return (
      <g>
        <rect
          data-part="shaft"
          x={x}
          y={ya - 0.07 * h}
          width={w}
          height={0.14 * h}
          fill="#b8c1ca"
          stroke={OUTLINE}
        />
        <path
          data-part="compressor"
          d={`M ${x} ${y + 0.24 * h} L ${u} ${y} L ${u} ${y + h} L ${x} ${y + 0.76 * h} Z`}
          fill={fill}
          stroke={OUTLINE}
          strokeWidth={2}
        />
        <rect
          data-part="combustor"
          x={u}
          y={y + 0.1 * h}
          width={s}
          height={0.8 * h}
          rx={0.12 * h}
          fill="#f2d9c4"
          stroke={OUTLINE}
          strokeWidth={2}
        />
        <path
          data-part="flame"
          d={
            `M ${m - e} ${y + 0.66 * h} Q ${m} ${y + 0.42 * h} ${m + e} ${y + 0.66 * h} ` +
            `Q ${m} ${y + 0.87 * h} ${m - e} ${y + 0.66 * h} Z`
          }
          fill="#e8873a"
          visibility="hidden"
        />
        <path
          data-part="turbine"
          d={`M ${a} ${y} L ${x + w} ${y + 0.24 * h} L ${x + w} ${y + 0.76 * h} L ${a} ${y + h} Z`}
          fill={fill}
          stroke={OUTLINE}
          strokeWidth={2}
        />
      </g>
    );
  },
  update(node, _value, _element, style) {
    const fill = styleFill(style);
    if (fill !== undefined) {
      node.querySelector(COMPRESSOR)?.setAttribute('fill', fill);
      node.querySelector(TURBINE)?.setAttribute('fill', fill);
    }
    showFlame(node, style);
  },
};
