// The editing canvas. A gesture (drag, resize, marquee) lives in a ref: every
// pointer move only writes attributes onto the drawn nodes, and the gesture
// ends with at most one command, after its temporary transforms are removed.
// Element drawings are memoised on the element record, so a new selection
// redraws the selection layer and not the scheme.

import {
  memo,
  useCallback,
  useEffect,
  useLayoutEffect,
  useMemo,
  useRef,
  type DragEvent as ReactDragEvent,
  type PointerEvent as ReactPointerEvent,
} from 'react';
import type { SchemeElement } from '../../scheme';
import { renderElement } from '../../view';
import { useSymbolsVersion } from '../../symbols';
import { ZOOM_FACTOR, useEditor, type EditorContextValue, type Rect } from '../model';
import { CanvasGrid } from './CanvasGrid';
import { ADD_DATA_TYPE, elementForDrop } from './drop';
import {
  clientToScheme,
  computeDragPositions,
  computeResizeRect,
  dragOffset,
  marqueeHits,
  selectionBounds,
  type CanvasPoint,
  type HandleName,
  type SelectedBox,
  type SnapSettings,
} from './geometry';
import { drawSelectionFrame, escapeSelectorValue, findDragNodes, resizeTransform } from './live';
import { PipeDrawing } from './PipeDrawing';
import { SelectionLayer, frameRotation } from './SelectionLayer';
import { VertexHandles, useVertexInsert } from './VertexHandles';

/** The gesture under way. */
export type CanvasInteraction =
  | {
      kind: 'drag';
      primaryId: string;
      ids: readonly string[];
      origins: ReadonlyMap<string, Rect>;
      start: CanvasPoint;
      moved: boolean;
      /** The pointer at the latest move, with the snap settings it was taken with. */
      current: CanvasPoint;
      snap: SnapSettings;
      nodes: readonly SVGGElement[];
    }
  | {
      kind: 'resize';
      id: string;
      anchor: HandleName;
      origin: Rect;
      start: CanvasPoint;
      rect: Rect;
      rotation?: number;
      node: SVGGElement | null;
    }
  | { kind: 'marquee'; start: CanvasPoint; current: CanvasPoint };

type ElementPress = (id: string, event: ReactPointerEvent<SVGGElement>) => void;

// The canvas draws without live values: the node callback does nothing.
const ignoreNode = () => {};

// `symbols` is the symbol registry's version: a symbol that changes redraws its elements.
const CanvasElement = memo(function CanvasElement({
  element,
  onPress,
}: {
  element: SchemeElement;
  onPress: ElementPress;
  symbols: number;
}) {
  return (
    <g data-drag-node={element.id} onPointerDown={(event) => onPress(element.id, event)}>
      <g cursor="move">{renderElement(element, ignoreNode)}</g>
    </g>
  );
});

const CanvasElements = memo(function CanvasElements({
  elements,
  onPress,
  symbols,
}: {
  elements: readonly SchemeElement[];
  onPress: ElementPress;
  symbols: number;
}) {
  return (
    <>
      {elements.map((element) => (
        <CanvasElement key={element.id} element={element} onPress={onPress} symbols={symbols} />
      ))}
    </>
  );
});

function boxOf(element: SchemeElement): Rect {
  return { x: element.x, y: element.y, width: element.width, height: element.height };
}

function capturePointer(node: Element, pointerId: number): void {
  try {
    node.setPointerCapture(pointerId);
  } catch {
    // Capture is a convenience: without it the gesture still ends on release over the canvas.
  }
}

function snapOf(state: EditorContextValue['state']): SnapSettings {
  return { enabled: state.snapEnabled, grid: state.gridSize };
}

/** Selected boxes in element-list order. */
function selectedBoxes(
  elements: readonly SchemeElement[],
  selectedIds: readonly string[],
): SelectedBox[] {
  if (selectedIds.length === 0) return [];
  const wanted = new Set(selectedIds);
  const boxes: SelectedBox[] = [];
  for (const element of elements) {
    if (wanted.has(element.id)) {
      boxes.push({ id: element.id, ...boxOf(element), rotation: element.rotation });
    }
  }
  return boxes;
}

