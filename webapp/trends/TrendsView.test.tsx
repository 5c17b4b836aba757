import { act, fireEvent, render, screen, within } from '@testing-library/react';
import { vi } from 'vitest';
import type { DataSource, PointInfo } from '../data';
import type { HistoryClient } from './history';
import type { PlotCallbacks } from './plot';
import { createMemoryTrendSettingsStore, type TrendSettings } from './settings';
import { TrendsView } from './TrendsView';

// jsdom draws no canvas: the chart stands in as a record of what it was given.
const plots = vi.hoisted(
  () =>
    [] as {
      pens: { color: string }[];
      callbacks: PlotCallbacks;
      destroyed: boolean;
      drawn: unknown[][];
    }[],
);
vi.mock('./plot', () => ({
  createPlot: (
    _target: HTMLElement,
    pens: { color: string }[],
    _size: unknown,
    callbacks: PlotCallbacks,
  ) => {
    const plot = { pens, callbacks, destroyed: false, drawn: [] as unknown[][] };
    plots.push(plot);
    return {
      update: (data: unknown[][]) => {
        plot.drawn.push(data);
        callbacks.onDraw?.();
      },
      resize: () => {},
      destroy: () => (plot.destroyed = true),
    };
  },
}));
const livePlot = () => plots.filter((plot) => !plot.destroyed).at(-1);

const NOW = Date.UTC(2024, 4, 1, 12, 0, 0);
const catalogue: PointInfo[] = [
  { id: 'LT-101', kind: 'analog', unit: '%', description: 'уровень в Б-1' },
  { id: 'LT-102', kind: 'analog', unit: '%', description: 'уровень в Б-2' },
  { id: 'NS-101', kind: 'discrete', description: 'насос Н-1' },
  ...Array.from({ length: 10 }, (_, k): PointInfo => ({ id: `p${k + 1}`, kind: 'analog' })),
];

const source: DataSource = {
  subscribe: () => () => {},
  read: () => Promise.resolve([]),
  listPoints: () => Promise.resolve(catalogue),
  writeCommand: () => Promise.resolve(),
  getHistory: () => Promise.resolve([]),
  subscribeEvents: () => () => {},
};

function setup(saved: TrendSettings | null = null, available = true) {
  const getHistory = vi.fn<HistoryClient['getHistory']>((ids) =>
    Promise.resolve({
      points: Object.fromEntries(
        ids.map((id) => [
          id,
          [
            { t: NOW - 10 * 60_000, v: id === 'NS-101' ? true : 40, s: 'good' as const },
            { t: NOW - 5 * 60_000, v: id === 'NS-101' ? false : 45.5, s: 'uncertain' as const },
          ],
        ]),
      ),
      downsampled: {},
    }),
  );
  const settings = createMemoryTrendSettingsStore(saved);
  const save = vi.spyOn(settings, 'save');
  render(
    <TrendsView
      dataSource={source}
      history={{ available, getHistory }}
      settings={settings}
      now={() => NOW}
    />,
  );
  return { getHistory, settings, save };
}

const search = () => screen.getByRole('searchbox', { name: 'Добавить точку' });
const penIds = () =>
  within(screen.getByRole('list', { name: 'Перья' }))
    .queryAllByRole('listitem')
    .map((item) => item.getAttribute('data-pen'));

async function addByEnter(text: string) {
  fireEvent.change(search(), { target: { value: text } });
  await screen.findByRole('list', { name: 'Найденные точки' });
  fireEvent.keyDown(search(), { key: 'Enter' });
}

