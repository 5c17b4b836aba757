import { useEffect, useState } from 'react';
import type { DataSource, PointInfo } from '../data';
import { createTrendFeed, type TrendFeed } from './feed';
import type { HistoryClient } from './history';

/** A feed for the component's life (made in an effect, so none during the first render). */
export function useTrendFeed(
  dataSource: DataSource,
  history: HistoryClient,
): TrendFeed | undefined {
  const [feed, setFeed] = useState<TrendFeed>();
  useEffect(() => {
    const made = createTrendFeed({ dataSource, history });
    setFeed(made);
    return () => {
      made.dispose();
      setFeed(undefined);
    };
  }, [dataSource, history]);
  return feed;
}

const NO_POINTS: readonly PointInfo[] = [];

/** The data source's point catalogue, empty until it arrives. */
export function useCatalogue(dataSource: DataSource): readonly PointInfo[] {
  const [points, setPoints] = useState<readonly PointInfo[]>(NO_POINTS);
  useEffect(() => {
    let live = true;
    dataSource.listPoints().then(
      (list) => live && setPoints(list),
      () => undefined,
    );
    return () => {
      live = false;
    };
  }, [dataSource]);
  return points;
}
