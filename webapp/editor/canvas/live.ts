// Writes made straight onto the drawn nodes while a gesture runs: nothing is
// re-rendered until the gesture ends with one command.

import type { Rect } from '../model';
import { boxCentre, handlePoint, type HandleName } from './geometry';

/** An element id as it may stand inside a double-quoted attribute selector. */
export function escapeSelectorValue(id: string): string {
  return id.replace(/["\\]/g, '\\$&');
}

/** The drawn group of each listed element, in the order of `ids`; absent ones are left out. */
export function findDragNodes(root: ParentNode, ids: readonly string[]): SVGGElement[] {
  // One selector per id is quick for a few; a whole selection is found in one walk.
  if (ids.length <= 16) {
    const nodes: SVGGElement[] = [];
    for (const id of ids) {
      const node = root.querySelector<SVGGElement>(`[data-drag-node="${escapeSelectorValue(id)}"]`);
      if (node) nodes.push(node);
    }
    return nodes;
  }
  const byId = new Map<string, SVGGElement>();
  for (const node of root.querySelectorAll<SVGGElement>('[data-drag-node]')) {
    const id = node.getAttribute('data-drag-node');
    if (id !== null && !byId.has(id)) byId.set(id, node);
  }
  const nodes: SVGGElement[] = [];
  for (const id of ids) {
    const node = byId.get(id);
    if (node) nodes.push(node);
  }
  return nodes;
}

/** Transform that draws an element of box `origin` (turned by `rotation`) over `rect`. */
export function resizeTransform(origin: Rect, rect: Rect, rotation: number): string {
  const sx = origin.width === 0 ? 1 : rect.width / origin.width;
  const sy = origin.height === 0 ? 1 : rect.height / origin.height;
  const scale = `translate(${rect.x} ${rect.y}) scale(${sx} ${sy}) translate(${-origin.x} ${-origin.y})`;
  if (rotation === 0) return scale;
  // The element draws its own rotation about its old centre: undo that, then
  // turn the scaled drawing about the new centre.
  const to = boxCentre(rect);
  const from = boxCentre(origin);
  return `rotate(${rotation} ${to.x} ${to.y}) ${scale} rotate(${-rotation} ${from.x} ${from.y})`;
}

/** Moves the selection frame inside `layer` onto `box`, turned by `rotation`. */
export function drawSelectionFrame(layer: Element, box: Rect, rotation: number): void {
  const frame = layer.querySelector('[data-testid="selection-frame"]');
  if (!frame) return;
  if (rotation !== 0) {
    const centre = boxCentre(box);
    frame.setAttribute('transform', `rotate(${rotation} ${centre.x} ${centre.y})`);
  } else {
    frame.removeAttribute('transform');
  }
  const outline = frame.querySelector('[data-testid="selection-outline"]');
  if (outline) {
    outline.setAttribute('x', String(box.x));
    outline.setAttribute('y', String(box.y));
    outline.setAttribute('width', String(box.width));
    outline.setAttribute('height', String(box.height));
  }
  for (const handle of frame.querySelectorAll('[data-resize-anchor]')) {
    const name = handle.getAttribute('data-resize-anchor') as HandleName;
    const width = Number(handle.getAttribute('width')) || 0;
    const height = Number(handle.getAttribute('height')) || 0;
    const p = handlePoint(box, name);
    handle.setAttribute('x', String(p.x - width / 2));
    handle.setAttribute('y', String(p.y - height / 2));
  }
}
