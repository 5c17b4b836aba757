// A chart of a few pens over the feed's samples. The window comes from the
// follow state; while following, its right edge is taken at each drawing, so
// live values reach the canvas without passing through React. Drawing is
// coalesced to one per frame when values come, and at most about once a
// second while nothing comes.
import { useEffect, useRef, useState } from 'react';
import type { PointKind } from '../data';
import { toPlotData } from './chartData';
import type { TrendFeed } from './feed';
import { createPlot, type Plot, type PlotCallbacks } from './plot';
import { rangeWindow, type FollowState, type TimeWindow } from './range';

export interface ChartPen {
  id: string;
  color: string;
  kind: PointKind;
}

export interface TrendChartProps {
  feed: TrendFeed;
  pens: readonly ChartPen[];
  state: FollowState;
  height: number;
  /** Zoom, pan and reset by mouse; off for the faceplate's trend. */
  interactive?: boolean;
  onCursor?: (t: number | null) => void;
  onZoom?: (from: number, to: number) => void;
  onPan?: (by: number) => void;
  onReset?: () => void;
  now?: () => number;
}

/** Samples asked per pixel of the chart's width. */
export const SAMPLES_PER_PIXEL = 4;
const IDLE_REDRAW_MS = 1000;
/**
 * New values are drawn no more often than one pixel's time (a line cannot
 * change faster on screen), and at the latest after this long.
 */
const MAX_REDRAW_MS = 5000;
const TRIM_EVERY_MS = 30_000;
const LOAD_DELAY_MS = 120;

/**
 * User-timing marks for the benches, one of each kept: a history answer taken
 * by the feed, and the chart's first drawing after it.
 */
export const ANSWER_MARK = 'trends-answer';
export const DRAWN_MARK = 'trends-drawn';

function mark(name: string) {
  if (typeof performance === 'undefined' || typeof performance.mark !== 'function') return;
  performance.clearMarks(name);
  performance.mark(name);
}

/** The window drawn now for a follow state. */
export function shownWindow(state: FollowState, now: number): TimeWindow {
  return state.follow ? rangeWindow(state.range, now) : state.window;
}

