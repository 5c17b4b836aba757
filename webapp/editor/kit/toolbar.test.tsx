import { render } from '@testing-library/react';
import { describe, expect, it } from 'vitest';
import { Toolbar, ToolbarGap, ToolbarSeparator } from './toolbar';

describe('Toolbar', () => {
  it('wraps its children, with separators and a gap as empty blocks', () => {
    const { container } = render(
      <Toolbar>
        <span>a</span>
        <ToolbarSeparator />
        <ToolbarGap />
        <span>b</span>
      </Toolbar>,
    );
    const bar = container.firstElementChild!;
    expect(bar.tagName).toBe('DIV');
    expect(bar.getAttribute('class')).toBe('orvo-toolbar');
    const [, sep, gap] = Array.from(bar.children);
    expect(sep.getAttribute('class')).toBe('orvo-toolbar__sep');
    expect(sep.getAttribute('aria-hidden')).toBe('true');
    expect(sep.childNodes).toHaveLength(0);
    expect(gap.getAttribute('class')).toBe('orvo-toolbar__gap');
    expect(gap.hasAttribute('aria-hidden')).toBe(false);
    expect(gap.childNodes).toHaveLength(0);
    expect(bar.textContent).toBe('ab');
  });
});
