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
