import type { ReactElement } from 'react';
import { formatValue } from '../scheme';
import type { SchemeElement } from '../scheme';
import { findSymbol, symbolPlaceholder } from '../symbols';

/** Receives an element's drawn node when it is attached and null when it is detached. */
export type NodeCallback = (node: SVGElement | null) => void;

/** Pairs of numbers as "x,y" joined by blanks; a trailing odd number is dropped. */
export function pointsAttribute(points: readonly number[]): string {
  const pairs: string[] = [];
  for (let i = 0; i + 1 < points.length; i += 2) pairs.push(`${points[i]},${points[i + 1]}`);
  return pairs.join(' ');
}

function rotationTransform(element: SchemeElement): string | undefined {
  const angle = element.rotation;
  if (angle === undefined || angle === 0 || Number.isNaN(angle)) return undefined;
  const cx = element.x + element.width / 2;
  const cy = element.y + element.height / 2;
  return `rotate(${angle} ${cx} ${cy})`;
}

/**
 * The one mapping from a scheme element to SVG, shared by the runtime view,
 * the editing canvas and the palette previews. Unknown types draw nothing.
 */
export function renderElement(element: SchemeElement, onNode: NodeCallback): ReactElement | null {
  // Each case spells out its props in drawing order: a shared record spread
  // into every element costs a copy per element, which shows on large schemes.
  const { style, id } = element;
  switch (element.type) {
    case 'rect':
      return (
        <rect
          key={id}
          ref={onNode}
          data-element-id={id}
          opacity={style.opacity}
          transform={rotationTransform(element)}
          x={element.x}
          y={element.y}
          width={element.width}
          height={element.height}
          rx={element.rx}
          fill={style.fill ?? 'none'}
          stroke={style.stroke}
          strokeWidth={style.strokeWidth}
        />
      );
    case 'indicator':
      return (
        <circle
          key={id}
          ref={onNode}
          data-element-id={id}
          opacity={style.opacity}
          transform={rotationTransform(element)}
          cx={element.x + element.width / 2}
          cy={element.y + element.height / 2}
          r={Math.min(element.width, element.height) / 2}
          fill={style.fill ?? '#888'}
          stroke={style.stroke}
          strokeWidth={style.strokeWidth}
        />
      );
    case 'text':
    case 'value': {
      const fontSize = element.fontSize ?? 14;
      return (
        <text
          key={id}
          ref={onNode}
          data-element-id={id}
          opacity={style.opacity}
          transform={rotationTransform(element)}
          x={element.x}
          y={element.y + fontSize}
          fontSize={fontSize}
          fill={style.fill ?? '#000'}
        >
          {element.type === 'text' ? element.content : formatValue(element, undefined)}
        </text>
      );
    }
    case 'polyline':
      return (
        <polyline
          key={id}
          ref={onNode}
          data-element-id={id}
          opacity={style.opacity}
          transform={rotationTransform(element)}
          className="mnemo-pipe"
          points={pointsAttribute(element.points ?? [])}
          fill="none"
          stroke={style.stroke ?? '#4a4a4a'}
          strokeWidth={style.strokeWidth ?? 4}
        />
      );
    case 'symbol': {
      const symbol = findSymbol(element.symbolId);
      return (
        <g
          key={id}
          ref={onNode}
          data-element-id={id}
          opacity={style.opacity}
          transform={rotationTransform(element)}
        >
          {symbol ? symbol.render(element) : symbolPlaceholder(element)}
        </g>
      );
    }
    default:
      return null;
  }
}
