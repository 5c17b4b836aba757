// Public face of the editor's controls kit: presentational components that
// render from their props and report changes through callbacks.
export { iconPaths, Icon } from './icons';
export type { IconName, IconProps } from './icons';
export { Button, IconButton, SegmentedSwitch } from './buttons';
export type {
  ButtonProps,
  ButtonSize,
  ButtonVariant,
  IconButtonProps,
  SegmentedOption,
  SegmentedSwitchProps,
} from './buttons';
export { Toolbar, ToolbarGap, ToolbarSeparator } from './toolbar';
export type { ToolbarProps } from './toolbar';
export {
  ColorField,
  Field,
  NumberField,
  SelectField,
  TextField,
  Toggle,
  normalizeColor,
  parseFieldNumber,
} from './fields';
export type {
  ColorFieldProps,
  FieldProps,
  NumberFieldProps,
  SelectFieldProps,
  SelectOption,
  TextFieldProps,
  ToggleProps,
} from './fields';
export { Section } from './Section';
export type { SectionProps } from './Section';
