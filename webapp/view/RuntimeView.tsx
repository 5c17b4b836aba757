import { useEffect, useLayoutEffect, useRef, type MouseEvent } from 'react';
import type { DataSource } from '../data';
import { createBinder } from '../scheme';
import type { AlarmClient, AlarmSnapshot } from '../station';
import { useSymbolsVersion } from '../symbols';
import type { NodeMap, Scheme } from '../scheme';
import { pointMarks } from './alarmMarks';
import { createAlarmMarkLayer } from './markLayer';
import { createSchemeDrawing } from './render';
import type { SchemeDrawing } from './render';

export interface RuntimeViewProps {
  scheme: Scheme;
  dataSource: DataSource;
  className?: string;
  /**
   * Follows the links of the elements: linked ones show a pointer, and a click
   * on one calls this with the id of the scheme it names.
   */
  onLink?: (schemeId: string) => void;
  /**
   * Opens the card of a bound element's point: a click on an element without a
   * link, or the context menu of any bound element, calls this with its point.
   */
  onPoint?: (pointId: string) => void;
  /**
   * The station's alarms: an element bound to a point with a standing alarm
   * carries that alarm's priority mark.
   */
  alarms?: AlarmClient;
}

function linkOf(element: { link?: unknown }): string | undefined {
  return typeof element.link === 'string' && element.link !== '' ? element.link : undefined;
}

function pointOf(element: { pointId?: unknown }): string | undefined {
  return typeof element.pointId === 'string' && element.pointId !== ''
    ? element.pointId
    : undefined;
}

/**
 * Draws a scheme once and hands its nodes to a binder. Live values never pass
 * through React: the binder writes them into the nodes collected here. The
 * elements are drawn into the svg without React (the same `renderElement`
 * drawing, set straight into the DOM), so a large scheme opens at the cost of
 * its DOM calls; React owns only the svg.
 */
export function RuntimeView({
  scheme,
  dataSource,
  className,
  onLink,
  onPoint,
  alarms,
}: RuntimeViewProps) {
  const nodeMapRef = useRef<NodeMap>(new Map());
  const nodeMap = nodeMapRef.current;
  const svgRef = useRef<SVGSVGElement>(null);
  const drawingRef = useRef<SchemeDrawing>();
  // Own symbols come and go with the station's folder: draw and bind again.
  const symbols = useSymbolsVersion();

  // Before the binder's effect, so that the map is complete when it starts.
  useLayoutEffect(() => {
    const svg = svgRef.current;
    if (!svg) return;
    drawingRef.current ??= createSchemeDrawing(svg);
    drawingRef.current.draw(scheme.elements, (element) => (node) => {
      if (node) nodeMap.set(element.id, { node, element });
      else nodeMap.delete(element.id);
    });
  }, [scheme, nodeMap, symbols]);

  // After the drawing, which may have emptied the svg: the marks' layer goes
  // on top of every element, and is made again whenever the drawing is.
  useLayoutEffect(() => {
    const svg = svgRef.current;
    if (!svg || !alarms?.available) return;
    const layer = createAlarmMarkLayer(svg, scheme.size, nodeMap);
    let shown: AlarmSnapshot | undefined;
    const show = () => {
      const snapshot = alarms.current();
      if (snapshot === shown) return;
      shown = snapshot;
      layer.show(pointMarks(snapshot.alarms.values()));
    };
    const unsubscribe = alarms.subscribe(show);
    show();
    return () => {
      unsubscribe();
      layer.remove();
    };
  }, [scheme, nodeMap, symbols, alarms]);

  const follows = onLink !== undefined;
  const opensPoints = onPoint !== undefined;
  useLayoutEffect(() => {
    nodeMap.forEach(({ node, element }) => {
      const link = follows ? linkOf(element) : undefined;
      if (link !== undefined) {
        if (node.getAttribute('data-link') !== link) node.setAttribute('data-link', link);
      } else if (node.hasAttribute('data-link')) {
        node.removeAttribute('data-link');
      }
      const point = opensPoints && link === undefined ? pointOf(element) : undefined;
      if (point !== undefined) {
        if (node.getAttribute('data-faceplate') !== point)
          node.setAttribute('data-faceplate', point);
      } else if (node.hasAttribute('data-faceplate')) {
        node.removeAttribute('data-faceplate');
      }
    });
  }, [scheme, nodeMap, follows, opensPoints]);

  /** The element drawn by the node an event came from. */
  const elementAt = (target: EventTarget | null) => {
    if (!(target instanceof Element)) return undefined;
    const node = target.closest('[data-element-id]');
    const id = node?.getAttribute('data-element-id');
    const entry = id === null || id === undefined ? undefined : nodeMap.get(id);
    return entry && entry.node === node ? entry.element : undefined;
  };

  // One listener for the whole drawing: a link wins over the point's card.
  const onClick = (event: MouseEvent<SVGSVGElement>) => {
    const element = elementAt(event.target);
    if (!element) return;
    const link = onLink ? linkOf(element) : undefined;
    const point = pointOf(element);
    if (link !== undefined) onLink?.(link);
    else if (point !== undefined) onPoint?.(point);
  };

  const onContextMenu = (event: MouseEvent<SVGSVGElement>) => {
    const element = elementAt(event.target);
    const point = element ? pointOf(element) : undefined;
    if (point === undefined || !onPoint) return;
    event.preventDefault();
    onPoint(point);
  };

  useLayoutEffect(
    () => () => {
      drawingRef.current?.clear();
      drawingRef.current = undefined;
    },
    [],
  );

  useEffect(() => {
    const binder = createBinder(scheme, dataSource, nodeMap);
    binder.start();
    return () => binder.stop();
  }, [scheme, dataSource, nodeMap, symbols]);

  const { width, height } = scheme.size;
  return (
    <svg
      ref={svgRef}
      className={className}
      viewBox={`0 0 ${width} ${height}`}
      width="100%"
      height="100%"
      preserveAspectRatio="xMidYMid meet"
      onClick={follows || opensPoints ? onClick : undefined}
      onContextMenu={opensPoints ? onContextMenu : undefined}
    />
  );
}
