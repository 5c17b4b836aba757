import type { ButtonHTMLAttributes } from 'react';
import { classNames } from './classNames';
import { Icon, type IconName } from './icons';

export type ButtonVariant = 'default' | 'primary' | 'ghost';
export type ButtonSize = 'md' | 'sm';

export interface ButtonProps extends ButtonHTMLAttributes<HTMLButtonElement> {
  variant?: ButtonVariant;
  size?: ButtonSize;
  'data-testid'?: string;
}

export function Button({
  variant = 'default',
  size = 'md',
  className,
  type = 'button',
  ...rest
}: ButtonProps) {
  return (
    <button
      {...rest}
      type={type}
      className={classNames(
        'orvo-btn',
        variant !== 'default' && `orvo-btn--${variant}`,
        size === 'sm' && 'orvo-btn--sm',
        className,
      )}
    />
  );
}

export interface IconButtonProps extends Omit<
  ButtonHTMLAttributes<HTMLButtonElement>,
  'type' | 'children'
> {
  icon: IconName | (string & {});
  /** Accessible name and tooltip; always wins over a passed `aria-label` or `title`. */
  label: string;
  size?: ButtonSize;
  'data-testid'?: string;
}

export function IconButton({ icon, label, size = 'md', className, ...rest }: IconButtonProps) {
  return (
    <button
      {...rest}
      type="button"
      className={classNames(
        'orvo-btn',
        'orvo-btn--icon',
        size === 'sm' && 'orvo-btn--sm',
        className,
      )}
      aria-label={label}
      title={label}
    >
      <Icon name={icon} size={size === 'sm' ? 14 : 16} />
    </button>
  );
}

export interface SegmentedOption<T extends string = string> {
  value: T;
  label: string;
}

export interface SegmentedSwitchProps<T extends string = string> {
  options: ReadonlyArray<SegmentedOption<T>>;
  value: T;
  /** Accessible name of the group. */
  label: string;
  onChange: (value: T) => void;
}

export function SegmentedSwitch<T extends string = string>({
  options,
  value,
  label,
  onChange,
}: SegmentedSwitchProps<T>) {
  return (
    <div className="orvo-seg" role="group" aria-label={label}>
      {options.map((option, index) => (
        <button
          key={index}
          type="button"
          className="orvo-btn"
          aria-pressed={option.value === value}
          onClick={() => onChange(option.value)}
        >
          {option.label}
        </button>
      ))}
    </div>
  );
}
