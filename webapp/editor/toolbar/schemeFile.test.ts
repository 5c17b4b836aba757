import { afterEach, describe, expect, it, vi } from 'vitest';
import { pumpStation } from '../../content';
import type { Scheme, SchemeElement } from '../../scheme';
import {
  parseSchemeFile,
  readFileText,
  saveSchemeFile,
  schemeFileName,
  serializeSchemeFile,
} from './schemeFile';

const lamp: SchemeElement = {
  id: 'lamp',
  type: 'indicator',
  x: 1,
  y: 2,
  width: 14,
  height: 14,
  style: { fill: '#9aa5b1' },
  pointId: 'NS-101',
  conditions: [{ when: { field: 'value', op: 'eq', value: true }, set: { fill: '#3fb54a' } }],
};

const small: Scheme = {
  schemaVersion: 1,
  id: 'small',
  name: 'Малая',
  size: { width: 40, height: 30 },
  elements: [lamp],
};

/** A scheme file text holding `small` with the given changes laid over it. */
function fileText(changes: Record<string, unknown>, drop: string[] = []): string {
  const document: Record<string, unknown> = { ...small, ...changes };
  for (const key of drop) delete document[key];
  return JSON.stringify(document);
}

describe('serializeSchemeFile', () => {
  it('writes the whole scheme with two-space indentation, fields in order, no final line feed', () => {
    const text = serializeSchemeFile(small);
    expect(text.split('\n').slice(0, 8)).toEqual([
      '{',
      '  "schemaVersion": 1,',
      '  "id": "small",',
      '  "name": "Малая",',
      '  "size": {',
      '    "width": 40,',
      '    "height": 30',
      '  },',
    ]);
    expect(text.endsWith('}')).toBe(true);
    expect(JSON.parse(text)).toEqual(small);
  });

  it('refuses a scheme that fails its check, with every message', () => {
    const broken = {
      ...small,
      schemaVersion: 2,
      elements: [{ ...lamp, x: Number.NaN }],
    };
    expect(() => serializeSchemeFile(broken)).toThrow(
      'invalid scheme: unsupported schemaVersion: 2; non-finite geometry on element: lamp',
    );
  });
});

describe('schemeFileName', () => {
  it.each([
    ['Насосная станция №1', 'Насосная станция №1.json'],
    ['', 'mnemo.json'],
    ['a/b', 'a/b.json'],
  ])('names the scheme %j as %j', (name, file) => {
    expect(schemeFileName({ name })).toBe(file);
  });
});

