import { act, fireEvent, render, screen, within } from '@testing-library/react';
import { vi } from 'vitest';
import type { DataSource, PointInfo, PointValue } from '../data';
import type { Scheme } from '../scheme';
import { createMemoryTrendSettingsStore, type HistoryClient } from '../trends';
import { AppShell } from './AppShell';
import { createSchemeRegistry } from './registry';

// jsdom draws no canvas: the chart stands in as a record of what it was given.
const plots = vi.hoisted(() => [] as { pens: unknown[]; destroyed: boolean }[]);
vi.mock('../trends/plot', () => ({
  createPlot: (_target: HTMLElement, pens: unknown[]) => {
    const plot = { pens, destroyed: false };
    plots.push(plot);
    return { update: () => {}, resize: () => {}, destroy: () => (plot.destroyed = true) };
  },
}));

const catalogue: PointInfo[] = [
  { id: 'LT-101', kind: 'analog', unit: '%', description: 'уровень в Б-1' },
  { id: 'NS-101', kind: 'discrete', description: 'насос Н-1' },
];

const rect = (id: string, x: number, extra: object = {}) => ({
  id,
  type: 'rect' as const,
  x,
  y: 0,
  width: 40,
  height: 20,
  style: { fill: '#cccccc' },
  ...extra,
});

const mainScheme: Scheme = {
  schemaVersion: 1,
  id: 'main',
  name: 'Главная',
  size: { width: 300, height: 100 },
  elements: [
    rect('bound', 0, { pointId: 'LT-101' }),
    rect('plain', 50),
    rect('linked', 100, { pointId: 'NS-101', link: 'other' }),
  ],
};
const otherScheme: Scheme = { ...mainScheme, id: 'other', name: 'Другая', elements: [] };

function fakeDataSource() {
  const subscribers = new Set<(values: PointValue[]) => void>();
  const source: DataSource = {
    subscribe: (_ids, callback) => {
      subscribers.add(callback);
      return () => subscribers.delete(callback);
    },
    read: () => Promise.resolve([]),
    listPoints: () => Promise.resolve(catalogue),
    writeCommand: () => Promise.resolve(),
    getHistory: () => Promise.resolve([]),
    subscribeEvents: () => () => {},
  };
  const push = (values: PointValue[]) => act(() => subscribers.forEach((s) => s(values)));
  return { source, push };
}

function setup() {
  const data = fakeDataSource();
  const getHistory = vi.fn<HistoryClient['getHistory']>(() =>
    Promise.resolve({ points: {}, downsampled: {} }),
  );
  const history: HistoryClient = { available: true, getHistory };
  const registry = createSchemeRegistry([
    { id: 'main', name: 'Главная', scheme: mainScheme },
    { id: 'other', name: 'Другая', scheme: otherScheme },
  ]);
  render(
    <AppShell
      registry={registry}
      dataSource={data.source}
      history={history}
      trendSettings={createMemoryTrendSettingsStore()}
    />,
  );
  return { ...data, getHistory };
}

const node = (id: string) => document.querySelector(`[data-element-id="${id}"]`) as Element;
const card = () => screen.queryByRole('complementary', { name: 'Карточка точки' });

describe('the faceplate in the shell', () => {
  beforeEach(() => {
    plots.length = 0;
  });

  it('opens for a bound element with what the catalogue says, and asks for its history', async () => {
    const { getHistory } = setup();
    fireEvent.click(node('plain'));
    fireEvent.click(screen.getByTestId('stage'));
    expect(card()).toBeNull();

    fireEvent.click(node('bound'));
    const opened = card() as HTMLElement;
    expect(within(opened).getByRole('heading')).toHaveTextContent('LT-101');
    expect(await within(opened).findByText('уровень в Б-1')).toBeInTheDocument();
    expect(within(opened).getByTestId('faceplate-unit')).toHaveTextContent('%');
    // Beside the stage, not inside it.
    expect(screen.getByTestId('stage')).not.toContainElement(opened);
    await vi.waitFor(() => expect(getHistory).toHaveBeenCalled());
    const [ids, from, to, maxPoints] = getHistory.mock.calls[0];
    expect(ids).toEqual(['LT-101']);
    expect(to - from).toBe(15 * 60_000);
    expect(maxPoints).toBeGreaterThan(0);
  });

  it.each([
    ['"Закрыть"', () => fireEvent.click(screen.getByRole('button', { name: 'Закрыть' }))],
    ['Esc', () => fireEvent.keyDown(document.body, { key: 'Escape' })],
  ])('closes with %s', (_name, close) => {
    setup();
    fireEvent.click(node('bound'));
    expect(card()).not.toBeNull();
    close();
    expect(card()).toBeNull();
  });

  it('follows the point live without drawing the scheme again', async () => {
    const { push } = setup();
    fireEvent.click(node('bound'));
    await screen.findByText('уровень в Б-1');
    const drawn = node('bound');
    push([{ id: 'LT-101', value: 42.5, status: 'good', timestamp: Date.UTC(2024, 4, 1, 10) }]);
    expect(screen.getByTestId('faceplate-value')).toHaveTextContent('42.5 %');
    expect(screen.getByTestId('faceplate-status')).toHaveTextContent('достоверно');
    push([{ id: 'LT-101', value: 43, status: 'bad', timestamp: Date.UTC(2024, 4, 1, 10, 0, 1) }]);
    push([
      { id: 'NS-101', value: true, status: 'good', timestamp: Date.UTC(2024, 4, 1, 10, 0, 2) },
    ]);
    expect(screen.getByTestId('faceplate-value')).toHaveTextContent('43 %');
    expect(screen.getByTestId('faceplate-status')).toHaveTextContent('недостоверно');
    expect(node('bound')).toBe(drawn);
    expect(drawn.isConnected).toBe(true);
    // The card's trend was made once for its point.
    expect(plots.filter((plot) => !plot.destroyed)).toHaveLength(1);
  });

  it('follows the link of a linked bound element on a click and opens its card from the context menu', () => {
    setup();
    fireEvent.contextMenu(node('linked'));
    expect(within(card() as HTMLElement).getByRole('heading')).toHaveTextContent('NS-101');
    fireEvent.click(node('linked'));
    expect(screen.getByTestId('scheme-title')).toHaveTextContent('Другая');
  });

  it('opens the point in the trends view from the card', async () => {
    setup();
    fireEvent.click(node('bound'));
    fireEvent.click(screen.getByRole('button', { name: 'Открыть в трендах' }));
    expect(card()).toBeNull();
    expect(screen.getByTestId('scheme-title')).toHaveTextContent('Тренды');
    expect(screen.getByTestId('nav-trends')).toHaveAttribute('aria-current', 'true');
    const pens = await screen.findByRole('list', { name: 'Перья' });
    expect(await within(pens).findByText('LT-101')).toBeInTheDocument();
  });
});
