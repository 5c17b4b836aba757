// The chart itself, drawn by uPlot on a canvas. The page decides the shown
// window: a drag selects a new one and a double click asks for the range
// back, a wheel pans; none of them changes the scales here.
import uPlot from 'uplot';
import 'uplot/dist/uPlot.min.css';
import type { PointKind } from '../data';
import type { PlotData } from './chartData';
import type { TimeWindow } from './range';

export interface PlotPen {
  color: string;
  kind: PointKind;
}

export interface PlotCallbacks {
  /** The time under the cursor, or null when it leaves the chart. */
  onCursor?(t: number | null): void;
  onZoom?(from: number, to: number): void;
  /** Moves the window by `by` ms (positive: later). */
  onPan?(by: number): void;
  onReset?(): void;
  /** After each drawing of the canvas. */
  onDraw?(): void;
}

export interface PlotSize {
  width: number;
  height: number;
}

export interface Plot {
  update(data: PlotData, window: TimeWindow): void;
  resize(size: PlotSize): void;
  destroy(): void;
}

const MINUTE = 60_000;
const DAY = 24 * 60 * MINUTE;

function two(n: number): string {
  return String(n).padStart(2, '0');
}

/** Time ticks in 24-hour local time; dates where the ticks are days apart. */
function timeLabels(_u: uPlot, splits: number[], _axis: number, _space: number, step: number) {
  return splits.map((t) => {
    const d = new Date(t);
    if (step >= DAY) return `${two(d.getDate())}.${two(d.getMonth() + 1)}`;
    const hm = `${two(d.getHours())}:${two(d.getMinutes())}`;
    return step < MINUTE ? `${hm}:${two(d.getSeconds())}` : hm;
  });
}

const stepped = uPlot.paths.stepped?.({ align: 1 });

export function createPlot(
  target: HTMLElement,
  pens: readonly PlotPen[],
  size: PlotSize,
  callbacks: PlotCallbacks,
  interactive = true,
): Plot {
  const series: uPlot.Series[] = [{}];
  const scales: uPlot.Scales = { x: { time: true, auto: false } };
  const axes: uPlot.Axis[] = [
    { values: timeLabels, stroke: '#5b6572', grid: { stroke: '#e4e8ee' } },
  ];
  pens.forEach((pen, i) => {
    const scale = `y${i}`;
    const discrete = pen.kind === 'discrete';
    scales[scale] = discrete ? { auto: false, range: [-0.1, 1.1] } : { auto: true };
    const line: uPlot.Series = {
      scale,
      stroke: pen.color,
      width: 1.5,
      spanGaps: false,
      points: { show: false },
      ...(discrete && stepped ? { paths: stepped } : {}),
    };
    // The stretches whose status is not good: dashed and faded.
    series.push(line, { ...line, dash: [6, 4], alpha: 0.55 });
    axes.push({
      scale,
      stroke: pen.color,
      side: i % 2 === 0 ? 3 : 1,
      size: 48,
      grid: { show: i === 0, stroke: '#e4e8ee' },
      ticks: { stroke: pen.color },
      ...(discrete
        ? { splits: () => [0, 1], values: (_u: uPlot, s: number[]) => s.map(String) }
        : {}),
    });
  });

  let plot: uPlot | undefined;
  const options: uPlot.Options = {
    width: size.width,
    height: size.height,
    ms: 1,
    legend: { show: false },
    scales,
    series,
    axes,
    cursor: {
      y: false,
      points: { show: false },
      drag: { x: interactive, y: false, setScale: false },
      bind: { dblclick: () => null },
    },
    select: { show: interactive, left: 0, top: 0, width: 0, height: 0 },
    hooks: {
      draw: [() => callbacks.onDraw?.()],
      setSelect: [
        (u) => {
          const { left, width } = u.select;
          if (width > 2) callbacks.onZoom?.(u.posToVal(left, 'x'), u.posToVal(left + width, 'x'));
          u.setSelect({ left: 0, top: 0, width: 0, height: 0 }, false);
        },
      ],
      setCursor: [
        (u) => {
          const left = u.cursor.left;
          callbacks.onCursor?.(left === undefined || left < 0 ? null : u.posToVal(left, 'x'));
        },
      ],
    },
  };
  plot = new uPlot(options, [[]], target);
  const over = plot.over;

  const onDoubleClick = () => callbacks.onReset?.();
  const onWheel = (event: WheelEvent) => {
    const u = plot;
    if (!u) return;
    const delta = Math.abs(event.deltaX) > Math.abs(event.deltaY) ? event.deltaX : event.deltaY;
    const min = u.scales.x.min;
    const max = u.scales.x.max;
    if (delta === 0 || min === undefined || max === undefined) return;
    event.preventDefault();
    callbacks.onPan?.(((max - min) * delta) / Math.max(1, u.over.clientWidth) / 2);
  };
  if (interactive) {
    over.addEventListener('dblclick', onDoubleClick);
    over.addEventListener('wheel', onWheel, { passive: false });
  }

  return {
    update(data, window) {
      const u = plot;
      if (!u) return;
      u.batch(() => {
        u.setData(data as uPlot.AlignedData, false);
        u.setScale('x', { min: window.from, max: window.to });
      });
    },
    resize(next) {
      plot?.setSize(next);
    },
    destroy() {
      over.removeEventListener('dblclick', onDoubleClick);
      over.removeEventListener('wheel', onWheel);
      plot?.destroy();
      plot = undefined;
    },
  };
}
