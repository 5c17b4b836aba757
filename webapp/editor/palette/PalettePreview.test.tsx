import { render } from '@testing-library/react';
import { describe, expect, it } from 'vitest';
import '../../symbols';
import { registerSymbol } from '../../symbols';
import { iconPaths } from '../kit';
import { createPipe } from '../model';
import { PalettePreview, previewCache } from './PalettePreview';

function drawn(itemKey: string): SVGSVGElement {
  const { container } = render(<PalettePreview itemKey={itemKey} />);
  return container.firstElementChild as SVGSVGElement;
}

function expectPreviewBox(svg: SVGSVGElement): void {
  expect(svg.tagName.toLowerCase()).toBe('svg');
  expect(svg.getAttribute('width')).toBe('40');
  expect(svg.getAttribute('height')).toBe('40');
  expect(svg.getAttribute('viewBox')).toBe('0 0 40 40');
  expect(svg.getAttribute('aria-hidden')).toBe('true');
}

describe('PalettePreview', () => {
  it('draws a symbol by the element renderer into the box 2, 2, 36 × 36', () => {
    const svg = drawn('symbol:valve');
    expectPreviewBox(svg);
    const group = svg.querySelector('[data-element-id="preview-symbol:valve"]')!;
    expect(group.tagName).toBe('g');
    expect(group.childElementCount).toBeGreaterThan(0);
  });

  it('draws the pipe from (4, 20) to (36, 20) without flow', () => {
    const svg = drawn('polyline');
    expectPreviewBox(svg);
    const line = svg.querySelector('polyline')!;
    expect(line.getAttribute('data-element-id')).toBe('preview-polyline');
    expect(line.getAttribute('points')).toBe('4,20 36,20');
    expect(line.getAttribute('class')).toBe('mnemo-pipe');
  });

  it('draws the indicator into the box 8, 8, 24 × 24', () => {
    const svg = drawn('indicator');
    expectPreviewBox(svg);
    const circle = svg.querySelector('circle')!;
    expect(circle.getAttribute('data-element-id')).toBe('preview-indicator');
    expect([
      circle.getAttribute('cx'),
      circle.getAttribute('cy'),
      circle.getAttribute('r'),
    ]).toEqual(['20', '20', '12']);
  });

  it.each([
    ['rect', 'rect'],
    ['text', 'text'],
    ['value', 'value'],
    ['unknown', 'rect'],
  ] as const)('shows the %s tile as the 22 px icon "%s"', (key, icon) => {
    const svg = drawn(key);
    expect(svg.getAttribute('width')).toBe('22');
    expect(svg.getAttribute('viewBox')).toBe('0 0 24 24');
    expect(svg.querySelector('path')!.getAttribute('d')).toBe(iconPaths[icon]);
  });

  it.each(['rect', 'text', 'value', 'indicator', 'polyline', 'symbol:pump'])(
    'makes the entry of the %s tile at its first drawing, taking one element id',
    (key) => {
      previewCache.delete(key);
      const before = Number(createPipe(0, 0).id.slice('el-'.length));
      drawn(key);
      drawn(key);
      const after = Number(createPipe(0, 0).id.slice('el-'.length));
      expect(after - before).toBe(2);
      expect(previewCache.get(key)).toMatchObject({ id: `preview-${key}`, x: 0, y: 0 });
    },
  );

  it('makes no entry for a key that no factory knows', () => {
    drawn('unknown');
    expect(previewCache.has('unknown')).toBe(false);
  });

  it('makes a cache entry once per key, at (0, 0) with the id "preview-" and the key', () => {
    drawn('symbol:gauge');
    const entry = previewCache.get('symbol:gauge')!;
    expect(entry).toMatchObject({
      id: 'preview-symbol:gauge',
      type: 'symbol',
      symbolId: 'gauge',
      x: 0,
      y: 0,
    });
    drawn('symbol:gauge');
    expect(previewCache.get('symbol:gauge')).toBe(entry);
  });

  it('keeps the cached elements at their factory place and size', () => {
    drawn('polyline');
    expect(previewCache.get('polyline')).toMatchObject({
      id: 'preview-polyline',
      points: [0, 0, 80, 0],
      x: 0,
      y: 0,
      width: 80,
    });
  });

  it('does not throw for a symbol whose drawing is empty', () => {
    registerSymbol('blank', {
      label: 'Пусто',
      category: 'Проба',
      defaultSize: { width: 10, height: 10 },
      render: () => <></>,
      update: () => {},
    });
    const svg = drawn('symbol:blank');
    expectPreviewBox(svg);
    expect(svg.querySelector('[data-element-id="preview-symbol:blank"]')!.childElementCount).toBe(
      0,
    );
  });

  it('does not throw for a cached element that the renderer draws as nothing', () => {
    previewCache.set('symbol:odd', {
      id: 'preview-symbol:odd',
      type: 'unknown-kind',
      x: 0,
      y: 0,
      width: 1,
      height: 1,
      style: {},
    } as never);
    const svg = drawn('symbol:odd');
    expectPreviewBox(svg);
    expect(svg.childElementCount).toBe(0);
  });

  it('draws an unregistered symbol as the placeholder', () => {
    const svg = drawn('symbol:nope');
    expectPreviewBox(svg);
    expect(svg.querySelector('[data-element-id="preview-symbol:nope"]')!.childElementCount).toBe(1);
  });
});
