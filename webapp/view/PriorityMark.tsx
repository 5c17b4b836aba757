// An alarm priority as the operator sees it: shape, colour and number
// together, never colour alone. These colours mark alarm priorities and
// nothing else in the program.

import type { AlarmPriority } from '../station';

export const PRIORITY_LABELS: Readonly<Record<AlarmPriority, string>> = {
  1: '1 Критическая',
  2: '2 Высокая',
  3: '3 Средняя',
  4: '4 Низкая',
};

export const PRIORITY_COLOURS: Readonly<Record<AlarmPriority, string>> = {
  1: '#e0162b',
  2: '#f27a00',
  3: '#f2c200',
  4: '#8a4fd8',
};

/** The number's colour on each fill, for contrast. */
const NUMBER_COLOURS: Readonly<Record<AlarmPriority, string>> = {
  1: '#ffffff',
  2: '#1b1b1b',
  3: '#1b1b1b',
  4: '#ffffff',
};

/** The shape's outline in a box of 16 × 16: diamond, triangle, square, circle. */
export function priorityShapePath(priority: AlarmPriority): string {
  switch (priority) {
    case 1:
      return 'M8 0.5 L15.5 8 L8 15.5 L0.5 8 Z';
    case 2:
      return 'M8 0.8 L15.6 15 L0.4 15 Z';
    case 3:
      return 'M1.5 1.5 H14.5 V14.5 H1.5 Z';
    case 4:
      return 'M8 0.8 A7.2 7.2 0 1 1 7.99 0.8 Z';
  }
}

/** The mark's drawing in a 16 × 16 box, for an svg of its own or a scheme's. */
export function PriorityShape({ priority }: { priority: AlarmPriority }) {
  return (
    <>
      <path
        d={priorityShapePath(priority)}
        fill={PRIORITY_COLOURS[priority]}
        stroke="#1b1b1b"
        strokeWidth={0.8}
      />
      <text
        x={8}
        y={priority === 2 ? 13 : 11.6}
        textAnchor="middle"
        fontSize={priority === 2 ? 8 : 9.5}
        fontWeight={700}
        fontFamily="system-ui, sans-serif"
        fill={NUMBER_COLOURS[priority]}
      >
        {priority}
      </text>
    </>
  );
}

export interface PriorityMarkProps {
  priority: AlarmPriority;
  /** Side in pixels; 16 by default. */
  size?: number;
  /** Also writes the label ("1 Критическая") after the mark. */
  withLabel?: boolean;
}

/** The mark in running text, named for assistive technology by its label. */
export function PriorityMark({ priority, size = 16, withLabel = false }: PriorityMarkProps) {
  return (
    <span
      className="priority-mark"
      data-priority={priority}
      role="img"
      aria-label={PRIORITY_LABELS[priority]}
      style={{ display: 'inline-flex', alignItems: 'center', gap: 4, whiteSpace: 'nowrap' }}
    >
      <svg width={size} height={size} viewBox="0 0 16 16" aria-hidden="true">
        <PriorityShape priority={priority} />
      </svg>
      {withLabel && <span aria-hidden="true">{PRIORITY_LABELS[priority]}</span>}
    </span>
  );
}
