import { render } from '@testing-library/react';
import { describe, expect, it } from 'vitest';
import { Icon, iconPaths } from './icons';

describe('iconPaths', () => {
  it('holds the 28 icons in their order', () => {
    expect(Object.keys(iconPaths)).toEqual([
      'undo',
      'redo',
      'save',
      'open',
      'grid',
      'zoomIn',
      'zoomOut',
      'preview',
      'trash',
      'rect',
      'text',
      'value',
      'pipe',
      'alignLeft',
      'alignHCenter',
      'alignRight',
      'alignTop',
      'alignVCenter',
      'alignBottom',
      'toFront',
      'forward',
      'backward',
      'toBack',
      'rotateCcw',
      'rotateCw',
      'copy',
      'paste',
      'newScheme',
    ]);
  });

  it('keeps the path data as written, blanks included', () => {
    expect(iconPaths.rotateCw).toBe('M12 5A7 7 0 1 1 5 12M8 15l-3 -3 -3 3');
    expect(iconPaths.rotateCcw).toBe('M12 5A7 7 0 1 0 19 12M16 15l3-3 3 3');
  });
});

describe('Icon', () => {
  it('draws the named path in a 24 × 24 box with the text colour', () => {
    const { container } = render(<Icon name="trash" />);
    const svg = container.querySelector('svg')!;
    expect(svg.getAttribute('width')).toBe('16');
    expect(svg.getAttribute('height')).toBe('16');
    expect(svg.getAttribute('viewBox')).toBe('0 0 24 24');
    expect(svg.getAttribute('fill')).toBe('none');
    expect(svg.getAttribute('stroke')).toBe('currentColor');
    expect(svg.getAttribute('stroke-width')).toBe('1.6');
    expect(svg.getAttribute('stroke-linecap')).toBe('round');
    expect(svg.getAttribute('stroke-linejoin')).toBe('round');
    expect(svg.getAttribute('aria-hidden')).toBe('true');
    expect(svg.getAttribute('focusable')).toBe('false');
    const paths = svg.querySelectorAll('path');
    expect(paths).toHaveLength(1);
    expect(paths[0].getAttribute('d')).toBe(iconPaths.trash);
  });

  it('takes the given size', () => {
    const { container } = render(<Icon name="rect" size={22} />);
    expect(container.querySelector('svg')!.getAttribute('width')).toBe('22');
    expect(container.querySelector('svg')!.getAttribute('height')).toBe('22');
  });

  it.each(['missing', 'toString', 'constructor'])(
    'draws a path without data for the unknown name %s',
    (name) => {
      const { container } = render(<Icon name={name} />);
      const path = container.querySelector('path')!;
      expect(path.hasAttribute('d')).toBe(false);
    },
  );
});
