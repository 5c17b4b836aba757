// The trends view: up to eight pens from the catalogue over a chosen range,
// following live until the operator zooms or pans, with a readout at the
// cursor and the shown range exported as CSV.
import { useEffect, useMemo, useReducer, useRef, useState, type KeyboardEvent } from 'react';
import type { DataSource, PointInfo } from '../data';
import { sampleAt } from './chartData';
import { csvFileName, downloadText, trendCsv } from './csv';
import { HistoryNotice } from './Faceplate';
import { formatTime, formatValue, STATUS_LABELS } from './format';
import { RAW_SAMPLES, type HistoryClient } from './history';
import { addPen, MAX_PENS, removePen } from './pens';
import {
  DEFAULT_RANGE,
  followReducer,
  RANGE_PRESETS,
  startFollow,
  type FollowEvent,
  type FollowState,
  type TrendRange,
} from './range';
import type { TrendPen, TrendSettings, TrendSettingsStore } from './settings';
import { shownWindow, TrendChart, type ChartPen } from './TrendChart';
import { useCatalogue, useTrendFeed } from './useTrendFeed';

export interface TrendsViewProps {
  dataSource: DataSource;
  history: HistoryClient;
  settings: TrendSettingsStore;
  /** A point to show among the pens once the settings are loaded. */
  addPoint?: string;
  now?: () => number;
}

/** Matches of the search shown at once. */
const MAX_MATCHES = 10;
export const PENS_FULL_TEXT = `Не более ${MAX_PENS} точек на графике`;

interface ViewState {
  pens: readonly TrendPen[];
  follow: FollowState;
}

type ViewAction =
  | { type: 'loaded'; settings: TrendSettings; now: number }
  | { type: 'add'; id: string }
  | { type: 'remove'; id: string }
  | { type: 'follow'; event: FollowEvent };

function viewReducer(state: ViewState | null, action: ViewAction): ViewState | null {
  if (action.type === 'loaded') {
    return { pens: action.settings.pens, follow: startFollow(action.settings.range, action.now) };
  }
  if (!state) return state;
  switch (action.type) {
    case 'add': {
      const pens = addPen(state.pens, action.id);
      return pens === state.pens ? state : { ...state, pens };
    }
    case 'remove': {
      const pens = removePen(state.pens, action.id);
      return pens === state.pens ? state : { ...state, pens };
    }
    case 'follow': {
      const follow = followReducer(state.follow, action.event);
      return follow === state.follow ? state : { ...state, follow };
    }
    default: {
      const never: never = action;
      return never;
    }
  }
}

function matchesOf(catalogue: readonly PointInfo[], query: string, pens: readonly TrendPen[]) {
  const text = query.trim().toLowerCase();
  if (text === '') return [];
  return catalogue
    .filter((point) => !pens.some((pen) => pen.id === point.id))
    .filter(
      (point) =>
        point.id.toLowerCase().includes(text) ||
        (point.description ?? '').toLowerCase().includes(text),
    )
    .slice(0, MAX_MATCHES);
}

function two(n: number): string {
  return String(n).padStart(2, '0');
}

/** The value of a "datetime-local" field for a time, in local time. */
function localField(t: number): string {
  const d = new Date(t);
  return `${d.getFullYear()}-${two(d.getMonth() + 1)}-${two(d.getDate())}T${two(d.getHours())}:${two(d.getMinutes())}`;
}

