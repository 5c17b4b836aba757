import { render, screen } from '@testing-library/react';
import userEvent from '@testing-library/user-event';
import { describe, expect, it } from 'vitest';
import { Section } from './Section';

describe('Section', () => {
  it('is open by default, with its children after the head row', () => {
    const { container } = render(
      <Section title="Геометрия">
        <p>inner</p>
      </Section>,
    );
    const section = container.firstElementChild!;
    expect(section.getAttribute('class')).toBe('orvo-section');
    const [row, child] = Array.from(section.children);
    expect(row.getAttribute('class')).toBe('orvo-section__row');
    expect(child.textContent).toBe('inner');
    const head = screen.getByRole('button');
    expect(head.getAttribute('class')).toBe('orvo-section__head');
    expect(head).toHaveAttribute('type', 'button');
    expect(head).toHaveAttribute('aria-expanded', 'true');
    const [title, marker] = Array.from(head.children);
    expect(title.textContent).toBe('Геометрия');
    expect(marker.textContent).toBe('▾');
    expect(marker.getAttribute('aria-hidden')).toBe('true');
  });

  it('starts closed when told, showing "▸" and no children until its head is clicked', async () => {
    render(
      <Section title="Правила" defaultOpen={false}>
        <p>inner</p>
      </Section>,
    );
    const head = screen.getByRole('button');
    expect(head).toHaveAttribute('aria-expanded', 'false');
    expect(head).toHaveTextContent('▸');
    expect(screen.queryByText('inner')).toBeNull();
    await userEvent.click(head);
    expect(head).toHaveAttribute('aria-expanded', 'true');
    expect(head).toHaveTextContent('▾');
    expect(screen.getByText('inner')).toBeInTheDocument();
    await userEvent.click(head);
    expect(screen.queryByText('inner')).toBeNull();
  });
});
