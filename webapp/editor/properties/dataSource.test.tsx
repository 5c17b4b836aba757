import { act, renderHook } from '@testing-library/react';
import type { ReactNode } from 'react';
import { describe, expect, it, vi } from 'vitest';
import type { DataSource } from '../../data';
import { DataSourceContext, useLivePoint, usePointCatalog } from './dataSource';
import { fakeSource, pointValue } from './testSource';

function withSource(source: DataSource | null) {
  return function Wrapper({ children }: { children: ReactNode }) {
    return <DataSourceContext.Provider value={source}>{children}</DataSourceContext.Provider>;
  };
}

describe('useLivePoint', () => {
  it('follows the bound point and drops a read answer that arrives after the point changed', async () => {
    const source = fakeSource();
    const { result, rerender } = renderHook(({ id }) => useLivePoint(id), {
      initialProps: { id: 'A' as string | undefined },
      wrapper: withSource(source),
    });
    expect(result.current).toBeUndefined();
    expect(source.reads[0].ids).toEqual(['A']);
    expect(source.subscriptions[0].ids).toEqual(['A']);

    act(() => source.push([pointValue('B', 9), pointValue('A', 1)]));
    expect(result.current).toEqual(pointValue('A', 1));

    rerender({ id: 'B' });
    // Cleared at once, and the first subscription is gone.
    expect(result.current).toBeUndefined();
    expect(source.subscriptions[0].active).toBe(false);

    await act(async () => source.reads[1].answer.resolve([pointValue('B', 2.125, 'bad')]));
    expect(result.current).toEqual(pointValue('B', 2.125, 'bad'));

    // An update after the read answer wins; a batch without B leaves it alone.
    act(() => source.push([pointValue('B', 3)]));
    act(() => source.push([pointValue('A', 7)]));
    expect(result.current).toEqual(pointValue('B', 3));

    // Back to A: nothing kept from the earlier visit.
    rerender({ id: 'A' });
    expect(result.current).toBeUndefined();
    act(() => source.push([pointValue('A', 8)]));
    // An answer of the first visit to A is older than this update.
    await act(async () => source.reads[0].answer.resolve([pointValue('A', 5)]));
    expect(result.current).toEqual(pointValue('A', 8));
  });

  it('shows the later of read answer and update', async () => {
    const source = fakeSource();
    const { result } = renderHook(() => useLivePoint('A'), { wrapper: withSource(source) });
    act(() => source.push([pointValue('A', 2)]));
    await act(async () => source.reads[0].answer.resolve([pointValue('A', 1)]));
    expect(result.current?.value).toBe(1);
  });

  it('unsubscribes on unmount and ignores an answer still on its way', async () => {
    const source = fakeSource();
    const errors = vi.spyOn(console, 'error').mockImplementation(() => undefined);
    const { result, unmount } = renderHook(() => useLivePoint('A'), {
      wrapper: withSource(source),
    });
    unmount();
    expect(source.subscriptions[0].active).toBe(false);
    await act(async () => source.reads[0].answer.resolve([pointValue('A', 1)]));
    expect(result.current).toBeUndefined();
    expect(errors).not.toHaveBeenCalled();
    errors.mockRestore();
  });

  it('asks nothing without a point or a data source', () => {
    const source = fakeSource();
    renderHook(() => useLivePoint(undefined), { wrapper: withSource(source) });
    renderHook(() => useLivePoint(''), { wrapper: withSource(source) });
    expect(source.reads).toEqual([]);
    expect(source.subscriptions).toEqual([]);
    const { result } = renderHook(() => useLivePoint('A'), { wrapper: withSource(null) });
    expect(result.current).toBeUndefined();
  });

  it('survives a source whose read rejects and whose answer lacks the point', async () => {
    const source = fakeSource();
    const { result } = renderHook(() => useLivePoint('A'), { wrapper: withSource(source) });
    await act(async () => source.reads[0].answer.reject(new Error('gone')));
    expect(result.current).toBeUndefined();
    act(() => source.push([pointValue('A', true)]));
    expect(result.current?.value).toBe(true);
  });
});

describe('usePointCatalog', () => {
  it('is empty until the catalogue answers, and empty again when a new source fails', async () => {
    const first = fakeSource();
    const second = fakeSource();
    const errors = vi.spyOn(console, 'error').mockImplementation(() => undefined);
    let current: DataSource = first;
    const { result, rerender } = renderHook(() => usePointCatalog(), {
      wrapper: ({ children }: { children: ReactNode }) => (
        <DataSourceContext.Provider value={current}>{children}</DataSourceContext.Provider>
      ),
    });
    expect(result.current).toEqual([]);
    await act(async () => first.catalogue[0].resolve([{ id: 'LT-101', kind: 'analog' }]));
    expect(result.current).toEqual([{ id: 'LT-101', kind: 'analog' }]);

    current = second;
    rerender();
    expect(result.current).toEqual([]);
    await act(async () => second.catalogue[0].reject(new Error('no catalogue')));
    expect(result.current).toEqual([]);
    expect(errors).not.toHaveBeenCalled();
    errors.mockRestore();
  });

  it('drops a catalogue that arrives after the source changed', async () => {
    const first = fakeSource();
    const second = fakeSource();
    let current: DataSource = first;
    const { result, rerender } = renderHook(() => usePointCatalog(), {
      wrapper: ({ children }: { children: ReactNode }) => (
        <DataSourceContext.Provider value={current}>{children}</DataSourceContext.Provider>
      ),
    });
    current = second;
    rerender();
    await act(async () => first.catalogue[0].resolve([{ id: 'OLD-1', kind: 'analog' }]));
    expect(result.current).toEqual([]);
    await act(async () => second.catalogue[0].resolve([{ id: 'NEW-1', kind: 'analog' }]));
    expect(result.current).toEqual([{ id: 'NEW-1', kind: 'analog' }]);
  });

  it('is empty for a source without listPoints and for one that throws', () => {
    const bare = { ...fakeSource(), listPoints: undefined } as unknown as DataSource;
    const throwing = {
      ...fakeSource(),
      listPoints: () => {
        throw new Error('boom');
      },
    };
    for (const source of [bare, throwing, null]) {
      const { result } = renderHook(() => usePointCatalog(), { wrapper: withSource(source) });
      expect(result.current).toEqual([]);
    }
  });
});