export function EditorCanvas() {
  const editor = useEditor();
  const { scheme, selectedIds, gridSize, zoom } = editor.state;
  const symbols = useSymbolsVersion();
  const svgRef = useRef<SVGSVGElement>(null);
  const layerRef = useRef<SVGGElement>(null);
  const marqueeRef = useRef<SVGRectElement>(null);
  const gestureRef = useRef<CanvasInteraction | null>(null);
  const rects = useMemo(
    () => selectedBoxes(scheme.elements, selectedIds),
    [scheme.elements, selectedIds],
  );
  // Handlers stay the same functions for the canvas's life and read the latest state here.
  const latest = useRef({ editor, rects });
  useLayoutEffect(() => {
    latest.current = { editor, rects };
  });

  const pointAt = useCallback((clientX: number, clientY: number) => {
    const svg = svgRef.current;
    const size = latest.current.editor.state.scheme.size;
    if (!svg) return clientToScheme({ left: 0, top: 0, width: 0, height: 0 }, size, NaN, NaN);
    return clientToScheme(svg.getBoundingClientRect(), size, clientX, clientY);
  }, []);

  // One element for the canvas's life, so that the memoised layer keeps its place.
  const vertexHandles = useMemo(() => <VertexHandles pointAt={pointAt} />, [pointAt]);
  const onDoubleClick = useVertexInsert(pointAt);

  /** Undoes a gesture's writes without a command, for a scheme that changed under it. */
  const abandonGesture = useCallback(() => {
    const gesture = gestureRef.current;
    gestureRef.current = null;
    if (!gesture) return;
    if (gesture.kind === 'drag') {
      for (const node of gesture.nodes) node.removeAttribute('transform');
      layerRef.current?.removeAttribute('transform');
    } else if (gesture.kind === 'resize') {
      gesture.node?.removeAttribute('transform');
      const layer = layerRef.current;
      const current = latest.current.rects;
      if (layer && current.length > 0) {
        const single = current.length === 1;
        const box = single ? current[0] : selectionBounds(current);
        drawSelectionFrame(layer, box, single ? frameRotation(current[0].rotation) : 0);
      }
    } else {
      marqueeRef.current?.setAttribute('visibility', 'hidden');
    }
  }, []);

  // A gesture whose scheme was replaced (undo from the keyboard, a load) would
  // move nodes that are gone or commit ids that no longer exist: drop it.
  useLayoutEffect(() => {
    abandonGesture();
  }, [scheme, abandonGesture]);
  useEffect(() => abandonGesture, [abandonGesture]);

  const onElementPress = useCallback<ElementPress>(
    (id, event) => {
      event.stopPropagation();
      capturePointer(event.currentTarget, event.pointerId);
      const svg = svgRef.current;
      if (!svg) return;
      const { state, dispatch } = latest.current.editor;
      const selected = state.selectedIds.includes(id);
      let taken: readonly string[];
      if (!event.shiftKey) {
        taken = selected ? state.selectedIds : [id];
        dispatch({ type: 'select', ids: taken, additive: false });
      } else {
        taken = selected
          ? state.selectedIds.filter((other) => other !== id)
          : [...state.selectedIds, id];
        dispatch({ type: 'select', ids: [id], additive: true });
      }
      const wanted = new Set(taken);
      const origins = new Map<string, Rect>();
      for (const element of state.scheme.elements) {
        if (wanted.has(element.id) && !origins.has(element.id)) {
          origins.set(element.id, boxOf(element));
        }
      }
      if (origins.size === 0) return;
      const ids = [...origins.keys()];
      const start = pointAt(event.clientX, event.clientY);
      gestureRef.current = {
        kind: 'drag',
        primaryId: origins.has(id) ? id : ids[0],
        ids,
        origins,
        start,
        moved: false,
        current: start,
        snap: snapOf(state),
        nodes: findDragNodes(svg, ids),
      };
    },
    [pointAt],
  );

  const onResizeStart = useCallback(
    (anchor: HandleName, event: ReactPointerEvent<SVGRectElement>) => {
      capturePointer(event.currentTarget, event.pointerId);
      const svg = svgRef.current;
      if (!svg) return;
      const { state } = latest.current.editor;
      const id = state.selectedIds[0];
      const element = state.scheme.elements.find((candidate) => candidate.id === id);
      if (!element) return;
      const origin = boxOf(element);
      gestureRef.current = {
        kind: 'resize',
        id: element.id,
        anchor,
        origin,
        start: pointAt(event.clientX, event.clientY),
        rect: origin,
        rotation: element.rotation,
        node: svg.querySelector<SVGGElement>(
          `[data-drag-node="${escapeSelectorValue(element.id)}"]`,
        ),
      };
    },
    [pointAt],
  );

  const onBackgroundPress = (event: ReactPointerEvent<SVGSVGElement>) => {
    capturePointer(event.currentTarget, event.pointerId);
    const start = pointAt(event.clientX, event.clientY);
    gestureRef.current = { kind: 'marquee', start, current: start };
    if (!event.shiftKey) editor.dispatch({ type: 'select', ids: [] });
  };

  const onPointerMove = (event: ReactPointerEvent<SVGSVGElement>) => {
    const gesture = gestureRef.current;
    if (!gesture) return;
    const p = pointAt(event.clientX, event.clientY);
    if (gesture.kind === 'drag') {
      const snap = snapOf(latest.current.editor.state);
      const offset = dragOffset(gesture.origins.get(gesture.primaryId), gesture.start, p, snap);
      gesture.current = p;
      gesture.snap = snap;
      if (offset.x !== 0 || offset.y !== 0) gesture.moved = true;
      const transform = `translate(${offset.x} ${offset.y})`;
      for (const node of gesture.nodes) node.setAttribute('transform', transform);
      layerRef.current?.setAttribute('transform', transform);
    } else if (gesture.kind === 'resize') {
      const state = latest.current.editor.state;
      const rotation = frameRotation(gesture.rotation);
      gesture.rect = computeResizeRect(
        gesture.origin,
        gesture.anchor,
        gesture.start,
        p,
        snapOf(state),
        event.shiftKey,
        rotation,
      );
      gesture.node?.setAttribute(
        'transform',
        resizeTransform(gesture.origin, gesture.rect, rotation),
      );
      if (layerRef.current) drawSelectionFrame(layerRef.current, gesture.rect, rotation);
    } else {
      gesture.current = p;
      const marquee = marqueeRef.current;
      if (!marquee) return;
      marquee.setAttribute('x', String(Math.min(gesture.start.x, p.x)));
      marquee.setAttribute('y', String(Math.min(gesture.start.y, p.y)));
      marquee.setAttribute('width', String(Math.abs(p.x - gesture.start.x)));
      marquee.setAttribute('height', String(Math.abs(p.y - gesture.start.y)));
      marquee.setAttribute('visibility', 'visible');
    }
  };

  const onPointerEnd = () => {
    const gesture = gestureRef.current;
    if (!gesture) return;
    gestureRef.current = null;
    const { state, dispatch } = latest.current.editor;
    if (gesture.kind === 'drag') {
      for (const node of gesture.nodes) node.removeAttribute('transform');
      layerRef.current?.removeAttribute('transform');
      if (!gesture.moved) return;
      const positions = computeDragPositions(
        gesture.origins,
        gesture.primaryId,
        gesture.start,
        gesture.current,
        gesture.snap,
      );
      dispatch({
        type: 'moveTo',
        positions: [...positions].map(([id, point]) => ({ id, x: point.x, y: point.y })),
      });
    } else if (gesture.kind === 'resize') {
      gesture.node?.removeAttribute('transform');
      if (layerRef.current) {
        drawSelectionFrame(layerRef.current, gesture.rect, frameRotation(gesture.rotation));
      }
      dispatch({ type: 'resizeTo', id: gesture.id, rect: gesture.rect });
    } else {
      marqueeRef.current?.setAttribute('visibility', 'hidden');
      const { start, current } = gesture;
      const box = {
        x: Math.min(start.x, current.x),
        y: Math.min(start.y, current.y),
        width: Math.abs(current.x - start.x),
        height: Math.abs(current.y - start.y),
      };
      if (box.width < 2 && box.height < 2) return;
      dispatch({ type: 'select', ids: marqueeHits(state.scheme.elements, box), additive: false });
    }
  };

  const onDragOver = (event: ReactDragEvent<SVGSVGElement>) => {
    event.preventDefault();
  };

  const onDrop = (event: ReactDragEvent<SVGSVGElement>) => {
    event.preventDefault();
    const data = event.dataTransfer.getData(ADD_DATA_TYPE);
    if (!data) return;
    const p = pointAt(event.clientX, event.clientY);
    const x = Number.isFinite(p.x) ? p.x : 20;
    const y = Number.isFinite(p.y) ? p.y : 20;
    const element = elementForDrop(data, x, y);
    if (element) editor.dispatch({ type: 'add', element });
  };

  // React listens to wheel events passively; zooming must stop the page's scroll.
  useEffect(() => {
    const svg = svgRef.current;
    if (!svg) return undefined;
    const onWheel = (event: WheelEvent) => {
      if (!event.ctrlKey) return;
      event.preventDefault();
      const { state, dispatch } = latest.current.editor;
      const zoom = event.deltaY < 0 ? state.zoom * ZOOM_FACTOR : state.zoom / ZOOM_FACTOR;
      dispatch({ type: 'setZoom', zoom });
    };
    svg.addEventListener('wheel', onWheel, { passive: false });
    return () => svg.removeEventListener('wheel', onWheel);
  }, []);

  const { width, height } = scheme.size;
  return (
    <svg
      ref={svgRef}
      data-testid="canvas"
      className="mnemo-canvas"
      width={width * zoom}
      height={height * zoom}
      viewBox={`0 0 ${width} ${height}`}
      onPointerDown={onBackgroundPress}
      onPointerMove={onPointerMove}
      onPointerUp={onPointerEnd}
      onPointerCancel={onPointerEnd}
      onDragOver={onDragOver}
      onDrop={onDrop}
      onDoubleClick={onDoubleClick}
    >
      <CanvasGrid gridSize={gridSize} width={width} height={height} />
      <CanvasElements elements={scheme.elements} onPress={onElementPress} symbols={symbols} />
      <SelectionLayer ref={layerRef} rects={rects} zoom={zoom} onResizeStart={onResizeStart}>
        {vertexHandles}
      </SelectionLayer>
      <rect
        ref={marqueeRef}
        data-testid="marquee"
        visibility="hidden"
        fill="var(--orvo-accent-soft)"
        fillOpacity={0.35}
        stroke="var(--orvo-accent)"
        strokeWidth={1 / zoom}
        pointerEvents="none"
      />
      <PipeDrawing pointAt={pointAt} width={width} height={height} />
    </svg>
  );
}
