import type { SymbolDefinition } from './types';
import { baseFill, fillPart, OUTLINE, partSelector } from './shared';

const BODY = partSelector('body');

/** Circle with an impeller mark. */
export const pump: SymbolDefinition = {
  label: 'Насос',
  category: 'Насосы / задвижки',
  defaultSize: { width: 44, height: 44 },
  render(element) {
    const { x, y, width: w, height: h } = element;
    const cx = x + w / 2;
    const cy = y + h / 2;
    const r = Math.min(w, h) / 2 - 1;
    return (
      <g>
        <circle
          data-part="body"
          cx={cx}
          cy={cy}
          r={r}
          fill={baseFill(element, '#e7ebef')}
          stroke={OUTLINE}
          strokeWidth={2}
        />
        <path
          data-part="impeller"
          d={`M ${cx} ${cy} L ${cx + 0.8 * r} ${cy - 0.4 * r} L ${cx + 0.8 * r} ${cy + 0.4 * r} Z`}
          fill={OUTLINE}
        />
      </g>
    );
  },
  update(node, _value, _element, style) {
    fillPart(node, BODY, style);
  },
};
