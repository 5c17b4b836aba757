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
