// Properties of the reducer over random command sequences and random buffer
// texts. Every state handed to the reducer is deep-frozen, so any write into
// a state, scheme or element throws and fails the property.

import fc from 'fast-check';
import { describe, expect, it } from 'vitest';
import type { Scheme, SchemeElement } from '../../scheme';
import type { AlignMode, ReorderMode } from './arrange';
import { parseElementBuffer, serializeElementBuffer } from './buffer';
import { editorReducer } from './reducer';
import type { EditorAction, EditorState } from './state';
import { deepFreeze, makeState, pipe, rect } from './testFixtures';

const idPool = ['a', 'b', 'c', 'el-1', 'el-2', 'el-4', 'zz'];
const coordinate = fc.integer({ min: -50, max: 200 });
const side = fc.integer({ min: 0, max: 120 });
const someIds = fc.subarray(idPool);

const elementArb: fc.Arbitrary<SchemeElement> = fc.oneof(
  fc
    .tuple(fc.constantFrom(...idPool), coordinate, coordinate, side, side, fc.option(coordinate))
    .map(([id, x, y, w, h, rotation]) =>
      rect(id, x, y, w, h, rotation === null ? {} : { rotation }),
    ),
  fc
    .tuple(fc.constantFrom(...idPool), fc.array(coordinate, { minLength: 2, maxLength: 4 }))
    .map(([id, ys]) =>
      pipe(
        id,
        ys.flatMap((y, i) => [i * 10, y]),
      ),
    ),
);

/** Elements with distinct ids, as a valid buffer or scheme holds them. */
const distinctElements = fc
  .array(elementArb, { maxLength: 5 })
  .map((elements) => elements.filter((e, i) => elements.findIndex((o) => o.id === e.id) === i));

const bufferText = distinctElements.map((elements) => serializeElementBuffer(elements));

/** Stands for "whatever the page clipboard holds when the command runs". */
const FROM_CLIPBOARD = '\u0000clipboard';

const actionArb: fc.Arbitrary<EditorAction> = fc.oneof(
  elementArb.map((element): EditorAction => ({ type: 'add', element })),
  fc
    .tuple(someIds, fc.option(fc.boolean(), { nil: undefined }))
    .map(([ids, additive]): EditorAction => ({ type: 'select', ids, additive })),
  fc
    .tuple(fc.constantFrom(...idPool), fc.option(coordinate, { nil: undefined }), side)
    .map(([id, x, width]): EditorAction => ({
      type: 'update',
      id,
      patch: x === undefined ? { width, style: { stroke: '#ff0000' } } : { x },
    })),
  fc.tuple(someIds, coordinate).map(([ids, y]): EditorAction => ({
    type: 'updateMany',
    ids,
    patch: { y, style: { fill: '#fff' } },
  })),
  fc
    .array(fc.record({ id: fc.constantFrom(...idPool), x: coordinate, y: coordinate }), {
      maxLength: 4,
    })
    .map((positions): EditorAction => ({ type: 'moveTo', positions })),
  fc
    .tuple(fc.constantFrom(...idPool), coordinate, coordinate, coordinate, coordinate)
    .map(([id, x, y, width, height]): EditorAction => ({
      type: 'resizeTo',
      id,
      rect: { x, y, width, height },
    })),
  fc
    .tuple(someIds, fc.integer({ min: -10, max: 10 }), fc.integer({ min: -10, max: 10 }))
    .map(([ids, dx, dy]): EditorAction => ({ type: 'nudge', ids, dx, dy })),
  fc
    .tuple(
      someIds,
      fc.constantFrom<AlignMode>(
        'left',
        'hcenter',
        'right',
        'top',
        'vcenter',
        'bottom',
        'hdistribute',
        'vdistribute',
      ),
    )
    .map(([ids, mode]): EditorAction => ({ type: 'align', ids, mode })),
  fc
    .tuple(someIds, fc.constantFrom<ReorderMode>('front', 'back', 'forward', 'backward'))
    .map(([ids, mode]): EditorAction => ({ type: 'reorder', ids, mode })),
  fc
    .tuple(someIds, fc.constantFrom<1 | -1>(1, -1))
    .map(([ids, direction]): EditorAction => ({ type: 'rotate', ids, direction })),
  someIds.map((ids): EditorAction => ({ type: 'remove', ids })),
  fc.constant<EditorAction>({ type: 'copy' }),
  fc
    .oneof(fc.constant(FROM_CLIPBOARD), bufferText, fc.string({ maxLength: 20 }))
    .map((json): EditorAction => ({ type: 'paste', json })),
  fc
    .tuple(fc.oneof(side, fc.constant(NaN)), fc.oneof(side, fc.constant(Infinity)))
    .map(([width, height]): EditorAction => ({ type: 'setSchemeSize', size: { width, height } })),
  fc
    .constantFrom('Test', 'Котельная', '')
    .map((name): EditorAction => ({ type: 'setSchemeName', name })),
  fc.constantFrom('test', 'boilers').map((id): EditorAction => ({ type: 'setSchemeId', id })),
  fc
    .oneof(fc.integer({ min: -5, max: 20 }), fc.constant(2.5))
    .map((gridSize): EditorAction => ({ type: 'setGrid', gridSize })),
  fc.constant<EditorAction>({ type: 'toggleSnap' }),
  fc
    .double({ min: 0, max: 10, noNaN: true })
    .map((zoom): EditorAction => ({ type: 'setZoom', zoom })),
  distinctElements.map((elements): EditorAction => ({
    type: 'loadScheme',
    scheme: {
      schemaVersion: 1,
      id: 'loaded',
      name: 'L',
      size: { width: 50, height: 50 },
      elements,
    },
  })),
  fc.constant<EditorAction>({ type: 'undo' }),
  fc.constant<EditorAction>({ type: 'redo' }),
  fc
    .tuple(
      fc.constantFrom<'moveVertex' | 'insertVertex'>('moveVertex', 'insertVertex'),
      fc.constantFrom(...idPool),
      fc.integer({ min: -1, max: 4 }),
      coordinate,
      coordinate,
    )
    .map(([type, id, index, x, y]): EditorAction => ({ type, id, index, x, y })),
  fc
    .tuple(fc.constantFrom(...idPool), fc.integer({ min: -1, max: 4 }))
    .map(([id, index]): EditorAction => ({ type: 'removeVertex', id, index })),
);

