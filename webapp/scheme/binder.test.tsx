import { render } from '@testing-library/react';
import type { DataSource, PointValue } from '../data';
import { findSymbol, registerSymbol } from '../symbols';
import { applyElement, createBinder } from './binder';
import type { ElementNode, NodeMap } from './binder';
import type { ElementStyle, Scheme, SchemeElement } from './types';

const SVG = 'http://www.w3.org/2000/svg';

function point(id: string, value: unknown): PointValue {
  return { id, value: value as number, status: 'good', timestamp: 0 };
}

function element(
  fields: Partial<SchemeElement> & Pick<SchemeElement, 'id' | 'type'>,
): SchemeElement {
  return { x: 0, y: 0, width: 40, height: 20, style: {}, ...fields };
}

// A minimal stand-in for what the renderer draws: the element's top node with
// the renderer's defaults, and for symbols the symbol's own drawing.
function drawNode(el: SchemeElement): Element {
  switch (el.type) {
    case 'symbol': {
      const { container } = render(
        <svg>
          <g data-element-id={el.id}>{findSymbol(el.symbolId)?.render(el)}</g>
        </svg>,
      );
      return container.querySelector('g') as Element;
    }
    case 'text':
    case 'value': {
      const text = document.createElementNS(SVG, 'text');
      text.textContent = el.type === 'text' ? (el.content ?? '') : 'drawn';
      return text;
    }
    case 'polyline': {
      const line = document.createElementNS(SVG, 'polyline');
      line.setAttribute('class', 'mnemo-pipe');
      return line;
    }
    default: {
      const rect = document.createElementNS(SVG, 'rect');
      rect.setAttribute('fill', el.style.fill ?? 'none');
      return rect;
    }
  }
}

function nodeMapOf(elements: SchemeElement[]): NodeMap {
  const map: NodeMap = new Map();
  for (const el of elements) map.set(el.id, { node: drawNode(el), element: el });
  return map;
}

// A data source that delivers only what the test pushes and answers reads
// from `current` when the test says so.
function fakeSource(current: PointValue[] = []) {
  const log: string[] = [];
  const subscribers = new Set<{ ids: Set<string>; callback: (values: PointValue[]) => void }>();
  const pendingReads: (() => void)[] = [];
  const source: DataSource = {
    subscribe(ids, callback) {
      log.push(`subscribe ${ids.join(',')}`);
      const subscriber = { ids: new Set(ids), callback };
      subscribers.add(subscriber);
      return () => {
        log.push('unsubscribe');
        subscribers.delete(subscriber);
      };
    },
    read(ids) {
      log.push(`read ${ids.join(',')}`);
      return new Promise((resolve) => {
        pendingReads.push(() => resolve(current.filter((value) => ids.includes(value.id))));
      });
    },
    listPoints: () => Promise.resolve([]),
    writeCommand: () => Promise.resolve(),
    getHistory: () => Promise.resolve([]),
    subscribeEvents: () => () => {},
  };
  return {
    source,
    log,
    push(values: PointValue[]) {
      for (const { ids, callback } of [...subscribers]) {
        const mine = values.filter((value) => ids.has(value.id));
        if (mine.length > 0) callback(mine);
      }
    },
    async answerReads() {
      pendingReads.splice(0).forEach((answer) => answer());
      await new Promise((resolve) => setTimeout(resolve, 0));
    },
  };
}

function scheme(elements: SchemeElement[]): Scheme {
  return {
    schemaVersion: 1,
    id: 'test',
    name: 'Тест',
    size: { width: 100, height: 100 },
    elements,
  };
}

const alarmRule = {
  when: { field: 'value' as const, op: 'gte' as const, value: 70 },
  set: { fill: '#d04545', blink: true },
};

