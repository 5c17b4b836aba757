import { describe, expect, it } from 'vitest';
import { isElementBuffer, parseElementBuffer, serializeElementBuffer } from './buffer';
import { editorReducer } from './reducer';
import type { EditorAction, EditorState } from './state';
import { deepFreeze, ids, makeState, pipe, rect } from './testFixtures';

function buffer(body: Record<string, unknown>): string {
  return JSON.stringify({ orvo: 'elements', schemaVersion: 1, elements: [], ...body });
}

describe('serializeElementBuffer', () => {
  it('writes the marker, the version and the elements indented by two spaces', () => {
    const text = serializeElementBuffer([
      { id: 'a', type: 'rect', x: 0, y: 0.5, width: 40, height: 10, style: {} },
      pipe('p', [0, 0, 8, 0]),
    ]);
    expect(text).toBe(
      [
        '{',
        '  "orvo": "elements",',
        '  "schemaVersion": 1,',
        '  "elements": [',
        '    {',
        '      "id": "a",',
        '      "type": "rect",',
        '      "x": 0,',
        '      "y": 0.5,',
        '      "width": 40,',
        '      "height": 10,',
        '      "style": {}',
        '    },',
        '    {',
        '      "id": "p",',
        '      "type": "polyline",',
        '      "points": [',
        '        0,',
        '        0,',
        '        8,',
        '        0',
        '      ],',
        '      "x": 0,',
        '      "y": 0,',
        '      "width": 8,',
        '      "height": 0,',
        '      "style": {',
        '        "stroke": "#4a8f4a",',
        '        "strokeWidth": 4',
        '      }',
        '    }',
        '  ]',
        '}',
      ].join('\n'),
    );
    expect(isElementBuffer(text)).toBe(true);
  });

  it('writes an empty list as [] and leaves absent fields out', () => {
    const text = serializeElementBuffer([]);
    expect(text).toBe('{\n  "orvo": "elements",\n  "schemaVersion": 1,\n  "elements": []\n}');
    expect(serializeElementBuffer([rect('a', 0, 0, 1, 1, { pointId: undefined })])).not.toContain(
      'pointId',
    );
  });
});

describe('isElementBuffer', () => {
  it.each([
    ['prose that mentions the quoted key', 'see the "orvo" key', true],
    ['compact buffer', '{"orvo":"elements"}', true],
    ['the key without quotes', 'orvo elements', false],
    ['single quotes', "{'orvo': 1}", false],
    ['empty text', '', false],
  ])('%s: %s', (_, text, expected) => {
    expect(isElementBuffer(text)).toBe(expected);
  });
});

describe('parseElementBuffer', () => {
  it.each([
    ['a plain word', 'hello', 'Буфер не содержит JSON'],
    ['an empty text', '', 'Буфер не содержит JSON'],
    ['a list', '[]', 'JSON не похож на буфер элементов схемы'],
    ['an empty record', '{}', 'JSON не похож на буфер элементов схемы'],
    ['null', 'null', 'JSON не похож на буфер элементов схемы'],
    ['a number', '5', 'JSON не похож на буфер элементов схемы'],
    ['a wrong marker', buffer({ orvo: 'scheme' }), 'JSON не похож на буфер элементов схемы'],
    ['elements not a list', buffer({ elements: {} }), 'JSON не похож на буфер элементов схемы'],
    [
      'a wrong version and no marker',
      buffer({ orvo: 1, schemaVersion: 2 }),
      'JSON не похож на буфер элементов схемы',
    ],
    ['version 2', buffer({ schemaVersion: 2 }), 'Неподдерживаемая версия буфера: 2'],
    ['version as text', buffer({ schemaVersion: '1' }), 'Неподдерживаемая версия буфера: 1'],
    [
      'no version',
      '{"orvo":"elements","elements":[]}',
      'Неподдерживаемая версия буфера: undefined',
    ],
    [
      'a version record that cannot be turned into text',
      buffer({ schemaVersion: { toString: 1 } }),
      'Неподдерживаемая версия буфера: {"toString":1}',
    ],
    [
      'elements failing validation',
      buffer({ elements: [{ id: 'a', type: 'circle', x: 0, y: 0, width: 1, height: 1 }, 7] }),
      'Элементы не прошли проверку: unknown element type on a: circle; ' +
        'style must be an object on element: a; element at index 1 is not an object',
    ],
    [
      'a wrong version with invalid elements',
      buffer({ schemaVersion: 3, elements: [7] }),
      'Неподдерживаемая версия буфера: 3',
    ],
    [
      'a text nested deeper than any element',
      buffer({ elements: [rect('a', 0, 0, 1, 1, { params: { d: '[]'.repeat(1) } })] }).replace(
        '"d":"[]"',
        `"d":${'['.repeat(100_000)}${']'.repeat(100_000)}`,
      ),
      'JSON не похож на буфер элементов схемы',
    ],
  ])('refuses %s', (_, text, message) => {
    expect(parseElementBuffer(text)).toEqual({ ok: false, message });
  });

  it('returns the records as they stand, ids and unknown fields included', () => {
    const elements = [rect('x', 1, 2, 3, 4, { rotation: 30 }), pipe('p', [0, 0, 8, 0])];
    const result = parseElementBuffer(
      buffer({ elements: elements.map((e) => ({ ...e, extra: [1] })) }),
    );
    expect(result).toEqual({ ok: true, elements: elements.map((e) => ({ ...e, extra: [1] })) });
  });

  it('drops keys that could reach a prototype, at any depth', () => {
    const text =
      '{"orvo":"elements","schemaVersion":1,"__proto__":{"polluted":1},"elements":[' +
      '{"id":"a","type":"rect","x":0,"y":0,"width":1,"height":1,' +
      '"style":{"__proto__":{"polluted":1},"fill":"#fff"},"constructor":{"prototype":{"polluted":1}},' +
      '"conditions":[{"when":{"field":"value","op":"eq","value":1},"set":{"__proto__":{"polluted":1}}}]}]}';
    const result = parseElementBuffer(text);
    expect(result.ok).toBe(true);
    if (!result.ok) return;
    const [element] = result.elements;
    expect(Object.keys(element)).not.toContain('constructor');
    expect(Object.getPrototypeOf(element.style)).toBe(Object.prototype);
    expect(Object.keys(element.style)).toEqual(['fill']);
    expect(Object.keys(element.conditions![0].set)).toEqual([]);
    // Merging what came out never reaches a prototype.
    expect(({ ...element.style } as Record<string, unknown>).polluted).toBeUndefined();
    expect(({} as Record<string, unknown>).polluted).toBeUndefined();
  });
});

