// Public face of the editor's inspector: the property inspector of the
// selection, its field tables and data hooks, and the rule editor.
export {
  alignModes,
  appearanceDescriptors,
  appearanceFields,
  commonFields,
  elementTypeLabels,
  fieldIdentity,
  fieldPatch,
  fieldsForType,
  geometryFields,
  readField,
  statusOptions,
} from './fields';
export type {
  AlignModeEntry,
  FieldControl,
  FieldDescriptor,
  FieldGroup,
  FieldOption,
  FieldScope,
  StatusOption,
} from './fields';
export { pointOptionLabel, pointOptions } from './points';
export type { PointOption } from './points';
export { DataSourceContext, useLivePoint, usePointCatalog } from './dataSource';
export { FieldList } from './FieldList';
export type { FieldListProps } from './FieldList';
export {
  AlignButtons,
  DataBindingSection,
  LinkField,
  linkOptions,
  SchemeIdentityEditor,
  SchemeSizeEditor,
} from './sections';
export type {
  AlignButtonsProps,
  DataBindingSectionProps,
  LinkFieldProps,
  SchemeIdentityEditorProps,
  SchemeSizeEditorProps,
} from './sections';
export {
  extraPropertyCount,
  findRuleProperty,
  newRuleTemplate,
  parseThreshold,
  primaryProperty,
  ruleFieldOptions,
  ruleOperators,
  ruleProperties,
  setRuleProperty,
  switchProperty,
} from './rules';
export type { RuleOperator, RuleProperty, RulePropertyKind, RulePropertyName } from './rules';
export { RuleEditor } from './RuleEditor';
export type { RuleEditorProps } from './RuleEditor';
export { PropertyInspector } from './PropertyPanel';
