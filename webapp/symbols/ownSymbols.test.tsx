import { render } from '@testing-library/react';
import { afterEach, describe, expect, it, vi } from 'vitest';
import type { ElementStyle, SchemeElement } from '../scheme';
import {
  findSymbol,
  listSymbols,
  ownSymbolSize,
  parseOwnSymbolListing,
  registerOwnSymbols,
  subscribeSymbols,
} from './index';
import type { OwnSymbolListing } from './index';

const SVG = 'xmlns="http://www.w3.org/2000/svg"';

function listing(name: string, body: string, extra: Partial<OwnSymbolListing> = {}) {
  return {
    name,
    svg: `<svg ${SVG} viewBox="0 0 20 10">${body}</svg>`,
    width: 20,
    height: 10,
    ...extra,
  };
}

const valve = listing(
  'valve',
  '<defs><linearGradient id="shine"><stop offset="0" stop-color="#fff"/></linearGradient></defs>' +
    '<rect data-part="fill" width="10" height="10" fill="#ccc" stroke-width="2"/>' +
    '<rect data-part="fill" x="10" width="10" height="10"/>' +
    '<circle cx="10" cy="5" r="2" fill="url(#shine)"/>' +
    '<text data-part="text" x="10" y="9">V-1</text>',
);

function element(extra: Partial<SchemeElement> = {}): SchemeElement {
  return {
    id: 'el-1',
    type: 'symbol',
    symbolId: 'file:valve',
    x: 100,
    y: 50,
    width: 80,
    height: 40,
    style: {},
    ...extra,
  };
}

function draw(subject: SchemeElement) {
  const definition = findSymbol(subject.symbolId)!;
  const { container } = render(
    <svg>{<g data-element-id="el-1">{definition.render(subject)}</g>}</svg>,
  );
  const node = container.querySelector('[data-element-id]')!;
  const fills = () =>
    Array.from(node.querySelectorAll('[data-part="fill"]'), (n) => n.getAttribute('fill'));
  const text = () => node.querySelector('[data-part="text"]')?.textContent;
  const update = (style: ElementStyle) => definition.update(node, undefined, subject, style);
  return { node, fills, text, update };
}

afterEach(() => registerOwnSymbols([]));

describe('own symbols in the registry', () => {
  it('registers each as "file:<name>" under "Свои символы", after the built-in symbols', () => {
    registerOwnSymbols([valve, listing('big', '', { width: 640, height: 320 })]);
    expect(listSymbols().slice(9)).toEqual([
      {
        symbolId: 'file:valve',
        label: 'valve',
        category: 'Свои символы',
        defaultSize: { width: 24, height: 12 },
      },
      {
        symbolId: 'file:big',
        label: 'big',
        category: 'Свои символы',
        defaultSize: { width: 160, height: 80 },
      },
    ]);
    expect(listSymbols()[0].symbolId).toBe('tank');
  });

  it('follows the listing: new in its order, changed replaced, gone removed, same left alone', () => {
    registerOwnSymbols([valve]);
    const before = findSymbol('file:valve');
    const changes = vi.fn();
    const stop = subscribeSymbols(changes);
    try {
      registerOwnSymbols([valve]);
      expect(changes).not.toHaveBeenCalled();
      expect(findSymbol('file:valve')).toBe(before);

      registerOwnSymbols([listing('alpha', ''), valve]);
      expect(
        listSymbols()
          .slice(9)
          .map((entry) => entry.symbolId),
      ).toEqual(['file:alpha', 'file:valve']);
      expect(findSymbol('file:valve')).toBe(before);

      registerOwnSymbols([listing('alpha', '<circle r="1"/>'), valve]);
      expect(findSymbol('file:alpha')).toBeDefined();
      registerOwnSymbols([valve]);
      expect(findSymbol('file:alpha')).toBeUndefined();
      expect(changes).toHaveBeenCalled();
    } finally {
      stop();
    }
  });

  it('reports a drawing that cannot be read and lists the rest', () => {
    const log = { warn: vi.fn() };
    registerOwnSymbols([{ ...valve, name: 'broken', svg: '<svg' }, valve], log);
    expect(findSymbol('file:broken')).toBeUndefined();
    expect(findSymbol('file:valve')).toBeDefined();
    expect(log.warn).toHaveBeenCalledWith(
      'Own symbol "broken" not listed: its drawing cannot be read',
    );
  });

  it('reads only well-formed entries of the listing', () => {
    const text = JSON.stringify({
      symbols: [
        valve,
        { name: '', svg: '<svg/>', width: 1, height: 1 },
        { name: 'x', svg: 5 },
        null,
      ],
    });
    expect(parseOwnSymbolListing(text)).toEqual([valve]);
    expect(parseOwnSymbolListing('{}')).toEqual([]);
  });

  it.each([
    [48, 24, { width: 48, height: 24 }],
    [8, 4, { width: 24, height: 12 }],
    [1000, 10, { width: 160, height: 2 }],
    [0, Number.NaN, { width: 80, height: 80 }],
  ])('sizes a new element of a %d × %d drawing as %j', (width, height, size) => {
    expect(ownSymbolSize(width, height)).toEqual(size);
  });
});