describe('applyElement', () => {
  function applied(el: SchemeElement, values: (PointValue | undefined)[]): Element {
    const node = drawNode(el);
    for (const value of values) applyElement(node, el, value);
    return node;
  }

  it('writes the value text of a value element', () => {
    const el = element({ id: 'v', type: 'value', fractionDigits: 1, suffix: ' %' });
    expect(applied(el, [point('P', 61.25)]).textContent).toBe('61.3 %');
    expect(applied(el, [point('P', 61.25), undefined]).textContent).toBe('— %');
  });

  it('touches the node only where a repeated value changes something', async () => {
    const el = element({
      id: 'v',
      type: 'value',
      style: { fill: '#111' },
      conditions: [alarmRule],
    });
    const node = applied(el, [point('P', 50)]);
    const records: MutationRecord[] = [];
    const observer = new MutationObserver((list) => records.push(...list));
    observer.observe(node, {
      attributes: true,
      childList: true,
      characterData: true,
      subtree: true,
    });

    applyElement(node, el, point('P', 50));
    await Promise.resolve();
    expect(records).toEqual([]);

    applyElement(node, el, point('P', 80));
    await Promise.resolve();
    observer.disconnect();
    expect(records.map((r) => r.attributeName ?? r.type).sort()).toEqual([
      'childList',
      'class',
      'fill',
    ]);
    expect(node).toHaveAttribute('fill', '#d04545');
    expect(node.textContent).toBe('80');
  });

  it.each([
    ['keeps a rule text after the rule stops holding', {}, ['АВАРИЯ', 'АВАРИЯ']],
    ['returns to a base text of its own', { text: 'Норма' }, ['АВАРИЯ', 'Норма']],
  ])('%s', (_, style: ElementStyle, [during, after]) => {
    const el = element({
      id: 't',
      type: 'text',
      content: 'исходный',
      style,
      conditions: [{ when: { field: 'value', op: 'eq', value: true }, set: { text: 'АВАРИЯ' } }],
    });
    expect(applied(el, [point('P', true)]).textContent).toBe(during);
    expect(applied(el, [point('P', true), point('P', false)]).textContent).toBe(after);
  });

  it('leaves a text without a style text as drawn', () => {
    expect(
      applied(element({ id: 't', type: 'text', content: 'Насос 1' }), [undefined]).textContent,
    ).toBe('Насос 1');
  });

  it.each([
    ['keeps a rule fill when nothing is present to write back', {}, '#d04545'],
    ['returns to its base fill', { fill: '#9aa5b1' }, '#9aa5b1'],
  ])('a rectangle %s', (_, style: ElementStyle, after) => {
    const el = element({ id: 'r', type: 'rect', style, conditions: [alarmRule] });
    const node = applied(el, [point('P', 80)]);
    expect(node).toHaveAttribute('fill', '#d04545');
    expect(node.classList.contains('mnemo-blink')).toBe(true);
    applyElement(node, el, point('P', 10));
    expect(node).toHaveAttribute('fill', after);
    expect(node.classList.contains('mnemo-blink')).toBe(false);
  });

  it.each([
    [true, true],
    [false, false],
    ['true', false],
  ])('marks a pipe with flow %j as flowing: %s', (flow, marked) => {
    const el = element({
      id: 'pipe',
      type: 'polyline',
      points: [0, 0, 10, 0],
      conditions: [
        { when: { field: 'value', op: 'eq', value: true }, set: { flow: flow as boolean } },
      ],
    });
    const node = applied(el, [point('P', true)]);
    expect(node.classList.contains('mnemo-flow')).toBe(marked);
    expect(node.classList.contains('mnemo-pipe')).toBe(true);
  });

  it('updates a symbol with the value and the resolved style', () => {
    const el = element({
      id: 'tank',
      type: 'symbol',
      symbolId: 'tank',
      height: 100,
      conditions: [alarmRule],
    });
    const node = applied(el, [point('LT-101', 75)]);
    const level = node.querySelector('[data-part="level"]');
    expect(level).toHaveAttribute('height', '75');
    expect(level).toHaveAttribute('fill', '#d04545');
  });

  it('writes only the style of a symbol that is not registered', () => {
    const el = element({
      id: 's',
      type: 'symbol',
      symbolId: 'compressor',
      style: { visible: false },
    });
    const node = document.createElementNS(SVG, 'g');
    expect(() => applyElement(node, el, point('P', 1))).not.toThrow();
    expect(node).toHaveAttribute('visibility', 'hidden');
  });
});

