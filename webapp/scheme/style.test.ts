import type { PointValue } from '../data';
import { applyStyle, resolveStyle } from './style';
import type { Condition, ElementStyle, SchemeElement } from './types';

function point(value: unknown): PointValue {
  return { id: 'P-1', value: value as number, status: 'good', timestamp: 0 };
}

function rule(op: string, threshold: unknown, set: ElementStyle): Condition {
  return { when: { field: 'value', op, value: threshold }, set } as Condition;
}

function deepFreeze<T>(value: T): T {
  if (typeof value === 'object' && value !== null) {
    Object.values(value).forEach(deepFreeze);
    Object.freeze(value);
  }
  return value;
}

// Frozen so that any write into the element, its style or its rules throws.
function rectElement(style: ElementStyle, conditions?: unknown): SchemeElement {
  return deepFreeze({
    id: 'r-1',
    type: 'rect',
    x: 0,
    y: 0,
    width: 10,
    height: 10,
    style,
    conditions,
  } as SchemeElement);
}

describe('resolveStyle', () => {
  const rules = [
    rule('gt', 50, { fill: '#ffa500', stroke: '#000000' }),
    rule('lt', 0, { fill: '#0000ff', opacity: 0.2 }),
    rule('gt', 80, { fill: '#ff0000', blink: true }),
  ];
  const base: ElementStyle = { fill: '#cccccc', strokeWidth: 2 };

  it.each([
    ['no rule holds', 20, { fill: '#cccccc', strokeWidth: 2 }],
    ['one rule holds', 60, { fill: '#ffa500', stroke: '#000000', strokeWidth: 2 }],
    [
      'the later of two rules wins and keeps a stroke set only by the earlier',
      90,
      { fill: '#ff0000', stroke: '#000000', strokeWidth: 2, blink: true },
    ],
    ['another single rule holds', -5, { fill: '#0000ff', strokeWidth: 2, opacity: 0.2 }],
  ])('when %s', (_, value, expected) => {
    expect(resolveStyle(rectElement(base, rules), point(value))).toEqual(expected);
  });

  it('gives a new copy of the base style without a value, whatever the rules', () => {
    const element = rectElement(base, [rule('ne', 1, { fill: '#ff0000' })]);
    const style = resolveStyle(element, undefined);
    expect(style).toEqual(base);
    expect(style).not.toBe(element.style);
  });

  it.each([
    ['a rule without when', [{ set: { fill: '#ff0000' } }]],
    ['a rule whose when is a text', [{ when: 'always', set: { fill: '#ff0000' } }]],
    ['a rule whose set is a text', [{ when: { field: 'value', op: 'gt', value: 0 }, set: 'red' }]],
    [
      'a rule whose set is a list',
      [{ when: { field: 'value', op: 'gt', value: 0 }, set: ['#ff0000'] }],
    ],
    ['a rule whose set is null', [{ when: { field: 'value', op: 'gt', value: 0 }, set: null }]],
    ['a rule without set', [{ when: { field: 'value', op: 'gt', value: 0 } }]],
    ['a rule that is null', [null]],
    ['conditions that are not a list', { when: { field: 'value', op: 'gt', value: 0 } }],
  ])('ignores %s', (_, conditions) => {
    expect(resolveStyle(rectElement(base, conditions), point(60))).toEqual(base);
  });

  it('takes the keys of a set read from a file, never its prototype', () => {
    const conditions = JSON.parse(
      '[{"when":{"field":"value","op":"gt","value":0},"set":{"__proto__":{"fill":"#ff0000"},"stroke":"#00ff00"}}]',
    ) as Condition[];
    const style = resolveStyle(rectElement({}, conditions), point(1));
    expect(style).toEqual({ stroke: '#00ff00' });
    expect(style.fill).toBeUndefined();
    expect(Object.getPrototypeOf(style)).toBe(Object.prototype);
  });

  it('starts from nothing when the style is not a record', () => {
    expect(resolveStyle(rectElement(null as unknown as ElementStyle), point(1))).toEqual({});
  });
});

describe('applyStyle', () => {
  function node(): Element {
    const rect = document.createElementNS('http://www.w3.org/2000/svg', 'rect');
    rect.setAttribute('fill', '#abcdef');
    rect.setAttribute('stroke', '#123456');
    rect.setAttribute('class', 'mnemo-pipe');
    return rect;
  }

  it('writes every present key as text', () => {
    const rect = node();
    applyStyle(rect, { fill: '#ff0000', stroke: '#00ff00', strokeWidth: 2.5, opacity: 0.4 });
    expect(rect).toHaveAttribute('fill', '#ff0000');
    expect(rect).toHaveAttribute('stroke', '#00ff00');
    expect(rect).toHaveAttribute('stroke-width', '2.5');
    expect(rect).toHaveAttribute('opacity', '0.4');
    expect(rect).toHaveAttribute('visibility', 'visible');
    expect(rect.getAttribute('class')).toBe('mnemo-pipe');
  });

  it.each([
    ['absent', {}],
    ['null', { fill: null, stroke: null, strokeWidth: null, opacity: null }],
  ])('leaves attributes whose keys are %s as they stand', (_, style) => {
    const rect = node();
    applyStyle(rect, style as unknown as ElementStyle);
    expect(rect).toHaveAttribute('fill', '#abcdef');
    expect(rect).toHaveAttribute('stroke', '#123456');
    expect(rect).not.toHaveAttribute('stroke-width');
    expect(rect).not.toHaveAttribute('opacity');
  });

  it.each([
    [false, 'hidden'],
    [true, 'visible'],
    [undefined, 'visible'],
    ['false', 'visible'],
    [0, 'visible'],
  ])('makes visible %j %s', (visible, visibility) => {
    const rect = node();
    rect.setAttribute('visibility', 'hidden');
    applyStyle(rect, { visible } as ElementStyle);
    expect(rect).toHaveAttribute('visibility', visibility);
  });

  it.each([
    [true, true],
    [false, false],
    [undefined, false],
    ['true', false],
    [1, false],
  ])('marks blink %j as blinking: %s, keeping the other classes', (blink, marked) => {
    const rect = node();
    rect.classList.add('mnemo-blink');
    applyStyle(rect, { blink } as ElementStyle);
    expect(rect.classList.contains('mnemo-blink')).toBe(marked);
    expect(rect.classList.contains('mnemo-pipe')).toBe(true);
  });
});
