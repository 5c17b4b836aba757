import { forwardRef, memo, type PointerEvent as ReactPointerEvent, type ReactNode } from 'react';
import {
  HANDLE_SIZE,
  boxCentre,
  handleCursor,
  handlePoint,
  handlesFor,
  selectionBounds,
  type HandleName,
  type SelectedBox,
} from './geometry';

export interface SelectionLayerProps {
  rects: readonly SelectedBox[];
  zoom: number;
  onResizeStart: (name: HandleName, event: ReactPointerEvent<SVGRectElement>) => void;
  /** Drawn over the frame and moved with it (the vertex handles). */
  children?: ReactNode;
}

/** A rotation usable in a transform: absent or not finite counts as none. */
export function frameRotation(rotation: number | undefined): number {
  return rotation !== undefined && Number.isFinite(rotation) ? rotation : 0;
}

/**
 * Outline of the selection, with resize handles when one element is selected.
 * The ref reaches the layer's group, which gestures move directly.
 */
export const SelectionLayer = memo(
  forwardRef<SVGGElement, SelectionLayerProps>(function SelectionLayer(
    { rects, zoom, onResizeStart, children },
    ref,
  ) {
    if (rects.length === 0) return null;
    const single = rects.length === 1;
    const box = single ? rects[0] : selectionBounds(rects);
    const theta = single ? frameRotation(rects[0].rotation) : 0;
    const centre = boxCentre(box);
    const side = HANDLE_SIZE / zoom;
    const line = 1 / zoom;
    return (
      <g ref={ref} data-testid="selection-layer">
        <g
          data-testid="selection-frame"
          transform={theta !== 0 ? `rotate(${theta} ${centre.x} ${centre.y})` : undefined}
        >
          <rect
            data-testid="selection-outline"
            x={box.x}
            y={box.y}
            width={box.width}
            height={box.height}
            fill="none"
            stroke="var(--orvo-accent)"
            strokeWidth={line}
            strokeDasharray={single ? undefined : `${4 / zoom} ${2 / zoom}`}
            pointerEvents="none"
          />
          {single &&
            handlesFor(box).map((name) => {
              const point = handlePoint(box, name);
              return (
                <rect
                  key={name}
                  data-resize-anchor={name}
                  x={point.x - side / 2}
                  y={point.y - side / 2}
                  width={side}
                  height={side}
                  fill="var(--orvo-surface)"
                  stroke="var(--orvo-accent)"
                  strokeWidth={line}
                  cursor={handleCursor(name, theta)}
                  onPointerDown={(event) => {
                    event.stopPropagation();
                    onResizeStart(name, event);
                  }}
                />
              );
            })}
        </g>
        {children}
      </g>
    );
  }),
);
