import { describe, expect, it } from 'vitest';
import type { Scheme, SchemeElement } from './types';
import {
  checkScheme,
  collectPointIds,
  elementTypes,
  requireScheme,
  validateElements,
  validateScheme,
} from './validation';

const rect = (over: Record<string, unknown> = {}): Record<string, unknown> => ({
  id: 'r1',
  type: 'rect',
  x: 0,
  y: 0,
  width: 10,
  height: 10,
  style: {},
  ...over,
});

const scheme = (over: Record<string, unknown> = {}): Record<string, unknown> => ({
  schemaVersion: 1,
  id: 'pump-station',
  name: 'Насосная станция',
  size: { width: 1200, height: 700 },
  elements: [],
  ...over,
});

describe('validateElements', () => {
  it.each<[string, unknown[], string[]]>([
    ['accepts an empty list', [], []],
    [
      'accepts one element of every type with its required fields',
      [
        rect({ id: 'a', rx: 4 }),
        rect({ id: 'b', type: 'text', content: 'Н-1' }),
        rect({ id: 'c', type: 'value', pointId: 'LT-101', fractionDigits: 1 }),
        rect({ id: 'd', type: 'indicator' }),
        rect({ id: 'e', type: 'symbol', symbolId: 'no-such-symbol', params: { min: 0 } }),
        rect({ id: 'f', type: 'polyline', height: 0, points: [0, 0, 10, 0] }),
      ],
      [],
    ],
    [
      'reports non-records by index and checks nothing else for them',
      [null, [], 'rect', 7, rect()],
      [
        'element at index 0 is not an object',
        'element at index 1 is not an object',
        'element at index 2 is not an object',
        'element at index 3 is not an object',
      ],
    ],
    [
      'labels entries without a text id by their index, without duplicates',
      [rect({ id: undefined, type: 'circle' }), rect({ id: 5, type: 'circle' })],
      ['unknown element type on #0: circle', 'unknown element type on #1: circle'],
    ],
    [
      'treats an index label like any other id when looking for duplicates',
      [rect({ id: '#1' }), rect({ id: undefined })],
      ['duplicate element id: #1'],
    ],
    [
      'reports every repeat of an id, the empty id included',
      [rect({ id: '' }), rect({ id: '' }), rect({ id: '' })],
      ['duplicate element id: ', 'duplicate element id: '],
    ],
    [
      'converts any type to text',
      [
        rect({ id: 'a', type: undefined }),
        rect({ id: 'b', type: null }),
        rect({ id: 'c', type: 3 }),
        rect({ id: 'd', type: 'Rect' }),
        rect({ id: 'e', type: Object.create(null) }),
      ],
      [
        'unknown element type on a: undefined',
        'unknown element type on b: null',
        'unknown element type on c: 3',
        'unknown element type on d: Rect',
        'unknown element type on e: [object Object]',
      ],
    ],
    [
      'checks neither content nor points for an unknown type',
      [rect({ type: 'circle', content: 5, points: 'none' })],
      ['unknown element type on r1: circle'],
    ],
    [
      'reports one geometry message for any bad coordinate',
      [
        rect({ id: 'a', x: undefined }),
        rect({ id: 'b', y: '1' }),
        rect({ id: 'c', width: Number.NaN, height: Infinity }),
        rect({ id: 'd', height: null }),
      ],
      [
        'non-finite geometry on element: a',
        'non-finite geometry on element: b',
        'non-finite geometry on element: c',
        'non-finite geometry on element: d',
      ],
    ],
    [
      'needs both sizes to be numbers before reporting a negative one',
      [rect({ id: 'a', width: -5, height: undefined }), rect({ id: 'b', width: -5, height: 0 })],
      ['non-finite geometry on element: a', 'negative size on element: b'],
    ],
    [
      'reports a negative infinite size as both non-finite and negative',
      [rect({ height: -Infinity })],
      ['non-finite geometry on element: r1', 'negative size on element: r1'],
    ],
    [
      'allows negative positions and zero sizes',
      [rect({ x: -20, y: -1.5, width: 0, height: 0 })],
      [],
    ],
    [
      'needs a style record',
      [
        rect({ id: 'a', style: undefined }),
        rect({ id: 'b', style: [] }),
        rect({ id: 'c', style: null }),
      ],
      [
        'style must be an object on element: a',
        'style must be an object on element: b',
        'style must be an object on element: c',
      ],
    ],
    [
      'reports a missing style before missing text content',
      [rect({ type: 'text', style: undefined })],
      ['style must be an object on element: r1', 'text content must be a string on element: r1'],
    ],
    ['accepts empty text content', [rect({ type: 'text', content: '' })], []],
    [
      'needs a points list on a polyline',
      [rect({ type: 'polyline' })],
      ['polyline r1: points must be an array'],
    ],
    [
      'reports a short or odd points list',
      [
        rect({ id: 'a', type: 'polyline', points: [0, 0, 5] }),
        rect({ id: 'b', type: 'polyline', points: [] }),
        rect({ id: 'c', type: 'polyline', points: [0, 0, 5, 5, 6] }),
      ],
      [
        'polyline a: points must be even and >= 4',
        'polyline b: points must be even and >= 4',
        'polyline c: points must be even and >= 4',
      ],
    ],
    [
      'reports the count and the bad entries independently',
      [
        rect({ id: 'a', type: 'polyline', points: [0, 0, 'a'] }),
        rect({ id: 'b', type: 'polyline', points: [0, 0, Number.NaN, 1] }),
        // eslint-disable-next-line no-sparse-arrays
        rect({ id: 'c', type: 'polyline', points: [0, 0, , 1] }),
        rect({ id: 'd', type: 'polyline', points: new Array(4) }),
      ],
      [
        'polyline a: points must be even and >= 4',
        'polyline a: points must be finite numbers',
        'polyline b: points must be finite numbers',
        'polyline c: points must be finite numbers',
        'polyline d: points must be finite numbers',
      ],
    ],
    [
      'reports every problem of one element in order',
      [
        rect({ id: 'x' }),
        {
          id: 'x',
          type: 'polyline',
          x: 'a',
          width: -1,
          height: 2,
          style: 'red',
          points: [1, null],
        },
      ],
      [
        'duplicate element id: x',
        'non-finite geometry on element: x',
        'negative size on element: x',
        'style must be an object on element: x',
        'polyline x: points must be even and >= 4',
        'polyline x: points must be finite numbers',
      ],
    ],
    ['accepts a link to another scheme on any element', [rect({ link: 'heat-point' })], []],
    [
      'refuses a link that is no text, or an empty one, whatever the element type',
      [
        rect({ id: 'a', link: '' }),
        rect({ id: 'b', link: 5 }),
        rect({ id: 'c', link: null }),
        rect({ id: 'd', type: 'circle', link: { id: 'x' } }),
      ],
      [
        'link must be a non-empty string on element: a',
        'link must be a non-empty string on element: b',
        'link must be a non-empty string on element: c',
        'unknown element type on d: circle',
        'link must be a non-empty string on element: d',
      ],
    ],
  ])('%s', (_name, elements, expected) => {
    expect(validateElements(elements)).toEqual(expected);
  });

  it('leaves fields outside the checks alone', () => {
    const element = rect({ rotation: 'x', pointId: 5, conditions: 'none', extra: { a: 1 } });
    const before = structuredClone(element);
    expect(validateElements([element])).toEqual([]);
    expect(element).toEqual(before);
  });

  it('lists the six element types in order', () => {
    expect(elementTypes).toEqual(['rect', 'text', 'value', 'indicator', 'symbol', 'polyline']);
  });
});

