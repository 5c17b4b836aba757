// The inspector's view of process data: the point catalogue and the live
// value of one bound point. Both come from the data source of the editor
// root; answers that arrive for a source or point no longer followed are
// dropped, so a slow answer never overwrites a newer one.

import { createContext, useContext, useEffect, useState } from 'react';
import type { DataSource, PointInfo, PointValue } from '../../data';

export const DataSourceContext = createContext<DataSource | null>(null);

const NO_POINTS: readonly PointInfo[] = [];

/** The catalogue of the context's data source; empty until it answers, and when it fails. */
export function usePointCatalog(): readonly PointInfo[] {
  const source = useContext(DataSourceContext);
  const [answer, setAnswer] = useState<{ source: DataSource; points: readonly PointInfo[] }>();

  useEffect(() => {
    // The answer kept from an earlier source must not come back with it.
    setAnswer(undefined);
    if (source === null || typeof source.listPoints !== 'function') return undefined;
    let current = true;
    const keep = (points: unknown) => {
      if (current) setAnswer({ source, points: Array.isArray(points) ? points : NO_POINTS });
    };
    // The tag list works from the scheme's own ids without a catalogue, so a
    // failure is not worth a message.
    const drop = () => keep(NO_POINTS);
    try {
      Promise.resolve(source.listPoints()).then(keep, drop);
    } catch {
      drop();
    }
    return () => {
      current = false;
    };
  }, [source]);

  return answer !== undefined && answer.source === source ? answer.points : NO_POINTS;
}

interface LiveAnswer {
  source: DataSource;
  pointId: string;
  value: PointValue;
}

function entryFor(values: unknown, pointId: string): PointValue | undefined {
  if (!Array.isArray(values)) return undefined;
  return (values as PointValue[]).find(
    (entry) => typeof entry === 'object' && entry !== null && entry.id === pointId,
  );
}

/** The latest value of one point, or undefined; cleared at once when the point or source changes. */
export function useLivePoint(pointId: string | undefined): PointValue | undefined {
  const source = useContext(DataSourceContext);
  const [answer, setAnswer] = useState<LiveAnswer>();

  useEffect(() => {
    // A value kept from an earlier visit to this point is stale.
    setAnswer(undefined);
    if (source === null || pointId === undefined || pointId === '') return undefined;
    let current = true;
    const take = (values: unknown) => {
      const value = entryFor(values, pointId);
      if (current && value !== undefined) setAnswer({ source, pointId, value });
    };
    let unsubscribe: (() => void) | undefined;
    try {
      Promise.resolve(source.read([pointId])).then(take, () => undefined);
    } catch {
      // A point that cannot be read shows no value.
    }
    try {
      unsubscribe = source.subscribe([pointId], take);
    } catch {
      unsubscribe = undefined;
    }
    return () => {
      current = false;
      if (typeof unsubscribe === 'function') unsubscribe();
    };
  }, [source, pointId]);

  return answer !== undefined && answer.source === source && answer.pointId === pointId
    ? answer.value
    : undefined;
}
