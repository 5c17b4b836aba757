import { useEffect, useState, useSyncExternalStore } from 'react';
import type { DataSource } from '../data';
import type { AlarmClient, AlarmSnapshot } from '../station';

/** The station's alarms as they are now; the view draws again on each change. */
export function useAlarmSnapshot(alarms: AlarmClient): AlarmSnapshot {
  return useSyncExternalStore(alarms.subscribe, alarms.current);
}

/** The units of the catalogue's points, by point id; empty until it is read. */
export function useUnits(dataSource: DataSource | undefined): ReadonlyMap<string, string> {
  const [units, setUnits] = useState<ReadonlyMap<string, string>>(() => new Map());
  useEffect(() => {
    if (!dataSource) return;
    let live = true;
    dataSource.listPoints().then(
      (points) => {
        if (!live) return;
        const next = new Map<string, string>();
        for (const point of points) if (point.unit) next.set(point.id, point.unit);
        setUnits(next);
      },
      () => undefined,
    );
    return () => {
      live = false;
    };
  }, [dataSource]);
  return units;
}
