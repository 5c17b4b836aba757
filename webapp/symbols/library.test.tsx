import { render } from '@testing-library/react';
import type { PointValue } from '../data';
import type { ElementStyle, SchemeElement } from '../scheme';
import { findSymbol, listSymbols } from './index';

// Every symbol is drawn into the box x 10, y 20, 120 × 80: wider than high, so
// a swapped width and height shows in the numbers.
function symbolElement(symbolId: string, extra: Partial<SchemeElement> = {}): SchemeElement {
  return {
    id: 'sym-1',
    type: 'symbol',
    symbolId,
    x: 10,
    y: 20,
    width: 120,
    height: 80,
    style: {},
    ...extra,
  };
}

function draw(element: SchemeElement) {
  const definition = findSymbol(element.symbolId);
  if (definition === undefined) throw new Error(`no symbol ${String(element.symbolId)}`);
  const { container } = render(
    <svg>
      <g data-element-id={element.id}>{definition.render(element)}</g>
    </svg>,
  );
  const node = container.querySelector('[data-element-id]') as Element;
  return {
    node,
    part: (name: string) => node.querySelector(`[data-part="${name}"]`),
    update: (value: PointValue | undefined, style: ElementStyle = element.style) =>
      definition.update(node, value, element, style),
  };
}

function point(value: unknown): PointValue {
  return { id: 'P-1', value: value as number, status: 'good', timestamp: 0 };
}

type Path = (string | number)[];
type Attrs = Record<string, string | number | null | Path>;

function expectPath(d: string | null, want: Path): void {
  const tokens = (d ?? '').trim().split(/[\s,]+/);
  expect(tokens.map((t) => (/^[A-Za-z]$/.test(t) ? t : '#'))).toEqual(
    want.map((t) => (typeof t === 'string' ? t : '#')),
  );
  want.forEach((t, i) => {
    if (typeof t === 'number') expect(Number(tokens[i]), `${d} @${i}`).toBeCloseTo(t, 9);
  });
}

function expectShape(shape: Element | null | undefined, tag: string, attrs: Attrs): void {
  expect(shape?.tagName).toBe(tag);
  for (const [name, want] of Object.entries(attrs)) {
    const got = shape?.getAttribute(name) ?? null;
    if (want === null) expect(got, name).toBeNull();
    else if (Array.isArray(want)) expectPath(got, want);
    else if (typeof want === 'number') {
      expect(got, name).toMatch(/^-?[\d.]+(e[-+]?\d+)?$/);
      expect(Number(got), name).toBeCloseTo(want, 9);
    } else expect(got, name).toBe(want);
  }
}

const outline = { stroke: '#8a9099', 'stroke-width': 2 };

