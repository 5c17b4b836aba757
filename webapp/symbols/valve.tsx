import type { SymbolDefinition } from './types';
import { baseFill, OUTLINE, partSelector, styleFill } from './shared';

const WING = partSelector('wing');

/** Two triangles meeting at the centre of the box. */
export const valve: SymbolDefinition = {
  label: 'Задвижка',
  category: 'Насосы / задвижки',
  defaultSize: { width: 48, height: 32 },
  render(element) {
    const { x, y, width: w, height: h } = element;
    const cx = x + w / 2;
    const cy = y + h / 2;
    const fill = baseFill(element, '#e7ebef');
    return (
      <g>
        <path
          data-part="wing"
          d={`M ${x} ${y} L ${cx} ${cy} L ${x} ${y + h} Z`}
          fill={fill}
          stroke={OUTLINE}
          strokeWidth={2}
        />
        <path
          data-part="wing"
          d={`M ${x + w} ${y} L ${cx} ${cy} L ${x + w} ${y + h} Z`}
          fill={fill}
          stroke={OUTLINE}
          strokeWidth={2}
        />
      </g>
    );
  },
  update(node, _value, _element, style) {
    const fill = styleFill(style);
    if (fill === undefined) return;
    const wings = node.querySelectorAll(WING);
    for (let i = 0; i < wings.length; i++) wings[i].setAttribute('fill', fill);
  },
};
