import { act, render } from '@testing-library/react';
import { afterEach, describe, expect, it, vi } from 'vitest';
import type { DataSource, PointValue } from '../data';
import type { Scheme, SchemeElement } from '../scheme';
import { findSymbol, registerOwnSymbols } from '../symbols';
import { createSchemeDrawing, renderElement, RuntimeView } from '../view';
import {
  followSymbolFolder,
  SYMBOL_FOLDER_ADDRESS,
  SYMBOL_FOLDER_CHANGED_EVENT,
} from './symbolFolder';

const lamp = {
  name: 'lamp',
  svg:
    '<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 10 10" fill="none">' +
    '<circle data-part="fill" cx="5" cy="5" r="4" stroke-width="1.5"/>' +
    '<text data-part="text" x="5" y="6" font-size="3">L</text></svg>',
  width: 10,
  height: 10,
};

const element: SchemeElement = {
  id: 'el-7',
  type: 'symbol',
  symbolId: 'file:lamp',
  x: 10,
  y: 10,
  width: 40,
  height: 40,
  style: { fill: '#fc0' },
};

/** A program whose listing is `files`, and the window it announces changes on. */
function station(files: unknown[] | Error) {
  let answer = files;
  const transport = {
    get: vi.fn(async (address: string) => {
      if (address !== SYMBOL_FOLDER_ADDRESS) throw new Error(`unexpected ${address}`);
      if (answer instanceof Error) throw answer;
      return JSON.stringify({ symbols: answer });
    }),
  };
  const target = new EventTarget();
  const log = { warn: vi.fn() };
  const follower = followSymbolFolder({ transport, target, log });
  return {
    transport,
    log,
    follower,
    change(next: unknown[] | Error) {
      answer = next;
      target.dispatchEvent(new Event(SYMBOL_FOLDER_CHANGED_EVENT));
    },
  };
}

afterEach(() => registerOwnSymbols([]));

describe('the symbol folder', () => {
  it('registers the listed symbols and follows the change event', async () => {
    const { follower, change, transport } = station([lamp]);
    await follower.refresh();
    expect(findSymbol('file:lamp')?.label).toBe('lamp');

    change([]);
    await follower.refresh();
    expect(findSymbol('file:lamp')).toBeUndefined();
    expect(transport.get.mock.calls.length).toBeGreaterThanOrEqual(3);

    follower.stop();
    change([lamp]);
    await follower.refresh();
    // Stopped: only the explicit refresh read it.
    expect(findSymbol('file:lamp')).toBeDefined();
  });

  it('stays quiet without a program and keeps what it had when the folder cannot be read', async () => {
    const { follower, change, log } = station(new Error('URL scheme is not supported'));
    await follower.refresh();
    expect(findSymbol('file:lamp')).toBeUndefined();
    change([lamp]);
    await follower.refresh();
    change(new Error('gone'));
    await follower.refresh();
    expect(findSymbol('file:lamp')).toBeDefined();
    expect(log.warn).not.toHaveBeenCalled();
    follower.stop();
  });

  it('draws the placeholder for an own symbol that is not (or no longer) there', () => {
    const { container } = render(<svg>{renderElement(element, () => {})}</svg>);
    const placeholder = container.querySelector('[data-placeholder="true"]');
    expect(placeholder?.querySelector('text')?.textContent).toBe('file:lamp');
  });

  it('draws the same nodes without React as with it', () => {
    registerOwnSymbols([lamp]);
    const { container } = render(<svg>{renderElement(element, () => {})}</svg>);
    const svg = document.createElementNS('http://www.w3.org/2000/svg', 'svg');
    createSchemeDrawing(svg).draw([element], () => () => {});
    expect(svg.innerHTML).toBe(container.querySelector('svg')!.innerHTML);
    expect(svg.querySelector('circle')).toHaveAttribute('fill', '#fc0');
    expect(svg.querySelector('circle')).toHaveAttribute('stroke-width', '1.5');
  });

  it('redraws a running view when the symbol arrives, and binds it to its rules', () => {
    let deliver: (values: PointValue[]) => void = () => {};
    const source: DataSource = {
      subscribe: (_ids, callback) => {
        deliver = callback;
        return () => {};
      },
      read: () => Promise.resolve([]),
      listPoints: () => Promise.resolve([]),
      writeCommand: () => Promise.resolve(),
      getHistory: () => Promise.resolve([]),
      subscribeEvents: () => () => {},
    };
    const bound: SchemeElement = {
      ...element,
      pointId: 'LT-1',
      conditions: [
        { when: { field: 'value', op: 'gt', value: 5 }, set: { fill: '#d00', text: 'Авария' } },
      ],
    };
    const scheme: Scheme = {
      schemaVersion: 1,
      id: 's',
      name: 'S',
      size: { width: 100, height: 100 },
      elements: [bound],
    };
    const { container } = render(<RuntimeView scheme={scheme} dataSource={source} />);
    expect(container.querySelector('[data-placeholder="true"]')).not.toBeNull();

    act(() => registerOwnSymbols([lamp]));
    expect(container.querySelector('[data-placeholder="true"]')).toBeNull();
    act(() => deliver([{ id: 'LT-1', value: 9, status: 'good', timestamp: 1 }]));
    expect(container.querySelector('[data-part="fill"]')).toHaveAttribute('fill', '#d00');
    expect(container.querySelector('[data-part="text"]')?.textContent).toBe('Авария');
  });
});
