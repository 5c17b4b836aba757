import type { SymbolDefinition } from './types';
import { baseFill, fillPart, paramLabel, partSelector } from './shared';

const BOX = partSelector('box');
const LABEL = partSelector('label');

/** Coloured status box with a caption. */
export const indicatorBox: SymbolDefinition = {
  label: 'Статус-бокс',
  category: 'Индикаторы',
  defaultSize: { width: 44, height: 44 },
  render(element) {
    const { x, y, width: w, height: h } = element;
    return (
      <g>
        <rect
          data-part="box"
          x={x}
          y={y}
          width={w}
          height={h}
          rx={4}
          fill={baseFill(element, '#3fb54a')}
          stroke="#2f7d38"
        />
        <text
          data-part="label"
          x={x + w / 2}
          y={y + h / 2 + 4}
          textAnchor="middle"
          fontSize={11}
          fontWeight={700}
          fill="#ffffff"
        >
          {paramLabel(element)}
        </text>
      </g>
    );
  },
  update(node, _value, element, style) {
    fillPart(node, BOX, style);
    const label = node.querySelector(LABEL);
    if (label === null) return;
    // An empty `text` is a caption of its own and hides the parameter's label.
    const text: unknown = style.text;
    label.textContent = text === undefined || text === null ? paramLabel(element) : String(text);
  },
};
