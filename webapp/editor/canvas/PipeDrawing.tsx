// Drawing a new pipe vertex by vertex while the pipe tool is armed. A layer
// over the whole canvas takes the clicks, so no element is selected or dragged
// meanwhile. The placed vertices and the pointer live in a ref and the draft
// is drawn by writing attributes: a pointer move re-renders nothing. The
// finished pipe enters the scheme as one "add".

import {
  useEffect,
  useLayoutEffect,
  useRef,
  type KeyboardEvent as ReactKeyboardEvent,
  type PointerEvent as ReactPointerEvent,
} from 'react';
import { pointsAttribute } from '../../view';
import {
  appendVertex,
  createPipeThrough,
  flattenVertices,
  placeVertex,
  useEditor,
  usePipeTool,
  type Point,
} from '../model';
import type { CanvasPoint } from './geometry';

/** Scheme point under a client point, as the canvas maps it. */
export type PointAt = (clientX: number, clientY: number) => CanvasPoint;

/** Screen pixels within which a second click counts as the same place. */
const SAME_PLACE_PX = 3;
/** Side of the mark on a placed vertex, in screen pixels. */
const MARK_PX = 6;

export interface PipeDrawingProps {
  pointAt: PointAt;
  width: number;
  height: number;
}

export function PipeDrawing({ pointAt, width, height }: PipeDrawingProps) {
  const editor = useEditor();
  const { armed, setArmed } = usePipeTool();
  const zoom = editor.state.zoom;
  const overlayRef = useRef<SVGRectElement>(null);
  const placedRef = useRef<SVGPolylineElement>(null);
  const bandRef = useRef<SVGLineElement>(null);
  const marksRef = useRef<SVGPathElement>(null);
  const draft = useRef<{ vertices: readonly Point[]; pointer?: Point }>({ vertices: [] });
  const latest = useRef(editor);
  useLayoutEffect(() => {
    latest.current = editor;
  });

  // Leaving the canvas (the preview, another scheme) leaves the tool too.
  useEffect(() => () => setArmed(false), [setArmed]);

  const redraw = () => {
    const { vertices, pointer } = draft.current;
    const scale = latest.current.state.zoom;
    placedRef.current?.setAttribute('points', pointsAttribute(flattenVertices(vertices)));
    const band = bandRef.current;
    const last = vertices[vertices.length - 1];
    if (band) {
      if (last && pointer) {
        band.setAttribute('x1', String(last.x));
        band.setAttribute('y1', String(last.y));
        band.setAttribute('x2', String(pointer.x));
        band.setAttribute('y2', String(pointer.y));
        band.setAttribute('visibility', 'visible');
      } else {
        band.setAttribute('visibility', 'hidden');
      }
    }
    const side = MARK_PX / scale;
    marksRef.current?.setAttribute(
      'd',
      vertices
        .map(({ x, y }) => `M${x - side / 2} ${y - side / 2}h${side}v${side}h${-side}z`)
        .join(''),
    );
  };

  // Every arming starts an empty draft and takes the keys for Enter and Esc.
  useLayoutEffect(() => {
    draft.current = { vertices: [] };
    if (armed) overlayRef.current?.focus({ preventScroll: true });
  }, [armed]);
  useLayoutEffect(redraw, [armed, zoom]);

  if (!armed) return null;

  const placeAt = (event: ReactPointerEvent<SVGRectElement>): Point => {
    const { state } = latest.current;
    const { vertices } = draft.current;
    return placeVertex(
      pointAt(event.clientX, event.clientY),
      vertices[vertices.length - 1],
      { enabled: state.snapEnabled, grid: state.gridSize },
      event.shiftKey,
    );
  };

  const onPointerDown = (event: ReactPointerEvent<SVGRectElement>) => {
    event.stopPropagation();
    if (event.button !== 0) return;
    overlayRef.current?.focus({ preventScroll: true });
    const p = placeAt(event);
    const minDistance = SAME_PLACE_PX / latest.current.state.zoom;
    draft.current = { vertices: appendVertex(draft.current.vertices, p, minDistance), pointer: p };
    redraw();
  };

  const onPointerMove = (event: ReactPointerEvent<SVGRectElement>) => {
    draft.current = { ...draft.current, pointer: placeAt(event) };
    redraw();
  };

  // The layer goes with the tool: the keys go back to the editor around the canvas.
  const disarm = () => {
    const overlay = overlayRef.current;
    draft.current = { vertices: [] };
    if (overlay && overlay === document.activeElement) {
      overlay.ownerSVGElement?.closest<HTMLElement>('[tabindex]')?.focus({ preventScroll: true });
    }
    setArmed(false);
  };

  const finish = () => {
    const element = createPipeThrough(draft.current.vertices);
    disarm();
    if (element) latest.current.dispatch({ type: 'add', element });
  };

  const onKeyDown = (event: ReactKeyboardEvent<SVGRectElement>) => {
    if (event.key !== 'Enter' && event.key !== 'Escape') return;
    event.preventDefault();
    event.stopPropagation();
    if (event.key === 'Enter') finish();
    else disarm();
  };

  const line = 1 / zoom;
  return (
    <g data-testid="pipe-draft">
      <polyline
        ref={placedRef}
        fill="none"
        stroke="var(--orvo-accent)"
        strokeOpacity={0.7}
        strokeWidth={4}
        strokeLinejoin="round"
        pointerEvents="none"
      />
      <line
        ref={bandRef}
        visibility="hidden"
        stroke="var(--orvo-accent)"
        strokeWidth={1.5 * line}
        strokeDasharray={`${4 * line} ${3 * line}`}
        pointerEvents="none"
      />
      <path
        ref={marksRef}
        fill="var(--orvo-surface)"
        stroke="var(--orvo-accent)"
        strokeWidth={line}
        pointerEvents="none"
      />
      <rect
        ref={overlayRef}
        data-testid="pipe-tool"
        className="mnemo-pipe-tool"
        aria-label="Рисование трубы: щелчками ставятся вершины, Enter или двойной щелчок завершает, Esc отменяет"
        tabIndex={-1}
        x={0}
        y={0}
        width={width}
        height={height}
        fill="transparent"
        cursor="crosshair"
        onPointerDown={onPointerDown}
        onPointerMove={onPointerMove}
        onDoubleClick={(event) => {
          event.stopPropagation();
          finish();
        }}
        onKeyDown={onKeyDown}
      />
    </g>
  );
}
