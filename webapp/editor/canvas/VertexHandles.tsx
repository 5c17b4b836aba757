// A handle on every vertex of the one selected polyline, where the vertex is
// drawn (turned with the element). Dragging a handle writes the pipe's points
// and the handle's place straight onto the nodes and dispatches one
// "moveVertex" at the release; Delete on a focused handle removes its vertex.

import {
  useCallback,
  useLayoutEffect,
  useMemo,
  useRef,
  type KeyboardEvent as ReactKeyboardEvent,
  type MouseEvent as ReactMouseEvent,
  type PointerEvent as ReactPointerEvent,
} from 'react';
import type { SchemeElement } from '../../scheme';
import { pointsAttribute } from '../../view';
import {
  MIN_VERTICES,
  drawnVertices,
  moveElementVertex,
  nearestSegment,
  placeVertex,
  useEditor,
  usePipeTool,
  vertexList,
  type EditorAction,
  type EditorState,
  type Point,
  type Rect,
} from '../model';
import { handlePoint, handlesFor, type SnapSettings } from './geometry';
import { drawSelectionFrame, escapeSelectorValue } from './live';
import type { PointAt } from './PipeDrawing';
import { frameRotation } from './SelectionLayer';

/** Diameter of a vertex handle in screen pixels: inside a resize handle where both sit. */
export const VERTEX_HANDLE_SIZE = 8;
/** How far beside a pipe's stroke a double click still hits it, in screen pixels. */
const HIT_SLOP_PX = 3;

function snapOf(state: EditorState): SnapSettings {
  return { enabled: state.snapEnabled, grid: state.gridSize };
}

function boxOf(element: SchemeElement): Rect {
  return { x: element.x, y: element.y, width: element.width, height: element.height };
}

/** The one selected element when it is a polyline with points. */
export function selectedPolyline(state: EditorState): SchemeElement | undefined {
  if (state.selectedIds.length !== 1) return undefined;
  const element = state.scheme.elements.find((e) => e.id === state.selectedIds[0]);
  return element?.type === 'polyline' && Array.isArray(element.points) ? element : undefined;
}

/**
 * The command a double click at `p` gives: a new vertex on the segment of the
 * selected polyline under the pointer, snapped like every placed vertex.
 */
export function insertVertexAction(state: EditorState, p: Point): EditorAction | undefined {
  const element = selectedPolyline(state);
  if (!element) return undefined;
  const segment = nearestSegment(drawnVertices(element), p);
  const reach = (element.style.strokeWidth ?? 4) / 2 + HIT_SLOP_PX / state.zoom;
  if (!segment || segment.distance > reach) return undefined;
  const at = placeVertex(p, undefined, snapOf(state), false);
  return { type: 'insertVertex', id: element.id, index: segment.index + 1, x: at.x, y: at.y };
}

/** The canvas's double click: inserts a vertex on the selected pipe under the pointer. */
export function useVertexInsert(pointAt: PointAt) {
  const editor = useEditor();
  const latest = useRef(editor);
  useLayoutEffect(() => {
    latest.current = editor;
  });
  return useCallback(
    (event: ReactMouseEvent<SVGSVGElement>) => {
      const { state, dispatch } = latest.current;
      const action = insertVertexAction(state, pointAt(event.clientX, event.clientY));
      if (action) dispatch(action);
    },
    [pointAt],
  );
}

/**
 * Vertices that lie under the end handles of a straight pipe: there the
 * resize handle keeps the pipe straight, so the vertex handle lets the
 * pointer through and serves the keyboard only.
 */
function underEndHandles(element: SchemeElement): Set<number> {
  const box = boxOf(element);
  const names = handlesFor(box);
  const covered = new Set<number>();
  if (names.length > 2) return covered;
  const ends = names.map((name) => handlePoint(box, name));
  vertexList(element.points ?? []).forEach((vertex, index) => {
    if (ends.some((end) => end.x === vertex.x && end.y === vertex.y)) covered.add(index);
  });
  return covered;
}

function rotationTransform(element: SchemeElement): string | null {
  const angle = frameRotation(element.rotation);
  if (angle === 0) return null;
  return `rotate(${angle} ${element.x + element.width / 2} ${element.y + element.height / 2})`;
}

function setOrRemove(node: Element, name: string, value: string | null): void {
  if (value === null) node.removeAttribute(name);
  else node.setAttribute(name, value);
}

interface VertexDrag {
  pointerId: number;
  index: number;
  element: SchemeElement;
  origin: Point;
  start: Point;
  target: Point;
  moved: boolean;
  handle: SVGCircleElement;
  line: SVGPolylineElement | null;
  saved: { points: string | null; transform: string | null };
  layer: Element | null;
}

export interface VertexHandlesProps {
  pointAt: PointAt;
}

