// What each stock scheme shows with the emulator at its starting values, drawn
// by the runtime view and brought to life by its binder.
import { act, render } from '@testing-library/react';
import { describe, expect, it } from 'vitest';
import type { DataSource, PointValue } from '../data';
import { createSimulator, pointCatalogue } from '../emulator';
import type { Scheme } from '../scheme';
import { RuntimeView } from '../view';
import { gasTurbine, heatPoint, pumpStation } from './index';

/** A data source over a fresh emulator: reads its starting values; pushes are up to the test. */
function startingDataSource() {
  const simulator = createSimulator(pointCatalogue, () => 0.5);
  const listeners: ((values: PointValue[]) => void)[] = [];
  const source: DataSource = {
    subscribe(_ids, callback) {
      listeners.push(callback);
      return () => listeners.splice(listeners.indexOf(callback), 1);
    },
    read: (ids) => Promise.resolve(simulator.snapshot(ids)),
    listPoints: () => Promise.resolve(simulator.catalog()),
    writeCommand: () => Promise.resolve(),
    getHistory: () => Promise.resolve([]),
    subscribeEvents: () => () => {},
  };
  const push = (id: string, value: number | boolean) => {
    for (const listener of listeners) listener([{ id, value, status: 'good', timestamp: 1 }]);
  };
  return { source, push };
}

async function show(scheme: Scheme) {
  const { source, push } = startingDataSource();
  const { container } = render(<RuntimeView scheme={scheme} dataSource={source} />);
  // The starting values arrive with the answer to the binder's read.
  await act(() => new Promise((resolve) => setTimeout(resolve, 0)));

  // "id" is the element's node, "id/part" the symbol parts of that name.
  const nodesOf = (path: string): Element[] => {
    const [id, part] = path.split('/');
    const node = container.querySelector(`[data-element-id="${id}"]`);
    if (!node) throw new Error(`no node for ${id}`);
    return part ? Array.from(node.querySelectorAll(`[data-part="${part}"]`)) : [node];
  };
  // What a look table row reads: "text", "flow" and "blink" markers, or an attribute.
  const read = (path: string, what: string): string[] =>
    nodesOf(path).map((node) => {
      if (what === 'text') return node.textContent ?? '';
      if (what === 'flow') return String(node.classList.contains('mnemo-flow'));
      if (what === 'blink') return String(node.classList.contains('mnemo-blink'));
      return node.getAttribute(what) ?? '';
    });
  const height = (path: string) => Number(nodesOf(path)[0].getAttribute('height'));
  return { read, height, push };
}

type Look = [path: string, what: string, expected: string];

const GREEN = '#3fb54a';
const GREY = '#c7ccd1';