describe('createBinder', () => {
  const calls: string[] = [];
  beforeAll(() => {
    // A symbol that records the order of its updates.
    registerSymbol('test-probe', {
      label: 'Проба',
      category: 'Тест',
      defaultSize: { width: 10, height: 10 },
      render: () => <g />,
      update: (_node, value, el, style) =>
        calls.push(
          `${el.id}=${value === undefined ? '-' : String(value.value)}${style.fill ?? ''}`,
        ),
    });
  });
  beforeEach(() => {
    calls.length = 0;
  });

  function fixture() {
    const elements = [
      element({ id: 'level', type: 'value', pointId: 'LT-101', suffix: ' %', fractionDigits: 1 }),
      element({
        id: 'probe-a',
        type: 'symbol',
        symbolId: 'test-probe',
        pointId: 'LT-101',
        conditions: [alarmRule],
      }),
      element({ id: 'lamp', type: 'indicator', pointId: 'NS-101', style: { fill: '#9aa5b1' } }),
      element({ id: 'ghost', type: 'value', pointId: 'XX-999', prefix: 'X=' }),
      element({ id: 'hidden', type: 'rect', style: { visible: false, blink: true } }),
      element({ id: 'caption', type: 'text', content: 'исходный', style: { text: 'Норма' } }),
      element({ id: 'probe-b', type: 'symbol', symbolId: 'test-probe', pointId: 'LT-101' }),
      element({ id: 'undrawn', type: 'value', pointId: 'NS-101' }),
    ];
    const nodes = nodeMapOf(elements);
    nodes.delete('undrawn');
    const data = fakeSource([point('LT-101', 42), point('NS-101', true)]);
    const binder = createBinder(scheme(elements), data.source, nodes);
    const node = (id: string) => (nodes.get(id) as ElementNode).node;
    return { binder, data, node, nodes };
  }

  it('writes the base look of every drawn element before subscribing, then reads once', () => {
    const { binder, data, node } = fixture();
    const seenAtSubscribe: string[] = [];
    const subscribe = data.source.subscribe.bind(data.source);
    data.source.subscribe = (ids, callback) => {
      seenAtSubscribe.push(node('level').textContent ?? '');
      return subscribe(ids, callback);
    };

    binder.start();

    expect(seenAtSubscribe).toEqual(['— %']);
    expect(data.log).toEqual(['subscribe LT-101,NS-101,XX-999', 'read LT-101,NS-101,XX-999']);
    expect(node('ghost').textContent).toBe('X=—');
    expect(node('hidden')).toHaveAttribute('visibility', 'hidden');
    expect(node('hidden').classList.contains('mnemo-blink')).toBe(true);
    expect(node('caption').textContent).toBe('Норма');
    expect(node('lamp')).toHaveAttribute('fill', '#9aa5b1');
    expect(calls).toEqual(['probe-a=-', 'probe-b=-']);
  });

  it('delivers the read answer and every update, in scheme order per point', async () => {
    const { binder, data, node } = fixture();
    binder.start();
    calls.length = 0;

    await data.answerReads();
    expect(node('level').textContent).toBe('42.0 %');
    expect(calls).toEqual(['probe-a=42', 'probe-b=42']);

    data.push([point('NS-101', false), point('LT-101', 75), point('LT-101', 71.25)]);
    expect(calls).toEqual([
      'probe-a=42',
      'probe-b=42',
      'probe-a=75#d04545',
      'probe-b=75',
      'probe-a=71.25#d04545',
      'probe-b=71.25',
    ]);
    expect(node('level').textContent).toBe('71.3 %');
    expect(node('lamp')).toHaveAttribute('fill', '#9aa5b1');
    expect(node('ghost').textContent).toBe('X=—');
  });

  it('passes by values of points that no element is bound to', () => {
    const { binder, data, node } = fixture();
    binder.start();
    data.push([point('PT-201', 5)]);
    expect(node('level').textContent).toBe('— %');
  });

  it('subscribes and reads even without bound points', async () => {
    const rect = element({ id: 'r', type: 'rect', style: { opacity: 0.5 } });
    const nodes = nodeMapOf([rect]);
    const data = fakeSource();
    createBinder(scheme([rect]), data.source, nodes).start();
    await data.answerReads();
    expect(data.log).toEqual(['subscribe ', 'read ']);
    expect(nodes.get('r')?.node).toHaveAttribute('opacity', '0.5');
  });

  it('stops once, after which neither updates nor a late read answer reach the nodes', async () => {
    const { binder, data, node } = fixture();
    binder.start();
    binder.stop();
    binder.stop();
    expect(data.log.filter((entry) => entry === 'unsubscribe')).toHaveLength(1);

    await data.answerReads();
    data.push([point('LT-101', 80)]);
    expect(node('level').textContent).toBe('— %');
    expect(calls).toEqual(['probe-a=-', 'probe-b=-']);
  });

  it('does not subscribe twice when started twice', () => {
    const { binder, data } = fixture();
    binder.start();
    binder.start();
    data.push([point('LT-101', 10)]);
    expect(data.log.filter((entry) => entry.startsWith('subscribe'))).toHaveLength(1);
    expect(calls.filter((call) => call === 'probe-a=10')).toHaveLength(1);
  });
});
