import { useState, type ReactNode } from 'react';

export interface SectionProps {
  title: string;
  defaultOpen?: boolean;
  children?: ReactNode;
}

/** A collapsible group; its open state is view state of the mounted section only. */
export function Section({ title, defaultOpen = true, children }: SectionProps) {
  const [open, setOpen] = useState(defaultOpen);
  return (
    <div className="orvo-section">
      <div className="orvo-section__row">
        <button
          type="button"
          className="orvo-section__head"
          aria-expanded={open}
          onClick={() => setOpen((was) => !was)}
        >
          <span>{title}</span>
          <span aria-hidden="true">{open ? '▾' : '▸'}</span>
        </button>
      </div>
      {open ? children : null}
    </div>
  );
}