const looks: [Scheme, Look[]][] = [
  [
    pumpStation,
    [
      ['tank-1/level', 'fill', '#5bb4e0'],
      ['tank-1-value', 'text', '61.0 %'],
      ['tank-2/level', 'fill', '#d04545'],
      ['tank-2-value', 'text', '18.0 %'],
      ['tank-2-value', 'fill', '#b03030'],
      ['lamp-alarm', 'fill', '#d04545'],
      ['lamp-alarm', 'blink', 'true'],
      ['pipe-suction', 'flow', 'true'],
      ['pipe-line-a', 'flow', 'true'],
      ['pipe-line-a', 'stroke', '#4a90c0'],
      ['pipe-line-b', 'flow', 'false'],
      ['pipe-line-b', 'stroke', '#9aa5b1'],
      ['pump-1/body', 'fill', GREEN],
      ['valve-a1/wing', 'fill', GREEN],
      ['valve-a2/wing', 'fill', GREEN],
      ['lamp-p1', 'fill', GREEN],
      ['pump-2/body', 'fill', GREY],
      ['valve-b1/wing', 'fill', GREY],
      ['valve-b2/wing', 'fill', GREY],
      ['lamp-p2', 'fill', '#9aa5b1'],
      ['gauge-value', 'text', '4.3 бар'],
      ['val-press', 'text', '4.3 бар'],
      ['val-flow', 'text', '185 м³/ч'],
      ['val-level', 'text', '61.0 %'],
    ],
  ],
  [
    gasTurbine,
    [
      ['gtu/flame', 'visibility', 'visible'],
      ['pipe-exhaust', 'flow', 'true'],
      ['pipe-exhaust', 'stroke', '#c98a5a'],
      ['generator/body', 'fill', GREEN],
      ['pipe-grid', 'stroke', GREEN],
      ['pipe-grid', 'flow', 'true'],
      ['lamp-grid', 'fill', GREEN],
      ['pipe-fuel', 'stroke', '#e0b23a'],
      ['pipe-fuel', 'flow', 'true'],
      ['valve-fuel/wing', 'fill', GREEN],
      ['fuel-value', 'text', '42 %'],
      ['val-vib', 'text', '8.9 мм/с'],
      ['val-vib', 'fill', '#b03030'],
      ['lamp-warn', 'fill', '#e0b23a'],
      ['lamp-alarm', 'fill', '#c9d1d9'],
      ['lamp-alarm', 'blink', 'false'],
      ['val-rpm', 'text', '7940'],
      ['rpm-value', 'text', '7940 об/мин'],
      ['val-pow', 'text', '21.4 МВт'],
      ['exhaust-value', 'text', '512 °C'],
    ],
  ],
  [
    heatPoint,
    [
      ['boiler/flame', 'visibility', 'visible'],
      ['lamp-burner', 'fill', '#e8873a'],
      ['pipe-primary-hot', 'flow', 'true'],
      ['pipe-primary-cold', 'flow', 'true'],
      ['pipe-sec-supply', 'flow', 'true'],
      ['pipe-sec-return-1', 'flow', 'true'],
      ['pipe-sec-return-2', 'flow', 'true'],
      ['hx/body', 'fill', '#dfe9f0'],
      ['pump-3/body', 'fill', GREEN],
      ['valve-hv/wing', 'fill', GREEN],
      ['te301-value', 'text', '92.0 °C'],
      ['te302-value', 'text', '63.0 °C'],
      ['supply-value', 'text', '78.0 °C'],
      ['val-supply', 'text', '78.0 °C'],
      ['return-value', 'text', '54.0 °C'],
      ['val-return', 'text', '54.0 °C'],
      ['val-press', 'text', '2.6 бар'],
      ['hv-value', 'text', '46 %'],
    ],
  ],
];

describe.each(looks.map(([scheme, table]) => [scheme.id, scheme, table] as const))(
  '%s at the emulator’s starting values',
  (_id, scheme, table) => {
    it('shows the looks of its starting state', async () => {
      const { read } = await show(scheme);
      const seen = table.map(([path, what]) => [path, what, read(path, what)]);
      const expected = table.map(([path, what, value]) => [
        path,
        what,
        read(path, what).map(() => value),
      ]);
      expect(seen).toEqual(expected);
      // Every row names something that was drawn (a symbol part found at least once).
      for (const [, , values] of seen) expect(values.length).toBeGreaterThan(0);
    });
  },
);

describe('levels at the starting values', () => {
  it.each([
    ['tank-1/level', pumpStation, 200 * 0.61],
    ['tank-2/level', pumpStation, 200 * 0.18],
    ['exp-tank/level', heatPoint, (130 * 2.6) / 6],
  ])('%s rises to its share of the height', async (path, scheme, expected) => {
    const { height } = await show(scheme);
    expect(height(path)).toBeCloseTo(expected, 9);
  });
});

describe('pump station after a change of its tags', () => {
  it('turns tank 1 red below 25 % and stops line A when pump 1 stops', async () => {
    const { read, push } = await show(pumpStation);
    push('LT-101', 24.9);
    push('NS-101', false);
    expect(read('tank-1/level', 'fill')).toEqual(['#d04545']);
    expect(read('pipe-suction', 'flow')).toEqual(['false']);
    expect(read('pipe-line-a', 'flow')).toEqual(['false']);
    expect(read('pipe-line-a', 'stroke')).toEqual(['#9aa5b1']);
    expect(read('pump-1/body', 'fill')).toEqual([GREY]);
    expect(read('lamp-p1', 'fill')).toEqual(['#9aa5b1']);
  });
});
