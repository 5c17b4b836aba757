import type { SymbolDefinition } from './types';
import { numericValue, OUTLINE, partSelector, styleFill, valueFraction } from './shared';

const LEVEL = partSelector('level');

/** Vertical vessel whose level rises from the bottom edge. */
export const tank: SymbolDefinition = {
  label: 'Резервуар',
  category: 'Резервуары',
  defaultSize: { width: 48, height: 90 },
  render({ x, y, width: w, height: h }) {
    return (
      <g>
        <rect
          data-part="body"
          x={x}
          y={y}
          width={w}
          height={h}
          rx={3}
          fill="#eef1f4"
          stroke={OUTLINE}
          strokeWidth={2}
        />
        <rect data-part="level" x={x + 2} y={y + h} width={w - 4} height={0} fill="#5bb4e0" />
      </g>
    );
  },
  update(node, value, element, style) {
    const level = node.querySelector(LEVEL);
    if (level === null) return;
    const v = numericValue(value);
    const f = v === undefined ? 0 : valueFraction(v, element);
    const { y, height: h } = element;
    level.setAttribute('height', String(h * f));
    level.setAttribute('y', String(y + h - h * f));
    const fill = styleFill(style);
    if (fill !== undefined) level.setAttribute('fill', fill);
  },
};
