import type { SymbolDefinition } from './types';
import { baseFill, fillPart, OUTLINE, partSelector } from './shared';

const BODY = partSelector('body');
const COIL_STEPS = [0.18, 0.39, 0.6, 0.81];

/** Box with four slanted coil strokes. */
export const heatExchanger: SymbolDefinition = {
  label: 'Теплообменник',
  category: 'Теплообмен',
  defaultSize: { width: 120, height: 140 },
  render(element) {
    const { x, y, width: w, height: h } = element;
    const xl = x + 0.11 * w;
    const xr = x + 0.89 * w;
    const coil = COIL_STEPS.map((k) => `M ${xl} ${y + h * k} L ${xr} ${y + h * (k + 0.1)}`).join(
      ' ',
    );
    return (
      <g>
        <rect
          data-part="body"
          x={x}
          y={y}
          width={w}
          height={h}
          rx={6}
          fill={baseFill(element, '#e7ebef')}
          stroke={OUTLINE}
          strokeWidth={2}
        />
        <path data-part="coil" d={coil} fill="none" stroke={OUTLINE} strokeWidth={3} />
      </g>
    );
  },
  update(node, _value, _element, style) {
    fillPart(node, BODY, style);
  },
};
