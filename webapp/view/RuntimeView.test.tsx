import { act, render } from '@testing-library/react';
import { StrictMode } from 'react';
import type { DataSource, PointValue } from '../data';
import { createSimulator, pointCatalogue } from '../emulator';
import type { Scheme } from '../scheme';
import { keptMarkup, keptSchemes } from './drawings.fixture';
import { RuntimeView } from './RuntimeView';

function lampScheme(onFill: string, visible = true): Scheme {
  return {
    schemaVersion: 1,
    id: 's',
    name: 'S',
    size: { width: 300, height: 120 },
    elements: [
      {
        id: 'lamp',
        type: 'indicator',
        x: 0,
        y: 0,
        width: 10,
        height: 10,
        style: { fill: '#9aa5b1', visible },
        pointId: 'NS-101',
        conditions: [{ when: { field: 'value', op: 'eq', value: true }, set: { fill: onFill } }],
      },
    ],
  };
}

/** A data source fed by hand; `live` counts the subscriptions not yet ended. */
function fakeDataSource() {
  const subscribers = new Set<(values: PointValue[]) => void>();
  const source: DataSource = {
    subscribe: (_ids, callback) => {
      subscribers.add(callback);
      return () => subscribers.delete(callback);
    },
    read: () => Promise.resolve([]),
    listPoints: () => Promise.resolve([]),
    writeCommand: () => Promise.resolve(),
    getHistory: () => Promise.resolve([]),
    subscribeEvents: () => () => {},
  };
  return {
    source,
    live: () => subscribers.size,
    push: (values: PointValue[]) => act(() => subscribers.forEach((s) => s(values))),
  };
}

const running: PointValue = { id: 'NS-101', value: true, status: 'good', timestamp: 1 };

describe('RuntimeView', () => {
  it.each([
    [undefined, null],
    ['mnemo-preview', 'mnemo-preview'],
  ])('draws one svg sized to its box, class %s', (className, expectedClass) => {
    const { container } = render(
      <RuntimeView
        scheme={lampScheme('#3fb54a')}
        dataSource={fakeDataSource().source}
        className={className}
      />,
    );
    const svg = container.querySelector('svg');
    expect(container.children).toHaveLength(1);
    expect(svg?.getAttribute('class')).toBe(expectedClass);
    expect(svg).toHaveAttribute('viewBox', '0 0 300 120');
    expect(svg).toHaveAttribute('width', '100%');
    expect(svg).toHaveAttribute('height', '100%');
    expect(svg).toHaveAttribute('preserveAspectRatio', 'xMidYMid meet');
  });

  it('follows a changed scheme on the same node by restarting its binder with the new records', () => {
    const data = fakeDataSource();
    const { container, rerender } = render(
      <RuntimeView scheme={lampScheme('#3fb54a')} dataSource={data.source} />,
    );
    const lamp = container.querySelector('[data-element-id="lamp"]');

    expect(lamp).toHaveAttribute('visibility', 'visible');

    rerender(<RuntimeView scheme={lampScheme('#d04545', false)} dataSource={data.source} />);
    expect(data.live()).toBe(1);
    // Only the binder writes visibility: its base pass used the new element.
    expect(lamp).toHaveAttribute('visibility', 'hidden');
    data.push([running]);
    expect(container.querySelector('[data-element-id="lamp"]')).toBe(lamp);
    expect(lamp).toHaveAttribute('fill', '#d04545');
  });

  it('draws each element once under strict mode, whose effects run twice', () => {
    const data = fakeDataSource();
    const { container } = render(
      <StrictMode>
        <RuntimeView scheme={lampScheme('#3fb54a')} dataSource={data.source} />
      </StrictMode>,
    );
    expect(container.querySelectorAll('svg > *')).toHaveLength(1);
    expect(data.live()).toBe(1);
    data.push([running]);
    expect(container.querySelector('[data-element-id="lamp"]')).toHaveAttribute('fill', '#3fb54a');
  });

  it('moves to another data source, leaving the old one', () => {
    const first = fakeDataSource();
    const second = fakeDataSource();
    const scheme = lampScheme('#3fb54a');
    const { container, rerender, unmount } = render(
      <RuntimeView scheme={scheme} dataSource={first.source} />,
    );
    rerender(<RuntimeView scheme={scheme} dataSource={second.source} />);
    expect([first.live(), second.live()]).toEqual([0, 1]);

    second.push([running]);
    expect(container.querySelector('[data-element-id="lamp"]')).toHaveAttribute('fill', '#3fb54a');
    unmount();
    expect(second.live()).toBe(0);
  });
});

describe('RuntimeView drawings kept exactly', () => {
  // What the view shows after the binder's first pass, and after the first
  // values (the emulator's starting values, answering the binder's read).
  it.each(keptSchemes)('%s', async (_name, scheme) => {
    const simulator = createSimulator(pointCatalogue, () => 0.5);
    const data = fakeDataSource();
    const source: DataSource = {
      ...data.source,
      read: (ids) => Promise.resolve(simulator.snapshot(ids)),
    };
    const { container } = render(<RuntimeView scheme={scheme} dataSource={source} />);
    const based = container.innerHTML;
    await act(() => new Promise((resolve) => setTimeout(resolve, 0)));
    expect({ based: keptMarkup(based), live: keptMarkup(container.innerHTML) }).toMatchSnapshot();
  });
});

describe('RuntimeView links', () => {
  const linked: Scheme = {
    ...lampScheme('#3fb54a'),
    elements: [
      { ...lampScheme('#3fb54a').elements[0], link: 'heat-point' },
      {
        id: 'pump',
        type: 'symbol',
        symbolId: 'no-such-symbol',
        x: 50,
        y: 0,
        width: 40,
        height: 40,
        style: {},
        link: 'gas-turbine',
      },
      { id: 'plain', type: 'rect', x: 100, y: 0, width: 10, height: 10, style: {} },
    ],
  };
  const node = (id: string) => document.querySelector(`[data-element-id="${id}"]`) as Element;

  it('marks the linked elements and reports a click anywhere in one, values still bound', () => {
    const data = fakeDataSource();
    const followed: string[] = [];
    render(
      <RuntimeView scheme={linked} dataSource={data.source} onLink={(id) => followed.push(id)} />,
    );
    expect(node('lamp')).toHaveAttribute('data-link', 'heat-point');
    expect(node('plain')).not.toHaveAttribute('data-link');
    data.push([{ id: 'NS-101', value: true, status: 'good', timestamp: 1 }]);
    expect(node('lamp')).toHaveAttribute('fill', '#3fb54a');

    node('lamp').dispatchEvent(new MouseEvent('click', { bubbles: true }));
    // Inside a symbol the click lands on a part of its drawing.
    const part = node('pump').querySelector('text') as Element;
    part.dispatchEvent(new MouseEvent('click', { bubbles: true }));
    node('plain').dispatchEvent(new MouseEvent('click', { bubbles: true }));
    expect(followed).toEqual(['heat-point', 'gas-turbine']);
  });

  it('follows nothing and marks nothing without a handler', () => {
    render(<RuntimeView scheme={linked} dataSource={fakeDataSource().source} />);
    expect(document.querySelectorAll('[data-link]')).toHaveLength(0);
  });
});
