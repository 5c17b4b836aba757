import { render } from '@testing-library/react';
import type { SchemeElement } from '../scheme';
import { keptMarkup, keptSchemes, variantScheme } from './drawings.fixture';
import { createSchemeDrawing, pointsAttribute, renderElement } from './render';

function draw(element: SchemeElement): SVGElement | null {
  const { container } = render(<svg>{renderElement(element, () => {})}</svg>);
  return container.querySelector('svg > *');
}

function attrs(node: Element | null): Record<string, string> {
  const out: Record<string, string> = {};
  for (const a of Array.from(node?.attributes ?? [])) out[a.name] = a.value;
  return out;
}

const box = { x: 10, y: 16, width: 14, height: 20 };

describe('renderElement', () => {
  it.each<[string, SchemeElement, string, Record<string, string>, string]>([
    [
      'rect without fill is unfilled, absent keys left out',
      { id: 'r', type: 'rect', ...box, style: {} },
      'rect',
      { 'data-element-id': 'r', x: '10', y: '16', width: '14', height: '20', fill: 'none' },
      '',
    ],
    [
      'rect with every key',
      {
        id: 'r',
        type: 'rect',
        ...box,
        rx: 3,
        style: { fill: '#123456', stroke: '#000', strokeWidth: 1.5, opacity: 0.25 },
      },
      'rect',
      {
        'data-element-id': 'r',
        opacity: '0.25',
        x: '10',
        y: '16',
        width: '14',
        height: '20',
        rx: '3',
        fill: '#123456',
        stroke: '#000',
        'stroke-width': '1.5',
      },
      '',
    ],
    [
      'indicator is a grey circle inscribed in its box',
      { id: 'i', type: 'indicator', ...box, style: {} },
      'circle',
      { 'data-element-id': 'i', cx: '17', cy: '26', r: '7', fill: '#888' },
      '',
    ],
    [
      'text baseline lies one font size below the top',
      { id: 't', type: 'text', ...box, fontSize: 20, content: 'Н-1', style: {} },
      'text',
      { 'data-element-id': 't', x: '10', y: '36', 'font-size': '20', fill: '#000' },
      'Н-1',
    ],
    [
      'text defaults to size 14',
      { id: 't', type: 'text', ...box, content: 'A', style: { fill: '#333' } },
      'text',
      { 'data-element-id': 't', x: '10', y: '30', 'font-size': '14', fill: '#333' },
      'A',
    ],
    [
      'value shows the dash between prefix and suffix',
      { id: 'v', type: 'value', ...box, prefix: 'P=', suffix: ' бар', style: {} },
      'text',
      { 'data-element-id': 'v', x: '10', y: '30', 'font-size': '14', fill: '#000' },
      'P=— бар',
    ],
    [
      'polyline defaults to a dark pipe 4 wide and drops an odd last number',
      { id: 'p', type: 'polyline', ...box, points: [0, 0, 10, 0, 7], style: {} },
      'polyline',
      {
        'data-element-id': 'p',
        class: 'mnemo-pipe',
        points: '0,0 10,0',
        fill: 'none',
        stroke: '#4a4a4a',
        'stroke-width': '4',
      },
      '',
    ],
  ])('%s', (_name, element, tag, expected, text) => {
    const node = draw(element);
    expect(node?.tagName).toBe(tag);
    expect(attrs(node)).toEqual(expected);
    expect(node?.textContent).toBe(text);
  });

  it.each([
    [90, 'rotate(90 20 10)'],
    [0, undefined],
    [Number.NaN, undefined],
    [undefined, undefined],
  ])('rotation %s gives transform %s', (rotation, transform) => {
    const node = draw({
      id: 'r',
      type: 'rect',
      x: 0,
      y: 0,
      width: 40,
      height: 20,
      rotation,
      style: {},
    });
    expect(node?.getAttribute('transform') ?? undefined).toBe(transform);
  });

  it('draws an unknown symbol as the placeholder inside the element group', () => {
    const node = draw({
      id: 's',
      type: 'symbol',
      symbolId: 'compressor',
      ...box,
      style: { opacity: 0.5 },
    });
    expect(node?.tagName).toBe('g');
    expect(node?.getAttribute('opacity')).toBe('0.5');
    expect(node?.textContent).toContain('compressor');
  });

  it('draws a registered symbol inside the element group', () => {
    const node = draw({ id: 's', type: 'symbol', symbolId: 'tank', ...box, style: {} });
    expect(node?.tagName).toBe('g');
    expect(node?.querySelector('[data-part]')).not.toBeNull();
  });

  it('draws nothing for an unknown type and never calls back', () => {
    const onNode = vi.fn();
    const element = { id: 'c', type: 'circle', ...box, style: {} } as unknown as SchemeElement;
    expect(renderElement(element, onNode)).toBeNull();
    expect(onNode).not.toHaveBeenCalled();
  });
});