describe('drawn geometry', () => {
  const cases: [string, Partial<SchemeElement>, [string, Attrs][]][] = [
    [
      'tank',
      {},
      [
        [
          'rect',
          {
            'data-part': 'body',
            x: 10,
            y: 20,
            width: 120,
            height: 80,
            rx: 3,
            fill: '#eef1f4',
            ...outline,
          },
        ],
        [
          'rect',
          {
            'data-part': 'level',
            x: 12,
            y: 100,
            width: 116,
            height: 0,
            fill: '#5bb4e0',
            stroke: null,
          },
        ],
      ],
    ],
    [
      'pump',
      {},
      [
        ['circle', { 'data-part': 'body', cx: 70, cy: 60, r: 39, fill: '#e7ebef', ...outline }],
        [
          'path',
          {
            'data-part': 'impeller',
            d: ['M', 70, 60, 'L', 101.2, 44.4, 'L', 101.2, 75.6, 'Z'],
            fill: '#8a9099',
            stroke: null,
          },
        ],
      ],
    ],
    [
      'valve',
      {},
      [
        [
          'path',
          {
            'data-part': 'wing',
            d: ['M', 10, 20, 'L', 70, 60, 'L', 10, 100, 'Z'],
            fill: '#e7ebef',
            ...outline,
          },
        ],
        [
          'path',
          {
            'data-part': 'wing',
            d: ['M', 130, 20, 'L', 70, 60, 'L', 130, 100, 'Z'],
            fill: '#e7ebef',
            ...outline,
          },
        ],
      ],
    ],
    [
      'indicator-box',
      { params: { label: 'Норма' } },
      [
        [
          'rect',
          {
            'data-part': 'box',
            x: 10,
            y: 20,
            width: 120,
            height: 80,
            rx: 4,
            fill: '#3fb54a',
            stroke: '#2f7d38',
            'stroke-width': null,
          },
        ],
        [
          'text',
          {
            'data-part': 'label',
            x: 70,
            y: 64,
            'text-anchor': 'middle',
            'font-size': 11,
            'font-weight': 700,
            fill: '#ffffff',
          },
        ],
      ],
    ],
    [
      'gauge',
      { params: { warnFrom: 75, label: 'P, бар' } },
      [
        ['circle', { 'data-part': 'face', cx: 70, cy: 56, r: 34, fill: '#ffffff', ...outline }],
        [
          'path',
          {
            'data-part': 'scale',
            d: ['M', 44, 56, 'A', 26, 26, 0, 0, 1, 96, 56],
            fill: 'none',
            stroke: '#dde2e7',
            'stroke-width': 7,
          },
        ],
        [
          'path',
          {
            'data-part': 'warn',
            d: ['M', 88.38477631085024, 37.615223689149765, 'A', 26, 26, 0, 0, 1, 96, 56],
            fill: 'none',
            stroke: '#d04545',
            'stroke-width': 7,
          },
        ],
        [
          'line',
          {
            'data-part': 'needle',
            x1: 70,
            y1: 56,
            x2: 44,
            y2: 56,
            fill: 'none',
            stroke: '#1d2733',
            'stroke-width': 3,
          },
        ],
        ['circle', { 'data-part': null, cx: 70, cy: 56, r: 4, fill: '#1d2733', stroke: null }],
        [
          'text',
          {
            'data-part': 'label',
            x: 70,
            y: 98,
            'text-anchor': 'middle',
            'font-size': 11,
            fill: '#41505f',
          },
        ],
      ],
    ],
    [
      'gas-turbine',
      {},
      [
        [
          'rect',
          {
            'data-part': 'shaft',
            x: 10,
            y: 54.4,
            width: 120,
            height: 11.2,
            fill: '#b8c1ca',
            stroke: '#8a9099',
            'stroke-width': null,
          },
        ],
        [
          'path',
          {
            'data-part': 'compressor',
            d: ['M', 10, 39.2, 'L', 53.2, 20, 'L', 53.2, 100, 'L', 10, 80.8, 'Z'],
            fill: '#dce3ea',
            ...outline,
          },
        ],
        [
          'rect',
          {
            'data-part': 'combustor',
            x: 53.2,
            y: 28,
            width: 33.6,
            height: 64,
            rx: 9.6,
            fill: '#f2d9c4',
            ...outline,
          },
        ],
        [
          'path',
          {
            'data-part': 'flame',
            d: ['M', 65.968, 72.8, 'Q', 70, 53.6, 74.032, 72.8, 'Q', 70, 89.6, 65.968, 72.8, 'Z'],
            fill: '#e8873a',
            stroke: null,
            visibility: 'hidden',
          },
        ],
        [
          'path',
          {
            'data-part': 'turbine',
            d: ['M', 86.8, 20, 'L', 130, 39.2, 'L', 130, 80.8, 'L', 86.8, 100, 'Z'],
            fill: '#dce3ea',
            ...outline,
          },
        ],
      ],
    ],
    [
      'boiler',
      {},
      [
        [
          'rect',
          {
            'data-part': 'body',
            x: 10,
            y: 20,
            width: 120,
            height: 80,
            rx: 8,
            fill: '#eef1f4',
            ...outline,
          },
        ],
        [
          'rect',
          {
            'data-part': 'furnace',
            x: 22,
            y: 26.4,
            width: 96,
            height: 48,
            rx: 4,
            fill: '#f6e2d2',
            stroke: '#c9b4a2',
            'stroke-width': null,
          },
        ],
        [
          'path',
          {
            'data-part': 'flame',
            d: ['M', 58, 85.6, 'Q', 70, 69.6, 82, 85.6, 'Q', 70, 89.6, 58, 85.6, 'Z'],
            fill: '#e8873a',
            stroke: null,
            visibility: 'hidden',
          },
        ],
      ],
    ],
    [
      'generator',
      {},
      [
        ['circle', { 'data-part': 'body', cx: 70, cy: 60, r: 38, fill: '#eef1f4', ...outline }],
        [
          'path',
          {
            'data-part': 'wave',
            d: ['M', 52.9, 60, 'q', 8.55, -17.1, 17.1, 0, 'q', 8.55, 17.1, 17.1, 0],
            fill: 'none',
            stroke: '#41505f',
            'stroke-width': 3,
          },
        ],
      ],
    ],
    [
      'heat-exchanger',
      {},
      [
        [
          'rect',
          {
            'data-part': 'body',
            x: 10,
            y: 20,
            width: 120,
            height: 80,
            rx: 6,
            fill: '#e7ebef',
            ...outline,
          },
        ],
        [
          'path',
          {
            'data-part': 'coil',
            d: [
              ...['M', 23.2, 34.4, 'L', 116.8, 42.4],
              ...['M', 23.2, 51.2, 'L', 116.8, 59.2],
              ...['M', 23.2, 68, 'L', 116.8, 76],
              ...['M', 23.2, 84.8, 'L', 116.8, 92.8],
            ],
            fill: 'none',
            stroke: '#8a9099',
            'stroke-width': 3,
          },
        ],
      ],
    ],
  ];

  it.each(cases)('draws %s as one group of its shapes in order', (symbolId, extra, shapes) => {
    const { node } = draw(symbolElement(symbolId, extra));
    const group = node.firstElementChild;
    expect(node.children).toHaveLength(1);
    expect(group?.tagName).toBe('g');
    expect(group?.children).toHaveLength(shapes.length);
    shapes.forEach(([tag, attrs], i) => expectShape(group?.children[i], tag, attrs));
  });

  it('writes the captions from params.label', () => {
    expect(
      draw(symbolElement('indicator-box', { params: { label: 'Норма' } })).part('label'),
    ).toHaveTextContent(/^Норма$/);
    expect(
      draw(symbolElement('gauge', { params: { label: 'P, бар' } })).part('label'),
    ).toHaveTextContent(/^P, бар$/);
  });

  it.each([
    ['at max', 100, [96, 56]],
    ['above max', 150, [96, 56]],
    ['at min', 0, [44, 56]],
    ['below min', -5, [44, 56]],
  ])('puts the warning arc start %s at the scale end', (_, warnFrom, [x, y]) => {
    const { part } = draw(symbolElement('gauge', { params: { warnFrom } }));
    expectShape(part('warn'), 'path', { d: ['M', x, y, 'A', 26, 26, 0, 0, 1, 96, 56] });
  });

  it('draws no warning arc for a warnFrom given as text', () => {
    expect(draw(symbolElement('gauge', { params: { warnFrom: '75' } })).part('warn')).toBeNull();
  });

  it('keeps face radius 4 and scale radius 2 in a tiny gauge', () => {
    const { part } = draw(symbolElement('gauge', { x: 0, y: 0, width: 6, height: 6 }));
    expectShape(part('face'), 'circle', { cx: 3, cy: 2.7, r: 4 });
    expectShape(part('scale'), 'path', { d: ['M', 1, 2.7, 'A', 2, 2, 0, 0, 1, 5, 2.7] });
  });
});

