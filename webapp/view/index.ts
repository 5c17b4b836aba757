export { RuntimeView } from './RuntimeView';
export type { RuntimeViewProps } from './RuntimeView';
export { createSchemeDrawing, pointsAttribute, renderElement } from './render';
export type { NodeCallback, SchemeDrawing } from './render';
export {
  PRIORITY_COLOURS,
  PRIORITY_LABELS,
  PriorityMark,
  PriorityShape,
  priorityShapePath,
} from './PriorityMark';
export type { PriorityMarkProps } from './PriorityMark';
export {
  ALARM_STATE_LABELS,
  alarmStateText,
  CHATTERING_LABEL,
  isStanding,
  isUnacknowledged,
  SUSPECT_LABEL,
} from './alarmLabels';
