import type { ReactElement } from 'react';
import type { SchemeElement } from '../scheme';

/** What an element shows when its symbol id is not registered: a red dashed box with the id. */
export function symbolPlaceholder(element: SchemeElement): ReactElement {
  const { x, y, width, height } = element;
  // Whatever a scheme file holds in `symbolId` must print, never break the drawing.
  const id: unknown = element.symbolId;
  return (
    <g data-placeholder="true">
      <rect
        x={x}
        y={y}
        width={width}
        height={height}
        fill="none"
        stroke="#c00"
        strokeDasharray="3 2"
      />
      <text x={x + 2} y={y + 12} fontSize={10} fill="#c00">
        {id === undefined || id === null ? '' : String(id)}
      </text>
    </g>
  );
}