describe('fills', () => {
  // Parts coloured by the element's base fill at render, and by a resolved
  // style's fill in update; every other part keeps its own colour.
  const cases: [string, string[], string[]][] = [
    ['tank', [], ['level']],
    ['pump', ['body'], ['body']],
    ['valve', ['wing'], ['wing']],
    ['indicator-box', ['box'], ['box']],
    ['gauge', [], ['face']],
    ['gas-turbine', ['compressor', 'turbine'], ['compressor', 'turbine']],
    ['boiler', ['body'], ['body']],
    ['generator', ['body'], ['body']],
    ['heat-exchanger', ['body'], ['body']],
  ];

  function filledParts(node: Element, colour: string): string[] {
    return Array.from(node.querySelectorAll('[data-part]'))
      .filter((shape) => shape.getAttribute('fill') === colour)
      .map((shape) => shape.getAttribute('data-part') ?? '');
  }

  it.each(cases)(
    '%s takes the base fill on %j and a live fill on %j',
    (symbolId, atRender, live) => {
      const base = draw(symbolElement(symbolId, { style: { fill: '#101010' } }));
      expect(new Set(filledParts(base.node, '#101010'))).toEqual(new Set(atRender));
      // Both valve wings are coloured.
      expect(filledParts(base.node, '#101010')).toHaveLength(
        symbolId === 'valve' ? 2 : atRender.length,
      );

      const { node, update } = draw(symbolElement(symbolId));
      update(point(50), { fill: '#f00000' });
      expect(new Set(filledParts(node, '#f00000'))).toEqual(new Set(live));
      update(point(50), {});
      expect(new Set(filledParts(node, '#f00000'))).toEqual(new Set(live));
    },
  );

  it.each(listSymbols().map((entry) => entry.symbolId))(
    '%s skips parts that are not drawn',
    (symbolId) => {
      const definition = findSymbol(symbolId);
      const empty = document.createElementNS('http://www.w3.org/2000/svg', 'g');
      expect(() =>
        definition?.update(empty, point(50), symbolElement(symbolId), {
          fill: '#f00',
          flow: true,
          text: 'x',
        }),
      ).not.toThrow();
    },
  );
});

