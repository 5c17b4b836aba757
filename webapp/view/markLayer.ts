// The alarm marks of a runtime view live in a layer of their own, the last
// child of the view's svg, and are written straight into it as the binder
// writes values: a change of alarms touches the marks that change and never
// the scheme's drawing. The layer lets the pointer through, so an element
// under a mark keeps its own click and card. Blinking is the marker class of
// the scheme's lamps, so marks and lamps blink on the one marker clock.

import type { NodeMap, SchemeSize } from '../scheme';
import { drawnBox, markPlacement, unitsPerPixel, type AlarmMark, type Box } from './alarmMarks';
import { PriorityShape } from './PriorityMark';
import { drawInto } from './render';

const SVG_NS = 'http://www.w3.org/2000/svg';
const BLINK_CLASS = 'mnemo-blink';
/** PriorityShape draws into a box of this side. */
const SHAPE_SIDE = 16;

export interface AlarmMarkLayer {
  /** Shows `marks` (by point id) on the drawn elements bound to those points, and no others. */
  show(marks: ReadonlyMap<string, AlarmMark>): void;
  /** Takes the layer out of the svg. */
  remove(): void;
}

interface Shown {
  node: SVGGElement;
  mark: AlarmMark;
  box: Box;
}

interface Target {
  id: string;
  box: Box;
}

function writeMark(node: SVGGElement, mark: AlarmMark, last: AlarmMark | undefined): void {
  if (last?.priority !== mark.priority) {
    node.textContent = '';
    drawInto(PriorityShape({ priority: mark.priority }), node);
    node.setAttribute('data-priority', String(mark.priority));
  }
  if (last?.label !== mark.label) node.setAttribute('aria-label', mark.label);
  if (last?.blinking !== mark.blinking) node.classList.toggle(BLINK_CLASS, mark.blinking);
}

/**
 * The marks of the elements in `nodes`, drawn into `svg` (whose viewBox is
 * `size`). Nothing is made before the first mark: a view without alarms
 * gets neither the layer nor the index of its bound elements.
 */
export function createAlarmMarkLayer(
  svg: SVGSVGElement,
  size: SchemeSize,
  nodes: NodeMap,
): AlarmMarkLayer {
  const shown = new Map<string, Shown>();
  let targets: Map<string, Target[]> | undefined;
  let layer: SVGGElement | undefined;
  let observer: ResizeObserver | undefined;
  // Marks keep their size on the screen: at a stage scaled to fit, one
  // scheme unit is not one pixel.
  let units = 1;

  const place = (entry: Shown) => {
    const at = markPlacement(entry.box, size, units);
    entry.node.setAttribute(
      'transform',
      `translate(${at.x} ${at.y}) scale(${at.width / SHAPE_SIDE})`,
    );
  };

  const targetsByPoint = () => {
    if (targets) return targets;
    targets = new Map();
    for (const { element } of nodes.values()) {
      const pointId = element.pointId;
      if (typeof pointId !== 'string' || pointId === '') continue;
      const box = drawnBox(element);
      if (!box) continue;
      const list = targets.get(pointId);
      if (list) list.push({ id: element.id, box });
      else targets.set(pointId, [{ id: element.id, box }]);
    }
    return targets;
  };

  const openLayer = () => {
    if (layer) return layer;
    layer = document.createElementNS(SVG_NS, 'g');
    layer.setAttribute('class', 'alarm-marks');
    layer.setAttribute('data-testid', 'alarm-marks');
    layer.setAttribute('pointer-events', 'none');
    svg.appendChild(layer);
    units = unitsPerPixel(size, svg.getBoundingClientRect());
    if (typeof ResizeObserver === 'function') {
      observer = new ResizeObserver(() => {
        const next = unitsPerPixel(size, svg.getBoundingClientRect());
        if (next === units) return;
        units = next;
        shown.forEach(place);
      });
      observer.observe(svg);
    }
    return layer;
  };

  return {
    show(marks) {
      if (marks.size === 0 && shown.size === 0) return;
      const wanted = new Map<string, { mark: AlarmMark; box: Box }>();
      const byPoint = targetsByPoint();
      marks.forEach((mark, pointId) =>
        byPoint.get(pointId)?.forEach(({ id, box }) => wanted.set(id, { mark, box })),
      );
      shown.forEach((entry, id) => {
        if (wanted.has(id)) return;
        entry.node.remove();
        shown.delete(id);
      });
      wanted.forEach(({ mark, box }, id) => {
        const entry = shown.get(id);
        if (entry) {
          if (entry.mark === mark) return;
          writeMark(entry.node, mark, entry.mark);
          entry.mark = mark;
          return;
        }
        const node = document.createElementNS(SVG_NS, 'g');
        node.setAttribute('class', 'alarm-mark');
        node.setAttribute('data-testid', `alarm-mark-${id}`);
        node.setAttribute('role', 'img');
        writeMark(node, mark, undefined);
        const created = { node, mark, box };
        openLayer().appendChild(node);
        place(created);
        shown.set(id, created);
      });
    },
    remove() {
      observer?.disconnect();
      observer = undefined;
      layer?.remove();
      layer = undefined;
      shown.clear();
    },
  };
}