export function TrendsView({
  dataSource,
  history,
  settings,
  addPoint,
  now = Date.now,
}: TrendsViewProps) {
  const [state, dispatch] = useReducer(viewReducer, null);
  const catalogue = useCatalogue(dataSource);
  const feed = useTrendFeed(dataSource, history);
  const [query, setQuery] = useState('');
  const [cursor, setCursor] = useState<number | null>(null);
  const [customFrom, setCustomFrom] = useState('');
  const [customTo, setCustomTo] = useState('');
  const nowRef = useRef(now);
  nowRef.current = now;

  useEffect(() => {
    let live = true;
    settings.load().then(
      (loaded) => {
        if (!live) return;
        let next = loaded ?? { pens: [], range: DEFAULT_RANGE };
        if (addPoint !== undefined) next = { ...next, pens: addPen(next.pens, addPoint) };
        dispatch({ type: 'loaded', settings: next, now: nowRef.current() });
        if (next !== loaded) settings.save(next);
      },
      () =>
        live &&
        dispatch({
          type: 'loaded',
          settings: { pens: [], range: DEFAULT_RANGE },
          now: nowRef.current(),
        }),
    );
    return () => {
      live = false;
    };
  }, [settings, addPoint]);

  // What survives a restart: the pens and the chosen range, not a zoom.
  const pens = state?.pens;
  const range = state?.follow.range;
  const saved = useRef<{ pens: unknown; range: unknown }>();
  useEffect(() => {
    if (!pens || !range) return;
    if (saved.current === undefined) {
      saved.current = { pens, range };
      return;
    }
    if (saved.current.pens === pens && saved.current.range === range) return;
    saved.current = { pens, range };
    settings.save({ pens, range });
  }, [settings, pens, range]);

  useEffect(() => {
    if (!state) return;
    const window = shownWindow(state.follow, nowRef.current());
    setCustomFrom(localField(window.from));
    setCustomTo(localField(window.to));
    // Only when the chosen range changes, not on each zoom.
    // eslint-disable-next-line react-hooks/exhaustive-deps
  }, [range]);

  const chartPens = useMemo(
    (): ChartPen[] =>
      (pens ?? []).map((pen) => ({
        ...pen,
        kind: catalogue.find((point) => point.id === pen.id)?.kind ?? 'analog',
      })),
    [pens, catalogue],
  );

  if (!state || !feed) return <section className="trends" aria-label="Тренды" aria-busy="true" />;

  const full = state.pens.length >= MAX_PENS;
  const matches = full ? [] : matchesOf(catalogue, query, state.pens);
  const add = (id: string) => {
    dispatch({ type: 'add', id });
    setQuery('');
  };
  const onSearchKey = (event: KeyboardEvent<HTMLInputElement>) => {
    if (event.key === 'Enter' && matches.length > 0) add(matches[0].id);
    if (event.key === 'Escape') setQuery('');
  };
  const follow = (event: FollowEvent) => dispatch({ type: 'follow', event });
  const chooseRange = (next: TrendRange) => follow({ type: 'range', range: next, now: now() });
  const customFromTime = new Date(customFrom).getTime();
  const customToTime = new Date(customTo).getTime();
  const customValid =
    Number.isFinite(customFromTime) &&
    Number.isFinite(customToTime) &&
    customFromTime < customToTime;

  const exportCsv = async () => {
    const window = shownWindow(state.follow, now());
    const ids = state.pens.map((pen) => pen.id);
    // The raw samples from the host; a page without one has only what it saw live.
    const answer = history.available
      ? await history.getHistory(ids, window.from, window.to, RAW_SAMPLES)
      : undefined;
    const text = trendCsv(
      ids.map((id) => ({ id, samples: answer ? (answer.points[id] ?? []) : feed.samples(id) })),
      window.from,
      window.to,
    );
    downloadText(text, csvFileName(window.from, window.to));
  };

  const infoOf = (id: string) => catalogue.find((point) => point.id === id);

  return (
    <section className="trends" aria-label="Тренды">
      {!history.available && <HistoryNotice />}
      <div className="trends__bar">
        <div className="trends__ranges" role="group" aria-label="Диапазон">
          {RANGE_PRESETS.map((entry) => (
            <button
              key={entry.preset}
              type="button"
              className="orvo-btn orvo-btn--sm"
              aria-pressed={
                state.follow.range.kind === 'preset' && state.follow.range.preset === entry.preset
              }
              onClick={() => chooseRange({ kind: 'preset', preset: entry.preset })}
            >
              {entry.label}
            </button>
          ))}
        </div>
        <label className="trends__field">
          С
          <input
            type="datetime-local"
            className="orvo-input"
            value={customFrom}
            onChange={(event) => setCustomFrom(event.target.value)}
          />
        </label>
        <label className="trends__field">
          по
          <input
            type="datetime-local"
            className="orvo-input"
            value={customTo}
            onChange={(event) => setCustomTo(event.target.value)}
          />
        </label>
        <button
          type="button"
          className="orvo-btn orvo-btn--sm"
          disabled={!customValid}
          aria-pressed={state.follow.range.kind === 'custom'}
          onClick={() => chooseRange({ kind: 'custom', from: customFromTime, to: customToTime })}
        >
          Показать период
        </button>
        <button
          type="button"
          className="orvo-btn orvo-btn--sm"
          aria-pressed={state.follow.follow}
          data-testid="trend-follow"
          title="Правый край — текущее время; двойной щелчок по графику возвращает диапазон"
          onClick={() => follow({ type: 'reset', now: now() })}
        >
          В реальном времени
        </button>
        <button
          type="button"
          className="orvo-btn orvo-btn--sm"
          disabled={state.pens.length === 0}
          onClick={() => void exportCsv()}
        >
          Экспорт CSV
        </button>
      </div>

      <div className="trends__pens">
        <div className="trends__search">
          <input
            type="search"
            className="orvo-input"
            aria-label="Добавить точку"
            placeholder="Добавить точку"
            disabled={full}
            value={query}
            onChange={(event) => setQuery(event.target.value)}
            onKeyDown={onSearchKey}
          />
          {matches.length > 0 && (
            <ul className="trends__matches" aria-label="Найденные точки">
              {matches.map((point) => (
                <li key={point.id}>
                  <button type="button" className="trends__match" onClick={() => add(point.id)}>
                    <strong>{point.id}</strong>
                    {point.description ? ` — ${point.description}` : ''}
                  </button>
                </li>
              ))}
            </ul>
          )}
          {full && <div className="trends__hint">{PENS_FULL_TEXT}</div>}
        </div>
        <ul className="trends__pen-list" aria-label="Перья">
          {state.pens.map((pen) => {
            const info = infoOf(pen.id);
            return (
              <li key={pen.id} className="trends__pen" data-pen={pen.id}>
                <span className="trends__swatch" style={{ background: pen.color }} />
                <span className="trends__pen-id">{pen.id}</span>
                {info?.description && <span className="trends__pen-text">{info.description}</span>}
                {info?.unit && <span className="trends__pen-text">{info.unit}</span>}
                <button
                  type="button"
                  className="orvo-btn orvo-btn--sm"
                  aria-label={`Убрать ${pen.id}`}
                  title={`Убрать ${pen.id}`}
                  onClick={() => dispatch({ type: 'remove', id: pen.id })}
                >
                  ×
                </button>
              </li>
            );
          })}
        </ul>
      </div>

      <TrendChart
        feed={feed}
        pens={chartPens}
        state={state.follow}
        height={360}
        now={now}
        onCursor={setCursor}
        onZoom={(from, to) => follow({ type: 'zoom', from, to })}
        onPan={(by) => follow({ type: 'pan', by })}
        onReset={() => follow({ type: 'reset', now: now() })}
      />

      <div className="trends__readout" data-testid="trend-readout" aria-live="off">
        {cursor === null ? (
          <span className="trends__hint">Наведите курсор на график, чтобы прочитать значения</span>
        ) : (
          <>
            <div className="trends__readout-time" data-testid="trend-cursor-time">
              {formatTime(cursor)}
            </div>
            {state.pens.map((pen) => {
              const sample = sampleAt(feed.samples(pen.id), cursor);
              const unit = infoOf(pen.id)?.unit;
              return (
                <div
                  key={pen.id}
                  className="trends__readout-row"
                  data-pen={pen.id}
                  data-status={sample?.s}
                >
                  <span className="trends__swatch" style={{ background: pen.color }} />
                  <span className="trends__pen-id">{pen.id}</span>
                  <span>
                    {formatValue(sample?.v)}
                    {sample?.v !== null && sample !== undefined && unit ? ` ${unit}` : ''}
                  </span>
                  <span className="trends__readout-status">
                    {sample ? STATUS_LABELS[sample.s] : ''}
                  </span>
                </div>
              );
            })}
          </>
        )}
      </div>
    </section>
  );
}