export function TrendChart({
  feed,
  pens,
  state,
  height,
  interactive = true,
  onCursor,
  onZoom,
  onPan,
  onReset,
  now = Date.now,
}: TrendChartProps) {
  const boxRef = useRef<HTMLDivElement>(null);
  const plotRef = useRef<Plot>();
  const stateRef = useRef(state);
  stateRef.current = state;
  const pensRef = useRef(pens);
  pensRef.current = pens;
  const callbacks = useRef<PlotCallbacks>({});
  callbacks.current = { onCursor, onZoom, onPan, onReset };
  const nowRef = useRef(now);
  nowRef.current = now;
  const feedRef = useRef(feed);
  feedRef.current = feed;
  const [width, setWidth] = useState(0);
  const lastDraw = useRef(0);
  const lastTrim = useRef(0);
  const answerTaken = useRef(false);

  const draw = useRef(() => {
    const plot = plotRef.current;
    if (!plot) return;
    const feed = feedRef.current;
    const at = nowRef.current();
    const current = stateRef.current;
    const window = shownWindow(current, at);
    if (current.follow && at - lastTrim.current > TRIM_EVERY_MS) {
      lastTrim.current = at;
      feed.trim(window.from);
    }
    const data = toPlotData(
      pensRef.current.map((pen) => feed.samples(pen.id)),
      Math.min(window.to, at),
    );
    plot.update(data, window);
    lastDraw.current = at;
  });

  // The chart's width follows its box.
  useEffect(() => {
    const box = boxRef.current;
    if (!box) return;
    setWidth(box.clientWidth || 600);
    if (typeof ResizeObserver === 'undefined') return;
    const observer = new ResizeObserver(() => setWidth(box.clientWidth || 600));
    observer.observe(box);
    return () => observer.disconnect();
  }, []);

  // A plot per pen set: its series and scales are made for those pens.
  const penKey = pens.map((pen) => `${pen.id}|${pen.color}|${pen.kind}`).join('\n');
  const hasWidth = width > 0;
  useEffect(() => {
    const box = boxRef.current;
    if (!box || !hasWidth) return;
    const plot = createPlot(
      box,
      pensRef.current,
      { width: box.clientWidth || 600, height },
      {
        onCursor: (t) => callbacks.current.onCursor?.(t),
        onZoom: (from, to) => callbacks.current.onZoom?.(from, to),
        onPan: (by) => callbacks.current.onPan?.(by),
        onReset: () => callbacks.current.onReset?.(),
        onDraw: () => {
          if (!answerTaken.current) return;
          answerTaken.current = false;
          mark(DRAWN_MARK);
        },
      },
      interactive,
    );
    plotRef.current = plot;
    draw.current();
    return () => {
      plot.destroy();
      plotRef.current = undefined;
    };
  }, [penKey, height, interactive, hasWidth]);

  useEffect(() => {
    if (width > 0) plotRef.current?.resize({ width, height });
    draw.current();
  }, [width, height]);

  // New values are drawn at once unless the last drawing is more recent than
  // one pixel's time (five seconds at most): then once, when it has passed.
  const spanRef = useRef(0);
  spanRef.current = shownWindow(state, 0).to - shownWindow(state, 0).from;
  const widthRef = useRef(width);
  widthRef.current = width;
  useEffect(() => {
    let timer: ReturnType<typeof setTimeout> | undefined;
    const unsubscribe = feed.subscribe(() => {
      // A history answer is drawn at once: the pace is for live values, and
      // the drawing at the range's change must not hold the answer back.
      if (answerTaken.current) {
        clearTimeout(timer);
        timer = undefined;
        draw.current();
        return;
      }
      if (timer !== undefined) return;
      const pixel = spanRef.current / Math.max(1, widthRef.current);
      const wait = Math.min(MAX_REDRAW_MS, pixel) - (nowRef.current() - lastDraw.current);
      if (wait <= 0) draw.current();
      else
        timer = setTimeout(() => {
          timer = undefined;
          draw.current();
        }, wait);
    });
    return () => {
      clearTimeout(timer);
      unsubscribe();
    };
  }, [feed]);

  // While following, the right edge moves even when no value comes: by a
  // pixel at a time, so the chart is drawn again once a pixel's time has passed.
  useEffect(() => {
    if (!state.follow) return;
    const timer = setInterval(() => {
      const pixel = spanRef.current / Math.max(1, widthRef.current);
      const idle = Math.min(MAX_REDRAW_MS, Math.max(IDLE_REDRAW_MS, pixel));
      if (nowRef.current() - lastDraw.current >= idle) draw.current();
    }, IDLE_REDRAW_MS);
    return () => clearInterval(timer);
  }, [state.follow]);

  // The history of the shown window, asked again when the window or the pens change.
  const ids = pens.map((pen) => pen.id).join('\n');
  const maxPoints = Math.max(100, Math.round((width || 600) * SAMPLES_PER_PIXEL));
  useEffect(() => {
    feed.setPoints(ids === '' ? [] : ids.split('\n'));
    draw.current();
    const window = shownWindow(state, nowRef.current());
    const load = () =>
      void feed.load(window, maxPoints).then(
        (taken) => {
          if (!taken) return;
          answerTaken.current = true;
          mark(ANSWER_MARK);
        },
        () => undefined,
      );
    // A pan or zoom gesture may move the window many times: ask for the last one.
    if (state.follow) {
      load();
      return;
    }
    const timer = setTimeout(load, LOAD_DELAY_MS);
    return () => clearTimeout(timer);
  }, [feed, ids, state, maxPoints]);

  return (
    <div
      ref={boxRef}
      className="trend-chart"
      data-testid="trend-chart"
      data-follow={state.follow}
    />
  );
}