describe('validateScheme', () => {
  it.each<[string, Record<string, unknown>, string[]]>([
    ['accepts a good document', scheme({ elements: [rect()] }), []],
    [
      'checks only the version and the elements',
      scheme({ id: '', name: 7, size: null, elements: [rect({ id: 'a' }), rect({ id: 'a' })] }),
      ['duplicate element id: a'],
    ],
    [
      'refuses a version that is not the number 1',
      scheme({ schemaVersion: '1', elements: [null] }),
      ['unsupported schemaVersion: 1', 'element at index 0 is not an object'],
    ],
    [
      'reports a missing version',
      scheme({ schemaVersion: undefined }),
      ['unsupported schemaVersion: undefined'],
    ],
  ])('%s', (_name, document, expected) => {
    expect(validateScheme(document as unknown as Scheme)).toEqual(expected);
  });

  it.each<[string, unknown]>([
    ['nothing', undefined],
    ['null', null],
    ['a list', [rect()]],
    ['a document without elements', scheme({ elements: undefined })],
    ['a document whose elements are a text', scheme({ elements: 'rect' })],
  ])('fails with a type error for %s', (_name, document) => {
    expect(() => validateScheme(document as Scheme)).toThrow(TypeError);
  });
});

describe('checkScheme', () => {
  it('returns the very record it was given on success', () => {
    const document = scheme({ elements: [rect()] });
    const result = checkScheme(document);
    expect(result).toEqual({ scheme: document, errors: [] });
    expect(result.scheme).toBe(document);
  });

  it.each<[string, unknown, string[]]>([
    ['a list', [scheme()], ['scheme must be an object']],
    ['null', null, ['scheme must be an object']],
    ['a text', '{"schemaVersion":1}', ['scheme must be an object']],
    ['a version given as text', scheme({ schemaVersion: '1' }), ['unsupported schemaVersion: 1']],
    ['version 2', scheme({ schemaVersion: 2 }), ['unsupported schemaVersion: 2']],
    ['an empty id', scheme({ id: '' }), ['scheme id must be a non-empty string']],
    ['a numeric id', scheme({ id: 3 }), ['scheme id must be a non-empty string']],
    ['a missing name', scheme({ name: undefined }), ['scheme name must be a non-empty string']],
    ...(
      [
        ['a zero width', { width: 0, height: 10 }],
        ['a negative height', { width: 10, height: -1 }],
        ['a text height', { width: 10, height: '10' }],
        ['an infinite width', { width: Infinity, height: 10 }],
        ['both sizes bad', { width: -1, height: Number.NaN }],
        ['a list size', [10, 10]],
        ['no size', undefined],
      ] as const
    ).map(([name, size]): [string, unknown, string[]] => [
      name,
      scheme({ size }),
      ['scheme size must have positive finite width and height'],
    ]),
    [
      'elements that are not a list',
      scheme({ elements: {} }),
      ['scheme elements must be an array'],
    ],
    [
      'every problem at once, in order',
      { schemaVersion: 0, name: '', size: { width: 1 }, elements: [rect({ type: 'text' })] },
      [
        'unsupported schemaVersion: 0',
        'scheme id must be a non-empty string',
        'scheme name must be a non-empty string',
        'scheme size must have positive finite width and height',
        'text content must be a string on element: r1',
      ],
    ],
  ])('fails for %s', (_name, value, expected) => {
    const result = checkScheme(value);
    expect(result).toEqual({ errors: expected });
    expect('scheme' in result).toBe(false);
  });

  it('can leave the id and the name unchecked', () => {
    const document = scheme({ id: undefined, name: '', size: { width: 0, height: 1 } });
    expect(checkScheme(document, { checkIdentity: false }).errors).toEqual([
      'scheme size must have positive finite width and height',
    ]);
    expect(checkScheme(scheme({ id: undefined }), { checkIdentity: false }).errors).toEqual([]);
  });
});

describe('collectPointIds', () => {
  it('gives each non-empty point id once, in order of first appearance', () => {
    const bound = (pointId?: string): SchemeElement =>
      rect({ id: `e-${pointId}`, pointId }) as unknown as SchemeElement;
    const document = {
      ...scheme(),
      elements: [bound('LT-101'), bound(''), bound(), bound('NS-101'), bound('LT-101')],
    } as Scheme;
    expect(collectPointIds(document)).toEqual(['LT-101', 'NS-101']);
  });
});

describe('requireScheme', () => {
  it('returns a good document as it is', () => {
    const document = scheme();
    expect(requireScheme(document, 'pump-station')).toBe(document);
  });

  it('raises with the registration id and one problem per line', () => {
    const document = scheme({ id: 'other-id', name: '', elements: [null] });
    expect(() => requireScheme(document, 'pump-station')).toThrow(
      new Error(
        'Схема pump-station не читается:\n' +
          'scheme name must be a non-empty string\n' +
          'element at index 0 is not an object',
      ),
    );
  });
});