describe('parseSchemeFile', () => {
  it('reads back what was saved, the stock pump station included', () => {
    expect(parseSchemeFile(serializeSchemeFile(pumpStation))).toEqual(pumpStation);
    expect(parseSchemeFile(serializeSchemeFile(small))).toEqual(small);
  });

  it('loads a document without id or name', () => {
    const text = fileText({}, ['id', 'name']);
    const scheme = parseSchemeFile(text);
    expect(scheme.elements).toEqual([lamp]);
    expect(schemeFileName(scheme)).toBe('mnemo.json');
  });

  it.each([
    ['text that is no JSON', '{"schemaVersion": 1,', 'invalid JSON'],
    ['a list', '[]', 'invalid scheme: scheme must be an object'],
    ['null', 'null', 'invalid scheme: scheme must be an object'],
    [
      'schema version 2',
      fileText({ schemaVersion: 2 }),
      'invalid scheme: unsupported schemaVersion: 2',
    ],
    [
      'no size',
      fileText({}, ['size']),
      'invalid scheme: scheme size must have positive finite width and height',
    ],
    [
      'elements that are no list',
      fileText({ elements: {} }),
      'invalid scheme: scheme elements must be an array',
    ],
    [
      'a bad version, size and element at once',
      fileText({ schemaVersion: '1', size: { width: 0, height: 1 }, elements: [{ id: 'q' }] }),
      'invalid scheme: unsupported schemaVersion: 1; ' +
        'scheme size must have positive finite width and height; ' +
        'unknown element type on q: undefined; non-finite geometry on element: q; ' +
        'style must be an object on element: q',
    ],
  ])('refuses %s', (_, text, message) => {
    expect(() => parseSchemeFile(text)).toThrow(message);
  });

  it.each([
    ['a record in place of the rule list', { when: {}, set: {} }, 'conditions must be an array'],
    ['null in place of the rule list', null, 'conditions must be an array'],
    ['a rule without set', [{ when: lamp.conditions?.[0].when }], 'condition at index 0'],
    ['a rule whose when is a text', [{ when: 'value > 1', set: {} }], 'condition at index 0'],
    ['a rule that is a list', [lamp.conditions?.[0], []], 'condition at index 1'],
  ])('refuses %s, naming the element', (_, conditions, start) => {
    const text = fileText({ elements: [{ ...lamp, conditions }] });
    expect(() => parseSchemeFile(text)).toThrow(/^invalid scheme: /);
    expect(() => parseSchemeFile(text)).toThrow(start);
    expect(() => parseSchemeFile(text)).toThrow(/on element: lamp$/);
  });

  it('names an element without id by its place', () => {
    const text = fileText({
      elements: [lamp, { ...lamp, id: undefined, conditions: [{ set: {} }] }],
    });
    expect(() => parseSchemeFile(text)).toThrow(
      'invalid scheme: condition at index 0 must have when and set objects on element: #1',
    );
  });

  it('accepts empty rule lists and rules whose set is empty', () => {
    const rule = { when: { field: 'status', op: 'ne', value: 'good' }, set: {} };
    const text = fileText({
      elements: [
        { ...lamp, conditions: [] },
        { ...lamp, id: 'b', conditions: [rule] },
      ],
    });
    expect(parseSchemeFile(text).elements).toHaveLength(2);
  });
});

describe('readFileText', () => {
  afterEach(() => vi.unstubAllGlobals());

  it('reads the file as UTF-8', async () => {
    const bytes = new TextEncoder().encode('{"name":"Насосная станция №1"}');
    expect(await readFileText(new Blob([bytes]))).toBe('{"name":"Насосная станция №1"}');
  });

  it.each([
    [
      'the platform message',
      new DOMException('The file could not be read', 'NotReadableError'),
      'The file could not be read',
    ],
    ['"read error" without one', null, 'read error'],
  ])('fails with %s', async (_, error, message) => {
    class FailingReader {
      error = error;
      result = null;
      onload: (() => void) | null = null;
      onerror: (() => void) | null = null;
      readAsText() {
        setTimeout(() => this.onerror?.());
      }
    }
    vi.stubGlobal('FileReader', FailingReader);
    await expect(readFileText(new Blob(['x']))).rejects.toThrow(message);
  });
});

describe('saveSchemeFile', () => {
  afterEach(() => vi.restoreAllMocks());

  it('offers the text as a JSON download named after the scheme and releases the address', async () => {
    const blobs: Blob[] = [];
    vi.spyOn(URL, 'createObjectURL').mockImplementation((blob) => {
      blobs.push(blob as Blob);
      return 'blob:scheme';
    });
    const revoke = vi.spyOn(URL, 'revokeObjectURL').mockImplementation(() => {});
    const clicks: { href: string; download: string; attached: boolean }[] = [];
    vi.spyOn(HTMLAnchorElement.prototype, 'click').mockImplementation(function (
      this: HTMLAnchorElement,
    ) {
      clicks.push({ href: this.href, download: this.download, attached: this.isConnected });
    });

    saveSchemeFile(pumpStation);

    expect(clicks).toEqual([
      { href: 'blob:scheme', download: 'Насосная станция №1.json', attached: true },
    ]);
    expect(revoke).toHaveBeenCalledWith('blob:scheme');
    expect(blobs[0].type).toBe('application/json');
    expect(await readFileText(blobs[0])).toBe(serializeSchemeFile(pumpStation));
    expect(document.querySelector('a')).toBeNull();
  });
});