describe('TrendsView', () => {
  beforeEach(() => {
    plots.length = 0;
  });

  it('adds pens through the search, by id or description, each with its own colour', async () => {
    const { save } = setup();
    await screen.findByRole('searchbox', { name: 'Добавить точку' });
    await addByEnter('lt-10');
    fireEvent.change(search(), { target: { value: 'насос' } });
    fireEvent.click(await screen.findByRole('button', { name: /NS-101/ }));
    expect(penIds()).toEqual(['LT-101', 'NS-101']);
    expect(search()).toHaveValue('');
    // A pen shown is not offered again.
    fireEvent.change(search(), { target: { value: 'LT' } });
    const offered = within(screen.getByRole('list', { name: 'Найденные точки' }));
    expect(offered.getAllByRole('button').map((b) => b.textContent)).toEqual([
      'LT-102 — уровень в Б-2',
    ]);
    const colours = livePlot()?.pens.map((pen) => pen.color);
    expect(new Set(colours).size).toBe(2);
    expect(save).toHaveBeenLastCalledWith({
      pens: [expect.objectContaining({ id: 'LT-101' }), expect.objectContaining({ id: 'NS-101' })],
      range: { kind: 'preset', preset: '1h' },
    });
  });

  it('takes at most eight pens and gives back the room when one is removed', async () => {
    const eight = catalogue.slice(0, 8).map((point, k) => ({ id: point.id, color: `#00000${k}` }));
    setup({ pens: eight, range: { kind: 'preset', preset: '1h' } });
    await screen.findByRole('list', { name: 'Перья' });
    expect(penIds()).toHaveLength(8);
    expect(search()).toBeDisabled();
    expect(screen.getByText('Не более 8 точек на графике')).toBeInTheDocument();

    fireEvent.click(screen.getByRole('button', { name: 'Убрать LT-102' }));
    expect(penIds()).not.toContain('LT-102');
    expect(search()).toBeEnabled();
    await addByEnter('p9');
    expect(penIds()).toHaveLength(8);
  });

  it('shows the chosen range, saves it and asks the history for its window', async () => {
    const { getHistory, save } = setup({
      pens: [{ id: 'LT-101', color: '#1c64d1' }],
      range: { kind: 'preset', preset: '1h' },
    });
    const ranges = within(await screen.findByRole('group', { name: 'Диапазон' }));
    expect(ranges.getByRole('button', { name: '1 ч' })).toHaveAttribute('aria-pressed', 'true');
    await vi.waitFor(() => expect(getHistory).toHaveBeenCalled());
    expect(getHistory.mock.lastCall?.slice(0, 3)).toEqual([['LT-101'], NOW - 3_600_000, NOW]);

    fireEvent.click(ranges.getByRole('button', { name: '8 ч' }));
    expect(ranges.getByRole('button', { name: '8 ч' })).toHaveAttribute('aria-pressed', 'true');
    expect(ranges.getByRole('button', { name: '1 ч' })).toHaveAttribute('aria-pressed', 'false');
    await vi.waitFor(() =>
      expect(getHistory.mock.lastCall?.slice(1, 3)).toEqual([NOW - 8 * 3_600_000, NOW]),
    );
    expect(save).toHaveBeenLastCalledWith(
      expect.objectContaining({ range: { kind: 'preset', preset: '8h' } }),
    );
  });

  it('draws a history answer at once, not at the pace of live values', async () => {
    setup({ pens: [{ id: 'LT-101', color: '#1c64d1' }], range: { kind: 'preset', preset: '1h' } });
    const ranges = within(await screen.findByRole('group', { name: 'Диапазон' }));
    await vi.waitFor(() => expect(livePlot()?.drawn.at(-1)?.[0]).toContain(NOW - 10 * 60_000), {
      timeout: 3000,
    });
    // The change of range draws at once; its answer must follow within frames,
    // not a second later as live values would.
    const before = livePlot()!.drawn.length;
    fireEvent.click(ranges.getByRole('button', { name: '8 ч' }));
    await vi.waitFor(() => expect(livePlot()!.drawn.length).toBeGreaterThan(before + 1), {
      timeout: 700,
    });
    expect(livePlot()!.drawn.at(-1)?.[0]).toContain(NOW - 5 * 60_000);
  });

  it('stops following on a zoom and follows again on a double click', async () => {
    setup({ pens: [{ id: 'LT-101', color: '#1c64d1' }], range: { kind: 'preset', preset: '1h' } });
    const follow = await screen.findByTestId('trend-follow');
    await vi.waitFor(() => expect(livePlot()).toBeDefined());
    expect(follow).toHaveAttribute('aria-pressed', 'true');
    act(() => livePlot()?.callbacks.onZoom?.(NOW - 30 * 60_000, NOW - 20 * 60_000));
    expect(follow).toHaveAttribute('aria-pressed', 'false');
    act(() => livePlot()?.callbacks.onReset?.());
    expect(follow).toHaveAttribute('aria-pressed', 'true');
    act(() => livePlot()?.callbacks.onPan?.(-60_000));
    expect(follow).toHaveAttribute('aria-pressed', 'false');
  });

  it('reads every pen at the cursor, doubtful values marked', async () => {
    const { getHistory } = setup({
      pens: [
        { id: 'LT-101', color: '#1c64d1' },
        { id: 'NS-101', color: '#d1242f' },
      ],
      range: { kind: 'preset', preset: '1h' },
    });
    await vi.waitFor(() => expect(getHistory).toHaveBeenCalled());
    const readout = screen.getByTestId('trend-readout');
    act(() => livePlot()?.callbacks.onCursor?.(NOW - 7 * 60_000));
    const row = (id: string) => readout.querySelector(`[data-pen="${id}"]`) as HTMLElement;
    await vi.waitFor(() => expect(row('LT-101')).toHaveTextContent('40 %'));
    expect(row('LT-101')).toHaveTextContent('достоверно');
    expect(row('NS-101')).toHaveTextContent('вкл');
    act(() => livePlot()?.callbacks.onCursor?.(NOW - 60_000));
    expect(row('LT-101')).toHaveTextContent('45.5 %');
    expect(row('LT-101')).toHaveAttribute('data-status', 'uncertain');
    expect(row('NS-101')).toHaveTextContent('выкл');
    act(() => livePlot()?.callbacks.onCursor?.(null));
    expect(row('LT-101')).toBeNull();
  });

  it('exports the shown range from the raw samples as CSV', async () => {
    const created: Blob[] = [];
    const createObjectURL = vi.fn((blob: Blob) => (created.push(blob), 'blob:trend'));
    Object.assign(URL, { createObjectURL, revokeObjectURL: vi.fn() });
    const click = vi.spyOn(HTMLAnchorElement.prototype, 'click').mockImplementation(() => {});
    const { getHistory } = setup({
      pens: [{ id: 'LT-101', color: '#1c64d1' }],
      range: { kind: 'preset', preset: '15m' },
    });
    fireEvent.click(await screen.findByRole('button', { name: 'Экспорт CSV' }));
    await vi.waitFor(() => expect(created).toHaveLength(1));
    expect(getHistory).toHaveBeenLastCalledWith(['LT-101'], NOW - 15 * 60_000, NOW, 0);
    expect(click).toHaveBeenCalled();
    const text = await new Promise<string>((resolve) => {
      const reader = new FileReader();
      reader.onload = () => resolve(String(reader.result));
      reader.readAsText(created[0]);
    });
    expect(text.split('\r\n')).toEqual([
      'time,point,value,status',
      '2024-05-01T11:50:00.000Z,LT-101,40,good',
      '2024-05-01T11:55:00.000Z,LT-101,45.5,uncertain',
      '',
    ]);
    click.mockRestore();
  });

  it('says in place that there is no history outside the program', async () => {
    const { getHistory } = setup(null, false);
    expect(await screen.findByRole('status')).toHaveTextContent(
      'История доступна только в программе',
    );
    expect(getHistory).not.toHaveBeenCalled();
  });
});
