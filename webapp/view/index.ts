export { RuntimeView } from './RuntimeView';
export type { RuntimeViewProps } from './RuntimeView';
export { createSchemeDrawing, pointsAttribute, renderElement } from './render';
export type { NodeCallback, SchemeDrawing } from './render';