describe('drawings kept exactly', () => {
  // The markup of every element type and variant, the stock and the load
  // schemes, as the canvas and the previews draw them (no binder).
  it.each(keptSchemes)('%s', (_name, scheme) => {
    const { container } = render(
      <svg>{scheme.elements.map((element) => renderElement(element, () => {}))}</svg>,
    );
    expect(keptMarkup(container.innerHTML)).toMatchSnapshot();
  });
});

describe('createSchemeDrawing', () => {
  const SVG = 'http://www.w3.org/2000/svg';
  const base = variantScheme.elements;
  const byId = (id: string) => base.find((element) => element.id === id)!;
  const edit = (id: string, change: Partial<SchemeElement>) =>
    base.map((element) => (element.id === id ? { ...element, ...change } : element));

  /** React's drawing of `elements` into a fresh svg, after `first` when given (keyed update). */
  function reactMarkup(elements: SchemeElement[], first?: SchemeElement[]): string {
    const view = (list: SchemeElement[]) => (
      <svg>{list.map((element) => renderElement(element, () => {}))}</svg>
    );
    const { container, rerender } = render(view(first ?? elements));
    if (first) rerender(view(elements));
    return container.querySelector('svg')!.innerHTML;
  }

  function plain(first: SchemeElement[]) {
    const svg = document.createElementNS(SVG, 'svg');
    const drawing = createSchemeDrawing(svg);
    const calls: [string, boolean][] = [];
    const draw = (list: SchemeElement[]) =>
      drawing.draw(list, (element) => (node) => calls.push([element.id, node !== null]));
    draw(first);
    return { svg, drawing, calls, draw };
  }

  it('draws what React draws, text nodes included, and calls back each element in order', () => {
    const { svg, calls } = plain(base);
    const { container } = render(<svg>{base.map((e) => renderElement(e, () => {}))}</svg>);
    const reactSvg = container.querySelector('svg')!;
    expect(svg.innerHTML).toBe(reactSvg.innerHTML);
    const shape = (root: Element) =>
      Array.from(root.querySelectorAll('*'), (node) =>
        Array.from(node.childNodes, (child) => child.nodeType).join(),
      );
    expect(shape(svg)).toEqual(shape(reactSvg));
    const drawnIds = base.filter((e) => e.type !== ('circle' as string)).map((e) => e.id);
    expect(calls).toEqual(drawnIds.map((id) => [id, true]));
  });

  // Each case redraws the variant scheme with one change; the markup must be
  // React's after the same keyed update, and an element whose type and
  // shapes stay keeps its node.
  it.each<[string, SchemeElement[], string[]]>([
    [
      'moved, refilled and unstroked rect',
      edit('rect-full', { x: 9, style: { fill: '#fff' } }),
      [],
    ],
    ['rotation removed', edit('pump', { rotation: undefined }), []],
    ['text changed and cleared', edit('caption', { content: 'новый' }), []],
    ['text content removed', edit('caption', { content: undefined }), ['caption']],
    [
      'gauge gains a warning arc',
      edit('gauge-small', { params: { warnFrom: 3 } }),
      ['gauge-small'],
    ],
    ['symbol id changed', edit('pump', { symbolId: 'valve' }), ['pump']],
    ['type changed under the same id', edit('lamp', { type: 'rect' }), ['lamp']],
    ['reversed order', [...base].reverse(), []],
    [
      'one removed, one added',
      [...base.slice(1), { ...byId('lamp'), id: 'new-lamp' }],
      ['new-lamp'],
    ],
  ])('redraw: %s', (_name, next, renewed) => {
    const { svg, draw, calls } = plain(base);
    const before = new Map(
      Array.from(svg.children, (node) => [node.getAttribute('data-element-id'), node]),
    );
    calls.length = 0;
    draw(next);
    expect(svg.innerHTML).toBe(reactMarkup(next, base));
    for (const node of Array.from(svg.children)) {
      const id = node.getAttribute('data-element-id')!;
      expect([id, node === before.get(id)]).toEqual([id, !renewed.includes(id)]);
    }
    const detached = calls.filter(([, attached]) => !attached).map(([id]) => id);
    const attached = calls.filter(([, isAttached]) => isAttached).map(([id]) => id);
    expect(calls.slice(0, detached.length).every(([, a]) => !a)).toBe(true);
    expect(attached).toEqual(Array.from(svg.children, (n) => n.getAttribute('data-element-id')));
  });

  it('ends by calling every element back with nothing, and draws afresh after that', () => {
    const { svg, drawing, calls, draw } = plain(base.slice(0, 3));
    calls.length = 0;
    drawing.clear();
    expect(calls).toEqual(base.slice(0, 3).map((e) => [e.id, false]));
    draw(base.slice(1, 2));
    expect(svg.innerHTML).toBe(reactMarkup(base.slice(1, 2)));
  });
});

describe('pointsAttribute', () => {
  it.each([
    [[112, 300, 112, 378], '112,300 112,378'],
    [[0.5, -1, 1e21, 2], '0.5,-1 1e+21,2'],
    [[1], ''],
    [[], ''],
  ])('%j gives "%s"', (points, text) => {
    expect(pointsAttribute(points)).toBe(text);
  });
});
