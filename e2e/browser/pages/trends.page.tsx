// The shell on a small scheme, with a data source that ticks every 500 ms and
// a history client that makes up a recorded sine for any range, for tests of
// the trends and the faceplate in a real browser. `window.trendsPage` lists
// the history requests and counts the view's renders.
import '../../../webapp/symbols';
import '../../../webapp/styles/index.css';
import { StrictMode } from 'react';
import { createRoot } from 'react-dom/client';
import type { DataSource, PointInfo, PointValue } from '../../../webapp/data';
import type { Scheme } from '../../../webapp/scheme';
import { AppShell, createSchemeRegistry } from '../../../webapp/shell';
import {
  createMemoryTrendSettingsStore,
  type HistoryClient,
  type HistorySample,
} from '../../../webapp/trends';

export interface TrendsPage {
  requests: { ids: string[]; from: number; to: number; maxPoints: number }[];
}

declare global {
  interface Window {
    trendsPage: TrendsPage;
  }
}

const points: PointInfo[] = [
  { id: 'LT-101', kind: 'analog', unit: '%', description: 'уровень в Б-1' },
  { id: 'NS-101', kind: 'discrete', description: 'насос Н-1' },
];

const valueAt = (id: string, t: number): number | boolean =>
  id === 'NS-101' ? Math.floor(t / 60_000) % 2 === 0 : 50 + 20 * Math.sin(t / 60_000);

function tickingSource(): DataSource {
  const subscribers = new Set<{ ids: readonly string[]; callback: (v: PointValue[]) => void }>();
  setInterval(() => {
    const t = Date.now();
    for (const { ids, callback } of subscribers) {
      callback(ids.map((id) => ({ id, value: valueAt(id, t), status: 'good', timestamp: t })));
    }
  }, 500);
  return {
    subscribe(ids, callback) {
      const entry = { ids, callback };
      subscribers.add(entry);
      return () => subscribers.delete(entry);
    },
    read: (ids) =>
      Promise.resolve(
        ids.map((id) => ({
          id,
          value: valueAt(id, Date.now()),
          status: 'good',
          timestamp: Date.now(),
        })),
      ),
    listPoints: () => Promise.resolve(points),
    writeCommand: () => Promise.resolve(),
    getHistory: () => Promise.resolve([]),
    subscribeEvents: () => () => {},
  };
}

const requests: TrendsPage['requests'] = [];
window.trendsPage = { requests };

const history: HistoryClient = {
  available: true,
  getHistory(ids, from, to, maxPoints) {
    requests.push({ ids: [...ids], from, to, maxPoints });
    const count = Math.min(maxPoints > 0 ? maxPoints : 2000, 2000);
    const step = Math.max(1, (to - from) / count);
    const answer = {
      points: {} as Record<string, HistorySample[]>,
      downsampled: {} as Record<string, boolean>,
    };
    for (const id of ids) {
      const samples: HistorySample[] = [];
      for (let t = from; t <= to; t += step) {
        const at = Math.round(t);
        // A stretch of doubtful values a third of the way in.
        const third = at > from + (to - from) / 3 && at < from + (to - from) / 2;
        samples.push({ t: at, v: valueAt(id, at), s: third ? 'uncertain' : 'good' });
      }
      answer.points[id] = samples;
      answer.downsampled[id] = maxPoints > 0;
    }
    return Promise.resolve(answer);
  },
};

const scheme: Scheme = {
  schemaVersion: 1,
  id: 'trends-test',
  name: 'Схема',
  size: { width: 600, height: 300 },
  elements: [
    {
      id: 'bound',
      type: 'rect',
      x: 20,
      y: 20,
      width: 160,
      height: 100,
      style: { fill: '#aaccee' },
      pointId: 'LT-101',
    },
    {
      id: 'plain',
      type: 'rect',
      x: 220,
      y: 20,
      width: 160,
      height: 100,
      style: { fill: '#cccccc' },
    },
  ],
};

const registry = createSchemeRegistry([{ id: 'trends-test', name: 'Схема', scheme }]);

const container = document.getElementById('root');
if (container) {
  createRoot(container).render(
    <StrictMode>
      <AppShell
        registry={registry}
        dataSource={tickingSource()}
        history={history}
        trendSettings={createMemoryTrendSettingsStore()}
      />
    </StrictMode>,
  );
}
