// The binder's hot path under the load-test shape: 2000 bound rectangles
// cycling through 50 points, each with one colour rule, all 50 points
// delivered at once as the emulator does every 500 ms.
import { bench, describe } from 'vitest';
import type { DataSource, PointValue } from '../data';
import { createBinder } from './binder';
import type { NodeMap } from './binder';
import type { Scheme, SchemeElement } from './types';

const COUNT = 2000;
const POINTS = 50;

const elements: SchemeElement[] = [];
for (let i = 0; i < COUNT; i++) {
  elements.push({
    id: `L${i}`,
    type: 'rect',
    x: (i % 45) * 40,
    y: Math.floor(i / 45) * 40,
    width: 30,
    height: 20,
    style: { fill: '#88cc88' },
    pointId: `p${(i % POINTS) + 1}`,
    conditions: [{ when: { field: 'value', op: 'gte', value: 70 }, set: { fill: '#cc3333' } }],
  });
}
const scheme: Scheme = {
  schemaVersion: 1,
  id: 'load-bench',
  name: 'load',
  size: { width: 1800, height: 1800 },
  elements,
};

const nodeMap: NodeMap = new Map();
for (const element of elements) {
  nodeMap.set(element.id, {
    node: document.createElementNS('http://www.w3.org/2000/svg', 'rect'),
    element,
  });
}

let deliver: (values: PointValue[]) => void = () => {};
const source: DataSource = {
  subscribe(_ids, callback) {
    deliver = callback;
    return () => {};
  },
  read: () => new Promise<PointValue[]>(() => {}),
  listPoints: () => Promise.resolve([]),
  writeCommand: () => Promise.resolve(),
  getHistory: () => Promise.resolve([]),
  subscribeEvents: () => () => {},
};
createBinder(scheme, source, nodeMap).start();

let tick = 0;
function update(): PointValue[] {
  tick++;
  const values: PointValue[] = [];
  for (let p = 1; p <= POINTS; p++) {
    values.push({ id: `p${p}`, value: (tick * 7 + p * 13) % 100, status: 'good', timestamp: tick });
  }
  return values;
}

describe(`one delivery of ${POINTS} points to ${COUNT} bound rectangles`, () => {
  bench('binder', () => deliver(update()));
});