describe('tank level', () => {
  it.each([
    ['half way', point(50), undefined, 40],
    ['in its own range', point(70), { min: 20, max: 120 }, 40],
    ['range given as text ignored', point(50), { min: '0', max: '200' }, 40],
    ['above max: full', point(150), undefined, 80],
    ['below min: empty', point(-5), undefined, 0],
    ['min equal to max', point(50), { min: 50, max: 50 }, 0],
    ['a flag', point(true), undefined, 0],
    ['a text', point('50'), undefined, 0],
    ['NaN', point(NaN), undefined, 0],
    ['no value', undefined, undefined, 0],
  ])('%s gives level height %#', (_, value, params, height) => {
    const { part, update } = draw(symbolElement('tank', { params }));
    update(point(25));
    update(value);
    expectShape(part('level'), 'rect', { height, y: 20 + 80 - height, x: 12, width: 116 });
  });
});

describe('gauge needle', () => {
  const start = [44, 56];
  const quarter = [51.615223689149765, 37.615223689149765];
  const top = [70, 30];
  const end = [96, 56];
  it.each([
    ['half way', point(50), undefined, top],
    ['a quarter of its own range', point(45), { min: 20, max: 120 }, quarter],
    ['above max', point(500), undefined, end],
    ['below min', point(-10), undefined, start],
    ['min equal to max', point(50), { min: 5, max: 5 }, start],
    ['a flag', point(true), undefined, start],
    ['a text', point('50'), undefined, start],
    ['no value', undefined, { min: 20, max: 120 }, start],
  ])('%s', (_, value, params, [x2, y2]) => {
    const { part, update } = draw(symbolElement('gauge', { params }));
    update(point(75));
    update(value);
    expectShape(part('needle'), 'line', { x1: 70, y1: 56, x2, y2 });
  });
});

describe('status-box caption', () => {
  it.each([
    ['an empty style text', { text: '' }, { label: 'Норма' }, ''],
    ['the style text', { text: 'Авария' }, { label: 'Норма' }, 'Авария'],
    ['params.label without style text', {}, { label: 'Норма' }, 'Норма'],
    [
      'a null style text as absent',
      { text: null as unknown as string },
      { label: 'Норма' },
      'Норма',
    ],
    ['nothing for a label that is not a text', {}, { label: 5 }, ''],
    ['nothing without params', {}, undefined, ''],
  ])('shows %s', (_, style, params, caption) => {
    const { part, update } = draw(symbolElement('indicator-box', { params }));
    update(undefined, { text: 'старое' });
    update(point(true), style);
    expect(part('label')?.textContent).toBe(caption);
  });
});

describe('flames', () => {
  it.each(
    ['gas-turbine', 'boiler'].flatMap((symbolId) =>
      [
        [true, 'visible'],
        [false, 'hidden'],
        ['true', 'hidden'],
        [1, 'hidden'],
        [undefined, 'hidden'],
      ].map(([flow, visibility]) => [symbolId, flow, visibility] as const),
    ),
  )('%s with flow %j is %s', (symbolId, flow, visibility) => {
    const { part, update } = draw(symbolElement(symbolId));
    update(undefined, { flow: true });
    update(point(true), { flow: flow as boolean });
    expect(part('flame')?.getAttribute('visibility')).toBe(visibility);
  });
});
