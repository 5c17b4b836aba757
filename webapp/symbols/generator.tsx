import type { SymbolDefinition } from './types';
import { baseFill, fillPart, OUTLINE, partSelector } from './shared';

const BODY = partSelector('body');

/** Circle with one period of a sine wave. */
export const generator: SymbolDefinition = {
  label: 'Генератор',
  category: 'Агрегаты',
  defaultSize: { width: 88, height: 88 },
  render(element) {
    const { x, y, width: w, height: h } = element;
    const cx = x + w / 2;
    const cy = y + h / 2;
    const r = Math.min(w, h) / 2 - 2;
    const l = 0.45 * r;
    return (
      <g>
        <circle
          data-part="body"
          cx={cx}
          cy={cy}
          r={r}
          fill={baseFill(element, '#eef1f4')}
          stroke={OUTLINE}
          strokeWidth={2}
        />
        <path
          data-part="wave"
          d={`M ${cx - l} ${cy} q ${l / 2} ${-l} ${l} 0 q ${l / 2} ${l} ${l} 0`}
          fill="none"
          stroke="#41505f"
          strokeWidth={3}
        />
      </g>
    );
  },
  update(node, _value, _element, style) {
    fillPart(node, BODY, style);
  },
};
