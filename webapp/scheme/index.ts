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
