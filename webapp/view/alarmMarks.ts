// Which element of a scheme carries which alarm mark, and where the mark
// goes: pure functions of the alarms and the element records, so that the
// layer drawing them only writes what they say.

import type { SchemeElement, SchemeSize } from '../scheme';
import type { Alarm, AlarmPriority } from '../station';
import { isStanding, isUnacknowledged } from './alarmLabels';
import { PRIORITY_LABELS } from './PriorityMark';

/** The mark one point's elements carry. */
export interface AlarmMark {
  priority: AlarmPriority;
  /** Some standing alarm of the point is not acknowledged yet. */
  blinking: boolean;
  /** The mark's name for assistive technology: the alarm it stands for. */
  label: string;
}

export interface Box {
  x: number;
  y: number;
  width: number;
  height: number;
}

/** The mark's side on the screen, whatever the stage's scale. */
export const MARK_PIXELS = 14;
/** The free space between an element's corner and its mark, on the screen. */
const MARK_GAP_PIXELS = 1;

export function markLabel(alarm: Alarm): string {
  const name = `Тревога ${PRIORITY_LABELS[alarm.priority]}`;
  return alarm.message === '' ? name : `${name}: ${alarm.message}`;
}

/** Whether `alarm` stands for its point before `held`: priority, then unacknowledged, then newer. */
function outranks(alarm: Alarm, held: Alarm): boolean {
  if (alarm.priority !== held.priority) return alarm.priority < held.priority;
  const unacknowledged = isUnacknowledged(alarm);
  if (unacknowledged !== isUnacknowledged(held)) return unacknowledged;
  if (alarm.raisedAt !== held.raisedAt) return alarm.raisedAt > held.raisedAt;
  return alarm.id < held.id;
}

/** The mark of every point that has a standing alarm, by point id. */
export function pointMarks(alarms: Iterable<Alarm>): Map<string, AlarmMark> {
  const shown = new Map<string, { alarm: Alarm; blinking: boolean }>();
  for (const alarm of alarms) {
    if (alarm.pointId === '' || !isStanding(alarm)) continue;
    const held = shown.get(alarm.pointId);
    const blinking = (held?.blinking ?? false) || isUnacknowledged(alarm);
    shown.set(alarm.pointId, {
      alarm: held === undefined || outranks(alarm, held.alarm) ? alarm : held.alarm,
      blinking,
    });
  }
  const marks = new Map<string, AlarmMark>();
  shown.forEach(({ alarm, blinking }, pointId) =>
    marks.set(pointId, { priority: alarm.priority, blinking, label: markLabel(alarm) }),
  );
  return marks;
}

/**
 * The box an element covers as drawn, in scheme units: a pipe by its
 * points, anything else by its own box; a turned element by the bounding
 * box of its turned outline (the renderer turns it about its box's centre).
 * Null when the record gives no finite box.
 */
export function drawnBox(element: SchemeElement): Box | null {
  const corners: number[] = [];
  if (element.type === 'polyline' && Array.isArray(element.points)) {
    const points = element.points;
    for (let i = 0; i + 1 < points.length; i += 2) corners.push(points[i], points[i + 1]);
  }
  const { x, y, width, height } = element;
  if (corners.length === 0) corners.push(x, y, x + width, y, x + width, y + height, x, y + height);
  const angle = element.rotation;
  const turned = angle !== undefined && angle !== 0 && !Number.isNaN(angle);
  const radians = turned ? (angle * Math.PI) / 180 : 0;
  const cos = Math.cos(radians);
  const sin = Math.sin(radians);
  const cx = x + width / 2;
  const cy = y + height / 2;
  let left = Infinity;
  let top = Infinity;
  let right = -Infinity;
  let bottom = -Infinity;
  for (let i = 0; i < corners.length; i += 2) {
    let px = corners[i];
    let py = corners[i + 1];
    if (turned) {
      const dx = px - cx;
      const dy = py - cy;
      px = cx + dx * cos - dy * sin;
      py = cy + dx * sin + dy * cos;
    }
    left = Math.min(left, px);
    top = Math.min(top, py);
    right = Math.max(right, px);
    bottom = Math.max(bottom, py);
  }
  const box = { x: left, y: top, width: right - left, height: bottom - top };
  return [box.x, box.y, box.width, box.height].every(Number.isFinite) ? box : null;
}

/** Scheme units per screen pixel of an svg of `size` drawn into a client box ("meet"). */
export function unitsPerPixel(size: SchemeSize, client: { width: number; height: number }): number {
  if (!(client.width > 0 && client.height > 0)) return 1;
  const units = Math.max(size.width / client.width, size.height / client.height);
  return Number.isFinite(units) && units > 0 ? units : 1;
}

/**
 * Where a mark goes: its lower left corner just off the box's top right
 * corner, kept inside the scheme so that the svg never cuts it off.
 */
export function markPlacement(box: Box, size: SchemeSize, units: number): Box {
  const side = MARK_PIXELS * units;
  const gap = MARK_GAP_PIXELS * units;
  const x = Math.max(0, Math.min(box.x + box.width + gap, size.width - side));
  const y = Math.max(0, Math.min(box.y - gap - side, size.height - side));
  return { x, y, width: side, height: side };
}
