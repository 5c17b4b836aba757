import { memo, useState } from 'react';

export interface CanvasGridProps {
  gridSize: number;
  width: number;
  height: number;
}

// Pattern ids are document-wide: each grid gets its own suffix.
let gridCount = 0;

/** The canvas grid in scheme units: fine lines every step, stronger ones every fifth. */
export const CanvasGrid = memo(function CanvasGrid({ gridSize, width, height }: CanvasGridProps) {
  const [suffix] = useState(() => {
    gridCount += 1;
    return `-${gridCount}`;
  });
  if (!(gridSize > 0)) return null;
  const g = gridSize;
  const c = 5 * g;
  const fine = `orvo-grid-fine${suffix}`;
  const coarse = `orvo-grid-coarse${suffix}`;
  return (
    <>
      <defs>
        <pattern id={fine} width={g} height={g} patternUnits="userSpaceOnUse">
          <path
            d={`M ${g} 0 L 0 0 L 0 ${g}`}
            fill="none"
            stroke="var(--orvo-border)"
            strokeWidth={1}
          />
        </pattern>
        <pattern
          id={coarse}
          data-testid="grid-pattern-coarse"
          width={c}
          height={c}
          patternUnits="userSpaceOnUse"
        >
          <rect width={c} height={c} fill={`url(#${fine})`} />
          <path
            d={`M ${c} 0 L 0 0 L 0 ${c}`}
            fill="none"
            stroke="var(--orvo-border-strong)"
            strokeWidth={1}
          />
        </pattern>
      </defs>
      <rect
        data-testid="grid-fill"
        x={0}
        y={0}
        width={width}
        height={height}
        fill={`url(#${coarse})`}
        pointerEvents="none"
      />
    </>
  );
});
