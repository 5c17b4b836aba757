import { render, screen } from '@testing-library/react';
import { vi } from 'vitest';
import type { DataSource } from '../data';
import type { Scheme } from '../scheme';
import { NO_ALARMS } from '../station';
import { alarm, fakeAlarmClient } from './alarms.fixture';
import { RuntimeView } from './RuntimeView';

const dataSource: DataSource = {
  subscribe: () => () => {},
  read: () => Promise.resolve([]),
  listPoints: () => Promise.resolve([]),
  writeCommand: () => Promise.resolve(),
  getHistory: () => Promise.resolve([]),
  subscribeEvents: () => () => {},
};

const scheme: Scheme = {
  schemaVersion: 1,
  id: 's',
  name: 'S',
  size: { width: 300, height: 200 },
  elements: [
    { id: 'tank', type: 'rect', x: 10, y: 40, width: 40, height: 20, style: {}, pointId: 'LT-101' },
    {
      id: 'level',
      type: 'value',
      x: 100,
      y: 40,
      width: 40,
      height: 20,
      style: {},
      pointId: 'LT-101',
    },
    // A symbol is drawn as a group, here turned: its mark goes by the turned box.
    {
      id: 'pump',
      type: 'symbol',
      symbolId: 'no-such-symbol',
      x: 200,
      y: 100,
      width: 40,
      height: 20,
      rotation: 90,
      style: {},
      pointId: 'NS-101',
    },
    { id: 'plain', type: 'rect', x: 10, y: 100, width: 40, height: 20, style: {} },
  ],
};

const mark = (id: string) => screen.queryByTestId(`alarm-mark-${id}`);
const marks = () =>
  [...document.querySelectorAll('.alarm-mark')].map((node) => node.getAttribute('data-testid'));

