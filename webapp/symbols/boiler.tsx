import type { SymbolDefinition } from './types';
import { baseFill, fillPart, OUTLINE, partSelector, showFlame } from './shared';

const BODY = partSelector('body');

/** Body with a furnace and a flame. */
export const boiler: SymbolDefinition = {
  label: 'Котёл',
  category: 'Агрегаты',
  defaultSize: { width: 120, height: 160 },
  render(element) {
    const { x, y, width: w, height: h } = element;
    const xc = x + w / 2;
    const e = 0.1 * w;
    return (
      <g>
        <rect
          data-part="body"
          x={x}
          y={y}
          width={w}
          height={h}
          rx={8}
          fill={baseFill(element, '#eef1f4')}
          stroke={OUTLINE}
          strokeWidth={2}
        />
        <rect
          data-part="furnace"
          x={x + 0.1 * w}
          y={y + 0.08 * h}
          width={0.8 * w}
          height={0.6 * h}
          rx={4}
          fill="#f6e2d2"
          stroke="#c9b4a2"
        />
        <path
          data-part="flame"
          d={
            `M ${xc - e} ${y + 0.82 * h} Q ${xc} ${y + 0.62 * h} ${xc + e} ${y + 0.82 * h} ` +
            `Q ${xc} ${y + 0.87 * h} ${xc - e} ${y + 0.82 * h} Z`
          }
          fill="#e8873a"
          visibility="hidden"
        />
      </g>
    );
  },
  update(node, _value, _element, style) {
    fillPart(node, BODY, style);
    showFlame(node, style);
  },
};
