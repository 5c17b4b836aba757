export type {
  Condition,
  ConditionField,
  ConditionOp,
  ElementStyle,
  ElementType,
  Scheme,
  SchemeElement,
  SchemeSize,
} from './types';
export {
  checkScheme,
  collectPointIds,
  elementTypes,
  requireScheme,
  validateElements,
  validateScheme,
} from './validation';
export type { SchemeCheckOptions, SchemeCheckResult } from './validation';
export { evaluateCondition } from './condition';
export { applyStyle, resolveStyle } from './style';
export { formatValue } from './format';
export { applyElement, createBinder } from './binder';
export type { Binder, ElementNode, NodeMap } from './binder';