export function VertexHandles({ pointAt }: VertexHandlesProps) {
  const editor = useEditor();
  const { armed } = usePipeTool();
  const { state } = editor;
  const element = useMemo(
    () => selectedPolyline(state),
    // The selected pipe changes only with the elements or the selection.
    // eslint-disable-next-line react-hooks/exhaustive-deps
    [state.scheme.elements, state.selectedIds],
  );
  const groupRef = useRef<SVGGElement>(null);
  const gestureRef = useRef<VertexDrag | null>(null);
  const focusNext = useRef<number | undefined>(undefined);
  const latest = useRef(editor);
  useLayoutEffect(() => {
    latest.current = editor;
  });

  /** Puts the nodes back as the committed scheme draws them. */
  const restore = useCallback((gesture: VertexDrag) => {
    const { element: origin, handle, line, saved, layer } = gesture;
    handle.setAttribute('cx', String(gesture.origin.x));
    handle.setAttribute('cy', String(gesture.origin.y));
    if (line) {
      setOrRemove(line, 'points', saved.points);
      setOrRemove(line, 'transform', saved.transform);
    }
    if (layer) drawSelectionFrame(layer, boxOf(origin), frameRotation(origin.rotation));
  }, []);

  // A scheme replaced under a drag (undo from the keyboard) drops the drag.
  useLayoutEffect(() => {
    const gesture = gestureRef.current;
    gestureRef.current = null;
    if (gesture) restore(gesture);
  }, [state.scheme, restore]);

  // After a removal the focus stays on the handle now at that place.
  useLayoutEffect(() => {
    const index = focusNext.current;
    focusNext.current = undefined;
    if (index === undefined) return;
    groupRef.current?.querySelector<SVGCircleElement>(`[data-vertex-index="${index}"]`)?.focus();
  });

  if (!element || armed) return null;

  const onPointerDown = (index: number, event: ReactPointerEvent<SVGCircleElement>) => {
    event.stopPropagation();
    const handle = event.currentTarget;
    try {
      handle.setPointerCapture(event.pointerId);
    } catch {
      // Without capture the drag still ends on a release over the canvas.
    }
    const origin = drawnVertices(element)[index];
    const svg = handle.ownerSVGElement;
    const line =
      svg?.querySelector<SVGPolylineElement>(
        `[data-drag-node="${escapeSelectorValue(element.id)}"] polyline`,
      ) ?? null;
    gestureRef.current = {
      pointerId: event.pointerId,
      index,
      element,
      origin,
      start: pointAt(event.clientX, event.clientY),
      target: origin,
      moved: false,
      handle,
      line,
      saved: {
        points: line?.getAttribute('points') ?? null,
        transform: line?.getAttribute('transform') ?? null,
      },
      layer: handle.closest('[data-testid="selection-layer"]'),
    };
  };

  const onPointerMove = (event: ReactPointerEvent<SVGCircleElement>) => {
    const gesture = gestureRef.current;
    if (!gesture || gesture.pointerId !== event.pointerId) return;
    event.stopPropagation();
    const p = pointAt(event.clientX, event.clientY);
    const target = placeVertex(
      {
        x: gesture.origin.x + p.x - gesture.start.x,
        y: gesture.origin.y + p.y - gesture.start.y,
      },
      undefined,
      snapOf(latest.current.state),
      false,
    );
    gesture.target = target;
    if (target.x !== gesture.origin.x || target.y !== gesture.origin.y) gesture.moved = true;
    const next = moveElementVertex(gesture.element, gesture.index, target);
    gesture.handle.setAttribute('cx', String(target.x));
    gesture.handle.setAttribute('cy', String(target.y));
    if (gesture.line) {
      gesture.line.setAttribute('points', pointsAttribute(next.points ?? []));
      setOrRemove(gesture.line, 'transform', rotationTransform(next));
    }
    if (gesture.layer) drawSelectionFrame(gesture.layer, boxOf(next), frameRotation(next.rotation));
  };

  const onPointerEnd = (event: ReactPointerEvent<SVGCircleElement>) => {
    const gesture = gestureRef.current;
    if (!gesture || gesture.pointerId !== event.pointerId) return;
    event.stopPropagation();
    gestureRef.current = null;
    restore(gesture);
    if (!gesture.moved) return;
    latest.current.dispatch({
      type: 'moveVertex',
      id: gesture.element.id,
      index: gesture.index,
      x: gesture.target.x,
      y: gesture.target.y,
    });
  };

  const vertices = drawnVertices(element);
  const onKeyDown = (index: number, event: ReactKeyboardEvent<SVGCircleElement>) => {
    if (event.key !== 'Delete' && event.key !== 'Backspace') return;
    // The key is the vertex's: the pipe itself stays.
    event.preventDefault();
    event.stopPropagation();
    if (vertices.length <= MIN_VERTICES) return;
    focusNext.current = Math.min(index, vertices.length - 2);
    latest.current.dispatch({ type: 'removeVertex', id: element.id, index });
  };

  const covered = underEndHandles(element);
  const zoom = state.zoom;
  return (
    <g ref={groupRef} data-testid="vertex-handles">
      {vertices.map((vertex, index) => (
        <circle
          // Keyed by place, so the focus stays on the handle at a removed vertex's place.
          key={index}
          data-vertex-index={index}
          className="mnemo-vertex"
          role="button"
          tabIndex={0}
          aria-label={`Вершина ${index + 1}`}
          cx={vertex.x}
          cy={vertex.y}
          r={VERTEX_HANDLE_SIZE / 2 / zoom}
          fill="var(--orvo-accent)"
          stroke="var(--orvo-surface)"
          strokeWidth={1 / zoom}
          cursor="move"
          pointerEvents={covered.has(index) ? 'none' : undefined}
          onPointerDown={(event) => onPointerDown(index, event)}
          onPointerMove={onPointerMove}
          onPointerUp={onPointerEnd}
          onPointerCancel={onPointerEnd}
          onDoubleClick={(event) => event.stopPropagation()}
          onKeyDown={(event) => onKeyDown(index, event)}
        />
      ))}
    </g>
  );
}
