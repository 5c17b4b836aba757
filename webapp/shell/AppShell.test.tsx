import { act, fireEvent, render, screen } from '@testing-library/react';
import type { DataSource, PointValue } from '../data';
import type { Scheme } from '../scheme';
import { AppShell } from './AppShell';
import { createSchemeRegistry } from './registry';

function scheme(id: string, name: string, width = 100, height = 50): Scheme {
  return {
    schemaVersion: 1,
    id,
    name,
    size: { width, height },
    elements: [
      {
        id: `${id}-lamp`,
        type: 'indicator',
        x: 0,
        y: 0,
        width: 10,
        height: 10,
        style: { fill: '#9aa5b1' },
        pointId: 'NS-101',
        conditions: [{ when: { field: 'value', op: 'eq', value: true }, set: { fill: '#3fb54a' } }],
      },
    ],
  };
}

/** A data source whose subscribers can be fed by hand; records live subscriptions. */
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
  const push = (values: PointValue[]) => act(() => subscribers.forEach((s) => s(values)));
  return { source, subscribers, push };
}

const running: PointValue = { id: 'NS-101', value: true, status: 'good', timestamp: 1 };

describe('AppShell', () => {
  it('shows an empty navigation, title and stage for an empty registry', () => {
    render(<AppShell registry={createSchemeRegistry([])} dataSource={fakeDataSource().source} />);
    expect(screen.queryAllByRole('button')).toEqual([]);
    expect(screen.getByTestId('scheme-title')).toBeEmptyDOMElement();
    expect(screen.getByTestId('stage')).toBeEmptyDOMElement();
  });

  it('starts on the first entry and switches on a click, remounting the view', () => {
    const data = fakeDataSource();
    const registry = createSchemeRegistry([
      { id: 'a', name: 'Первая', scheme: scheme('a', 'Схема А', 960, 560) },
      { id: 'b', name: 'Вторая', scheme: scheme('b', 'Схема Б', 1280, 1280) },
    ]);
    render(<AppShell registry={registry} dataSource={data.source} />);

    expect(screen.getByTestId('scheme-a')).toHaveAttribute('aria-current', 'true');
    expect(screen.getByTestId('scheme-b')).toHaveAttribute('aria-current', 'false');
    expect(screen.getByTestId('scheme-title')).toHaveTextContent('Схема А');
    expect(screen.getByTestId('runtime')).toHaveStyle({ width: '960px', height: '560px' });
    expect(data.subscribers.size).toBe(1);

    fireEvent.click(screen.getByTestId('scheme-b'));
    expect(screen.getByTestId('scheme-b')).toHaveAttribute('aria-current', 'true');
    expect(screen.getByTestId('scheme-title')).toHaveTextContent('Схема Б');
    expect(screen.getByTestId('runtime')).toHaveStyle({ width: '1280px', height: '1280px' });
    expect(screen.getByTestId('runtime').querySelector('svg')).toHaveAttribute(
      'viewBox',
      '0 0 1280 1280',
    );
    // The old view's binder is gone; only the new one listens.
    expect(data.subscribers.size).toBe(1);
    expect(document.querySelector('[data-element-id="a-lamp"]')).toBeNull();
    data.push([running]);
    expect(document.querySelector('[data-element-id="b-lamp"]')).toHaveAttribute('fill', '#3fb54a');
  });

  it('offers one button per entry when two share an id, showing the later scheme', () => {
    const error = vi.spyOn(console, 'error').mockImplementation(() => {});
    const registry = createSchemeRegistry([
      { id: 'x', name: 'Первая', scheme: scheme('x', 'Ранняя') },
      { id: 'y', name: 'Вторая', scheme: scheme('y', 'Другая') },
      { id: 'x', name: 'Третья', scheme: scheme('x', 'Поздняя') },
    ]);
    render(<AppShell registry={registry} dataSource={fakeDataSource().source} />);
    fireEvent.click(screen.getByText('Вторая'));
    fireEvent.click(screen.getByText('Третья'));
    const warnings = error.mock.calls.slice();
    error.mockRestore();

    expect(screen.getAllByRole('button').map((b) => b.textContent)).toEqual([
      'Первая',
      'Вторая',
      'Третья',
    ]);
    expect(screen.getAllByRole('button').map((b) => b.getAttribute('aria-current'))).toEqual([
      'true',
      'false',
      'true',
    ]);
    expect(screen.getByTestId('scheme-title')).toHaveTextContent('Поздняя');
    // React reports children that share a key, and may then drop or repeat them.
    expect(warnings).toEqual([]);
  });

  it('binds live values into the drawn nodes and stops the binder on unmount', () => {
    const data = fakeDataSource();
    const registry = createSchemeRegistry([{ id: 'a', name: 'A', scheme: scheme('a', 'A') }]);
    const { unmount } = render(<AppShell registry={registry} dataSource={data.source} />);
    const lamp = document.querySelector('[data-element-id="a-lamp"]');
    expect(lamp).toHaveAttribute('visibility', 'visible');
    data.push([running]);
    expect(lamp).toHaveAttribute('fill', '#3fb54a');
    unmount();
    expect(data.subscribers.size).toBe(0);
  });
});

describe('createSchemeRegistry', () => {
  it('lists every entry in order and gets the later of two equal ids', () => {
    const first = scheme('x', 'first');
    const second = scheme('x', 'second');
    const registry = createSchemeRegistry([
      { id: 'x', name: '1', scheme: first },
      { id: 'x', name: '2', scheme: second },
    ]);
    expect(registry.list().map((e) => e.name)).toEqual(['1', '2']);
    expect(registry.list()).not.toBe(registry.list());
    expect(registry.get('x')).toBe(second);
    expect(registry.get('y')).toBeUndefined();
  });
});
