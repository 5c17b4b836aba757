import { useEffect, useLayoutEffect, useRef, type MouseEvent } from 'react';
import type { DataSource } from '../data';
import { createBinder } from '../scheme';
import { useSymbolsVersion } from '../symbols';
import type { NodeMap, Scheme } from '../scheme';
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
}

function linkOf(element: { link?: unknown }): string | undefined {
  return typeof element.link === 'string' && element.link !== '' ? element.link : undefined;
}

/**
 * Draws a scheme once and hands its nodes to a binder. Live values never pass
 * through React: the binder writes them into the nodes collected here. The
 * elements are drawn into the svg without React (the same `renderElement`
 * drawing, set straight into the DOM), so a large scheme opens at the cost of
 * its DOM calls; React owns only the svg.
 */
export function RuntimeView({ scheme, dataSource, className, onLink }: RuntimeViewProps) {
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

  const follows = onLink !== undefined;
  useLayoutEffect(() => {
    nodeMap.forEach(({ node, element }) => {
      const link = follows ? linkOf(element) : undefined;
      if (link !== undefined) {
        if (node.getAttribute('data-link') !== link) node.setAttribute('data-link', link);
      } else if (node.hasAttribute('data-link')) {
        node.removeAttribute('data-link');
      }
    });
  }, [scheme, nodeMap, follows]);

  // One listener for the whole drawing: the element is found from the node clicked.
  const onClick = (event: MouseEvent<SVGSVGElement>) => {
    if (!onLink || !(event.target instanceof Element)) return;
    const node = event.target.closest('[data-element-id]');
    const id = node?.getAttribute('data-element-id');
    const entry = id === null || id === undefined ? undefined : nodeMap.get(id);
    const link = entry && entry.node === node ? linkOf(entry.element) : undefined;
    if (link !== undefined) onLink(link);
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
      onClick={follows ? onClick : undefined}
    />
  );
}