describe('RuntimeView alarm marks', () => {
  afterEach(() => {
    vi.unstubAllGlobals();
    vi.restoreAllMocks();
  });

  it.each([
    ['without a client', undefined],
    ['with a client that is not available', NO_ALARMS],
    ['with a client and no alarms', fakeAlarmClient().client],
  ])('adds nothing to the drawing %s', (_name, alarms) => {
    const { container } = render(
      <RuntimeView scheme={scheme} dataSource={dataSource} alarms={alarms} />,
    );
    expect(container.querySelectorAll('svg > *')).toHaveLength(scheme.elements.length);
    expect(screen.queryByTestId('alarm-marks')).toBeNull();
  });

  it('follows the snapshot: marks appear on every element of the point, change in place and go', () => {
    const alarms = fakeAlarmClient();
    render(<RuntimeView scheme={scheme} dataSource={dataSource} alarms={alarms.client} />);

    alarms.replace([alarm({ id: 'LT-101.hi', priority: 3, message: 'Уровень высокий' })]);
    expect(marks()).toEqual(['alarm-mark-tank', 'alarm-mark-level']);
    const tankMark = mark('tank');
    expect(tankMark).toHaveAttribute('role', 'img');
    expect(tankMark).toHaveAttribute('aria-label', 'Тревога 3 Средняя: Уровень высокий');
    expect(screen.getAllByRole('img', { name: 'Тревога 3 Средняя: Уровень высокий' })).toHaveLength(
      2,
    );

    // A higher alarm of the same point wins; the mark is the same node, redrawn.
    alarms.apply([alarm({ id: 'LT-101.hihi', priority: 1, message: 'Уровень аварийный' })]);
    expect(mark('tank')).toBe(tankMark);
    expect(tankMark).toHaveAttribute('data-priority', '1');
    expect(tankMark).toHaveAttribute('aria-label', 'Тревога 1 Критическая: Уровень аварийный');
    expect(tankMark?.querySelector('text')).toHaveTextContent('1');

    alarms.apply([alarm({ id: 'NS-101.trip', pointId: 'NS-101', priority: 4 })], ['LT-101.hihi']);
    expect(marks()).toEqual(['alarm-mark-tank', 'alarm-mark-level', 'alarm-mark-pump']);
    expect(tankMark).toHaveAttribute('data-priority', '3');

    alarms.apply([alarm({ id: 'LT-101.hi', state: 'normal' })], ['NS-101.trip']);
    expect(marks()).toEqual([]);
  });

  it('blinks on the marker class only while an alarm of the point is unacknowledged', () => {
    const alarms = fakeAlarmClient([alarm({ id: 'hi' })]);
    render(<RuntimeView scheme={scheme} dataSource={dataSource} alarms={alarms.client} />);
    const blinking = () => mark('tank')?.classList.contains('mnemo-blink');

    expect(blinking()).toBe(true);
    alarms.apply([alarm({ id: 'hi', state: 'acknowledged' })]);
    expect(blinking()).toBe(false);
    // A second alarm, lower but not yet seen, blinks the mark again.
    alarms.apply([alarm({ id: 'lo', priority: 4, state: 'returned' })]);
    expect(blinking()).toBe(true);
    expect(mark('tank')).toHaveAttribute('data-priority', '2');
    alarms.apply([alarm({ id: 'lo', priority: 4, state: 'latched' })]);
    expect(blinking()).toBe(false);
  });

  it('places each mark off the top right of the drawn box, turned groups by their bounds', () => {
    const alarms = fakeAlarmClient([alarm({ id: 'a' }), alarm({ id: 'b', pointId: 'NS-101' })]);
    render(<RuntimeView scheme={scheme} dataSource={dataSource} alarms={alarms.client} />);
    expect(mark('tank')).toHaveAttribute('transform', 'translate(51 25) scale(0.875)');
    // The pump's box 200,100 40×20 turned a quarter about its centre covers 210,90 20×40.
    expect(mark('pump')).toHaveAttribute('transform', 'translate(231 75) scale(0.875)');
  });

  it('keeps the marks 14 pixels wide at the stage scale, and when the stage is resized', () => {
    let client = { width: 600, height: 400 };
    vi.spyOn(SVGElement.prototype, 'getBoundingClientRect').mockImplementation(
      () => ({ ...client, x: 0, y: 0, top: 0, left: 0, right: 0, bottom: 0 }) as DOMRect,
    );
    const observed: (() => void)[] = [];
    vi.stubGlobal(
      'ResizeObserver',
      class {
        constructor(callback: () => void) {
          observed.push(callback);
        }
        observe() {}
        disconnect() {}
      },
    );
    const alarms = fakeAlarmClient([alarm({ id: 'a' })]);
    render(<RuntimeView scheme={scheme} dataSource={dataSource} alarms={alarms.client} />);
    expect(mark('tank')).toHaveAttribute('transform', 'translate(50.5 32.5) scale(0.4375)');

    client = { width: 150, height: 100 };
    observed.forEach((callback) => callback());
    expect(mark('tank')).toHaveAttribute('transform', 'translate(52 10) scale(1.75)');
  });

  it('writes into its own layer only, above the elements, and lets clicks through to them', () => {
    const alarms = fakeAlarmClient([alarm({ id: 'a' })]);
    const opened: string[] = [];
    const { container } = render(
      <RuntimeView
        scheme={scheme}
        dataSource={dataSource}
        alarms={alarms.client}
        onPoint={(point) => opened.push(point)}
      />,
    );
    const svg = container.querySelector('svg') as SVGSVGElement;
    const layer = screen.getByTestId('alarm-marks');
    expect(svg.lastChild).toBe(layer);
    expect(layer).toHaveAttribute('pointer-events', 'none');

    const changes = new MutationObserver(() => {});
    changes.observe(svg, { subtree: true, childList: true, attributes: true, characterData: true });
    alarms.apply([alarm({ id: 'b', pointId: 'NS-101', priority: 1 })]);
    alarms.apply([alarm({ id: 'a', state: 'acknowledged' })]);
    const touched = changes.takeRecords().map((record) => record.target);
    expect(touched.length).toBeGreaterThan(0);
    expect(touched.every((node) => layer.contains(node))).toBe(true);

    svg
      .querySelector('[data-element-id="tank"]')
      ?.dispatchEvent(new MouseEvent('click', { bubbles: true }));
    expect(opened).toEqual(['LT-101']);
  });

  it('keeps the layer on top of a redrawn scheme and marks its new elements', () => {
    const alarms = fakeAlarmClient([alarm({ id: 'a' })]);
    const empty: Scheme = { ...scheme, elements: [] };
    const { container, rerender } = render(
      <RuntimeView scheme={empty} dataSource={dataSource} alarms={alarms.client} />,
    );
    expect(marks()).toEqual([]);
    rerender(<RuntimeView scheme={scheme} dataSource={dataSource} alarms={alarms.client} />);
    expect(marks()).toEqual(['alarm-mark-tank', 'alarm-mark-level']);
    expect(container.querySelector('svg')?.lastChild).toBe(screen.getByTestId('alarm-marks'));

    rerender(<RuntimeView scheme={scheme} dataSource={dataSource} />);
    expect(screen.queryByTestId('alarm-marks')).toBeNull();
  });
});
