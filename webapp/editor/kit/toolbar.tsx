import type { ReactNode } from 'react';

export interface ToolbarProps {
  children?: ReactNode;
}

export function Toolbar({ children }: ToolbarProps) {
  return <div className="orvo-toolbar">{children}</div>;
}

/** A thin vertical line between groups of toolbar controls. */
export function ToolbarSeparator() {
  return <div className="orvo-toolbar__sep" aria-hidden="true" />;
}

/** A flexible spacer: everything after it goes to the far end of the toolbar. */
export function ToolbarGap() {
  return <div className="orvo-toolbar__gap" />;
}