function resolve(state: EditorState, action: EditorAction): EditorAction {
  return action.type === 'paste' && action.json === FROM_CLIPBOARD
    ? { type: 'paste', json: state.clipboard?.json ?? '' }
    : action;
}

function initialState(): EditorState {
  return makeState([rect('a', 0, 0), pipe('b', [10, 10, 90, 10]), rect('el-1', 50, 50, 30, 30)]);
}

function isPush(before: EditorState, after: EditorState): boolean {
  return (
    after.past.length === before.past.length + 1 &&
    before.past.every((scheme, i) => after.past[i] === scheme) &&
    after.past[before.past.length] === before.scheme &&
    after.future.length === 0
  );
}

const historyless = new Set<EditorAction['type']>([
  'select',
  'setGrid',
  'toggleSnap',
  'setZoom',
  'copy',
]);

/** Checks that past and future changed only as the command's history rule allows. */
function expectHistoryRule(before: EditorState, after: EditorState, action: EditorAction): void {
  const untouched =
    after.scheme === before.scheme && after.past === before.past && after.future === before.future;
  if (historyless.has(action.type)) {
    expect(untouched).toBe(true);
  } else if (action.type === 'undo') {
    expect(before.past.length === 0 ? after === before : after.scheme === before.past.at(-1)).toBe(
      true,
    );
    expect(after.future.length).toBe(
      before.past.length === 0 ? before.future.length : before.future.length + 1,
    );
  } else if (action.type === 'redo') {
    expect(before.future.length === 0 ? after === before : after.scheme === before.future[0]).toBe(
      true,
    );
  } else if (action.type === 'paste') {
    expect(untouched || isPush(before, after)).toBe(true);
  } else {
    expect(after === before || isPush(before, after)).toBe(true);
  }
}

function elementIds(scheme: Scheme): string[] {
  return scheme.elements.map((e) => e.id);
}