describe('drawing an own symbol', () => {
  it('scales the drawing into the element box by a nested svg with its viewBox', () => {
    registerOwnSymbols([valve]);
    const { node } = draw(element());
    const nested = node.querySelector('svg')!;
    expect(nested).toHaveAttribute('viewBox', '0 0 20 10');
    expect(nested).toHaveAttribute('x', '100');
    expect(nested).toHaveAttribute('y', '50');
    expect(nested).toHaveAttribute('width', '80');
    expect(nested).toHaveAttribute('height', '40');
    expect(node.querySelector('rect')).toHaveAttribute('stroke-width', '2');
  });

  it('gives ids a prefix of their own and keeps references pointing at them', () => {
    registerOwnSymbols([valve]);
    const { node } = draw(element());
    const id = node.querySelector('linearGradient')!.id;
    expect(id).toMatch(/^own\d+-shine$/);
    expect(node.querySelector('circle')).toHaveAttribute('fill', `url(#${id})`);
  });

  it('draws its parts with the element fill and text, else as the file has them', () => {
    registerOwnSymbols([valve]);
    expect(draw(element()).fills()).toEqual(['#ccc', null]);
    expect(draw(element()).text()).toBe('V-1');
    const styled = draw(element({ style: { fill: '#0a0', text: 'Открыт' } }));
    expect(styled.fills()).toEqual(['#0a0', '#0a0']);
    expect(styled.text()).toBe('Открыт');
    expect(draw(element({ params: { label: 'K-7' } })).text()).toBe('K-7');
  });

  it('follows the rules on update and returns to the drawing when none sets a fill', () => {
    registerOwnSymbols([valve]);
    const { fills, text, update } = draw(element());
    update({ fill: '#d00', text: '' });
    expect(fills()).toEqual(['#d00', '#d00']);
    expect(text()).toBe('');
    update({});
    expect(fills()).toEqual(['#ccc', null]);
    expect(text()).toBe('V-1');
  });

  it('leaves out what the program would never let through', () => {
    registerOwnSymbols([
      listing(
        'sly',
        '<script>window.hit = 1</script><rect onclick="window.hit = 1" width="1" height="1"/>' +
          '<use href="https://example.test/a.svg#b"/><circle fill="url(https://example.test/p)" r="1"/>' +
          '<foreignObject><div xmlns="http://www.w3.org/1999/xhtml">x</div></foreignObject>',
      ),
    ]);
    const { node } = draw(element({ symbolId: 'file:sly' }));
    expect(node.querySelector('script, foreignObject, div')).toBeNull();
    expect(node.querySelector('rect')?.getAttribute('onclick')).toBeNull();
    expect(node.querySelector('use')?.getAttribute('href')).toBeNull();
    expect(node.querySelector('circle')?.getAttribute('fill')).toBeNull();
  });
});
