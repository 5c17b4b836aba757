import { useEffect, useRef } from 'react';
import type { DataSource } from '../data';
import { createBinder } from '../scheme';
import type { NodeMap, Scheme } from '../scheme';
import { renderElement } from './render';

export interface RuntimeViewProps {
  scheme: Scheme;
  dataSource: DataSource;
  className?: string;
}

/**
 * Draws a scheme once and hands its nodes to a binder. Live values never pass
 * through React: the binder writes them into the nodes collected here.
 */
export function RuntimeView({ scheme, dataSource, className }: RuntimeViewProps) {
  const nodeMapRef = useRef<NodeMap>(new Map());
  const nodeMap = nodeMapRef.current;

  useEffect(() => {
    const binder = createBinder(scheme, dataSource, nodeMap);
    binder.start();
    return () => binder.stop();
  }, [scheme, dataSource, nodeMap]);

  const { width, height } = scheme.size;
  return (
    <svg
      className={className}
      viewBox={`0 0 ${width} ${height}`}
      width="100%"
      height="100%"
      preserveAspectRatio="xMidYMid meet"
    >
      {scheme.elements.map((element) =>
        renderElement(element, (node) => {
          if (node) nodeMap.set(element.id, { node, element });
          else nodeMap.delete(element.id);
        }),
      )}
    </svg>
  );
}