describe('reducer invariants', () => {
  it('random command sequences never throw, never write into a state and follow the history rule', () => {
    fc.assert(
      fc.property(fc.array(actionArb, { maxLength: 30 }), (actions) => {
        let state = initialState();
        for (const generated of actions) {
          const action = resolve(state, generated);
          const next = deepFreeze(editorReducer(state, action));
          expectHistoryRule(state, next, action);
          state = next;
        }
      }),
      { numRuns: 200 },
    );
  });

  it('undo after any scheme-changing command restores the previous scheme', () => {
    fc.assert(
      fc.property(fc.array(actionArb, { maxLength: 15 }), actionArb, (prefix, last) => {
        let state = initialState();
        for (const action of prefix) {
          state = deepFreeze(editorReducer(state, resolve(state, action)));
        }
        const changed = deepFreeze(editorReducer(state, resolve(state, last)));
        if (
          last.type !== 'undo' &&
          last.type !== 'redo' &&
          changed.past.length > state.past.length
        ) {
          const undone = editorReducer(changed, { type: 'undo' });
          expect(undone.scheme).toBe(state.scheme);
          expect(undone.past).toEqual(state.past);
        }
      }),
      { numRuns: 200 },
    );
  });

  it('element ids stay unique through any sequence of adds and pastes', () => {
    const addOrPaste = fc.oneof(
      elementArb.map((element): EditorAction => ({ type: 'add', element })),
      bufferText.map((json): EditorAction => ({ type: 'paste', json })),
      fc.constant<EditorAction>({ type: 'paste', json: FROM_CLIPBOARD }),
      someIds.map((ids): EditorAction => ({ type: 'select', ids })),
      fc.constant<EditorAction>({ type: 'copy' }),
    );
    fc.assert(
      fc.property(fc.array(addOrPaste, { maxLength: 25 }), (actions) => {
        let state = initialState();
        for (const action of actions) {
          state = deepFreeze(editorReducer(state, resolve(state, action)));
          const ids = elementIds(state.scheme);
          expect(new Set(ids).size).toBe(ids.length);
        }
      }),
      { numRuns: 200 },
    );
  });
});

describe('pasting untrusted text', () => {
  const validBuffer = distinctElements
    .filter((elements) => elements.length > 0)
    .map((elements) => serializeElementBuffer(elements));

  const mutated = fc.oneof(
    fc.string({ maxLength: 60 }),
    fc.json(),
    fc
      .jsonValue()
      .map((value) => JSON.stringify({ orvo: 'elements', schemaVersion: 1, elements: [value] })),
    fc.tuple(validBuffer, fc.nat(), fc.nat({ max: 20 })).map(([text, at, length]) => {
      const start = at % (text.length + 1);
      return text.slice(0, start) + text.slice(start + length);
    }),
    fc.tuple(validBuffer, fc.nat(), fc.string({ maxLength: 8 })).map(([text, at, insert]) => {
      const start = at % (text.length + 1);
      return text.slice(0, start) + insert + text.slice(start);
    }),
    fc
      .tuple(validBuffer, fc.constantFrom('__proto__', 'constructor', 'prototype'))
      .map(([text, key]) =>
        text
          .replace(/"id":/g, `"${key}": {"polluted": true, "prototype": {"polluted": true}}, "id":`)
          .replace(/"style": \{/g, `"style": {"${key}": {"polluted": true},`),
      ),
    validBuffer,
  );

  it('either pastes cleanly or leaves scheme, history, selection and clipboard fields untouched', () => {
    const before = deepFreeze({
      ...initialState(),
      selectedIds: ['a'],
      past: [makeState([]).scheme],
      clipboard: { json: 'copied' },
      lastPaste: { json: 'earlier', offset: 10 },
    });
    fc.assert(
      fc.property(mutated, (json) => {
        const parsed = parseElementBuffer(json);
        const usable = parsed.ok && parsed.elements.length > 0;
        const after = deepFreeze(editorReducer(before, { type: 'paste', json }));
        expect(after.scheme !== before.scheme).toBe(usable);
        if (!usable) {
          expect(after.clipboardError).toBe(
            json === '' || parsed.ok ? 'Буфер пуст' : parsed.message,
          );
          expect(after).toEqual({ ...before, clipboardError: after.clipboardError });
          expect(after.past).toBe(before.past);
          expect(after.selectedIds).toBe(before.selectedIds);
          expect(after.lastPaste).toBe(before.lastPaste);
          expect(after.clipboard).toBe(before.clipboard);
        } else {
          expect(isPush(before, after)).toBe(true);
          const count = before.scheme.elements.length;
          before.scheme.elements.forEach((e, i) => expect(after.scheme.elements[i]).toBe(e));
          const ids = elementIds(after.scheme);
          expect(new Set(ids).size).toBe(ids.length);
          expect(after.selectedIds).toEqual(ids.slice(count));
          expect(after.clipboardError).toBeUndefined();
          for (const element of after.scheme.elements.slice(count)) {
            expect(Object.getPrototypeOf(element)).toBe(Object.prototype);
            expect(Object.getPrototypeOf(element.style)).toBe(Object.prototype);
            expect(Object.keys(element)).not.toContain('constructor');
          }
        }
        expect(({} as Record<string, unknown>).polluted).toBeUndefined();
      }),
      { numRuns: 300 },
    );
  });
});