describe('copy', () => {
  it('puts the selected elements into the page clipboard in element-list order', () => {
    const state = makeState([rect('a'), rect('b'), rect('c')], {
      selectedIds: ['c', 'zz', 'a'],
      clipboardError: 'Буфер пуст',
      lastPaste: { json: 'old', offset: 10 },
    });
    const next = editorReducer(state, { type: 'copy' });
    expect(next.clipboard).toEqual({
      json: serializeElementBuffer([state.scheme.elements[0], state.scheme.elements[2]]),
    });
    expect(next.clipboardError).toBeUndefined();
    expect(next.lastPaste).toBe(state.lastPaste);
    expect(next.scheme).toBe(state.scheme);
  });

  it('keeps the earlier clipboard when nothing selected is found', () => {
    const state = makeState([rect('a')], { selectedIds: ['zz'], clipboard: { json: 'earlier' } });
    expect(editorReducer(state, { type: 'copy' })).toBe(state);
  });
});

describe('paste', () => {
  const paste = (json: string): EditorAction => ({ type: 'paste', json });
  const text = serializeElementBuffer([rect('a', 100, 200), pipe('b', [0, 0, 80, 0])]);

  it('appends copies with fresh ids, moved by one grid step, and selects them', () => {
    const state = makeState([rect('el-1'), rect('el-3')], { selectedIds: ['el-1'] });
    const next = editorReducer(state, paste(text));
    expect(ids(next)).toEqual(['el-1', 'el-3', 'el-2', 'el-4']);
    expect(next.scheme.elements[2]).toMatchObject({ x: 110, y: 210 });
    expect(next.scheme.elements[3]).toMatchObject({ x: 10, y: 10, points: [10, 10, 90, 10] });
    expect(next.selectedIds).toEqual(['el-2', 'el-4']);
    expect(next.past).toEqual([state.scheme]);
    expect(next.lastPaste).toEqual({ json: text, offset: 10 });
  });

  it('gives new ids even when the buffer ids are free', () => {
    const next = editorReducer(makeState([rect('el-1')]), paste(text));
    expect(ids(next)).toEqual(['el-1', 'el-2', 'el-3']);
  });

  it('steps the copies of one text further with every paste, following grid changes', () => {
    const offsets: number[] = [];
    let state = makeState([]);
    const record = (action: EditorAction): void => {
      state = editorReducer(state, action);
      // The first pasted element of either text was stored at x 100, y 200.
      const first = state.scheme.elements.find((e) => e.id === state.selectedIds[0]);
      if (action.type === 'paste') offsets.push(first!.x - 100, first!.y - 200);
    };
    record(paste(text));
    record(paste(text));
    record({ type: 'setGrid', gridSize: 5 });
    record(paste(text));
    expect(offsets).toEqual([10, 10, 20, 20, 25, 25]);

    // Undo keeps the series going; another text starts it again.
    record({ type: 'undo' });
    record(paste(text));
    record(paste(serializeElementBuffer([rect('q', 100, 200)])));
    expect(offsets).toEqual([10, 10, 20, 20, 25, 25, 30, 30, 5, 5]);
  });

  it.each([
    ['an empty text', '', 'Буфер пуст'],
    ['a buffer without elements', serializeElementBuffer([]), 'Буфер пуст'],
    ['prose that mentions the marker', 'the "orvo" key', 'Буфер не содержит JSON'],
    ['a list', '[]', 'JSON не похож на буфер элементов схемы'],
  ])('refuses %s with a message and changes nothing else', (_, json, message) => {
    const state = makeState([rect('a')], {
      selectedIds: ['a'],
      past: [makeState([]).scheme],
      clipboard: { json: 'copied' },
      lastPaste: { json: text, offset: 20 },
    });
    const next = editorReducer(state, paste(json));
    expect(next).toEqual({ ...state, clipboardError: message });
    expect(next.scheme).toBe(state.scheme);
    expect(next.past).toBe(state.past);
    expect(next.selectedIds).toBe(state.selectedIds);
    expect(editorReducer(next, paste(json))).toBe(next);
  });

  it('reports an empty buffer for a paste without text', () => {
    const state: EditorState = makeState([]);
    expect(editorReducer(state, { type: 'paste' }).clipboardError).toBe('Буфер пуст');
  });

  it('clears an earlier message on success', () => {
    const state = deepFreeze(makeState([], { clipboardError: 'Буфер пуст' }));
    expect(editorReducer(state, paste(text)).clipboardError).toBeUndefined();
  });
});
