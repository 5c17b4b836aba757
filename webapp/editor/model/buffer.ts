// The element clipboard buffer: the JSON text in which copied elements travel
// on the system clipboard. Its text comes from outside the editor and is
// treated as untrusted: the parser never throws, rebuilds every record before
// anything reads it, and drops the keys through which a later merge could
// reach an object's prototype.

import { validateElements } from '../../scheme';
import type { SchemeElement } from '../../scheme';

const MARKER_KEY = 'orvo';
const MARKER_VALUE = 'elements';
const BUFFER_VERSION = 1;

/** Keys that are never carried over from a buffer text. */
const UNSAFE_KEYS: ReadonlySet<string> = new Set(['__proto__', 'constructor', 'prototype']);

/**
 * Deeper than any element record needs. A deeper text is refused, because a
 * record nested that far could not be written out again without overflowing
 * the JSON writer's stack.
 */
export const MAX_BUFFER_DEPTH = 64;

export const BUFFER_MESSAGES = {
  empty: 'Буфер пуст',
  notJson: 'Буфер не содержит JSON',
  notBuffer: 'JSON не похож на буфер элементов схемы',
  version: 'Неподдерживаемая версия буфера: ',
  invalid: 'Элементы не прошли проверку: ',
  failed: 'Не удалось вставить',
} as const;

export type ElementBufferResult =
  { ok: true; elements: SchemeElement[] } | { ok: false; message: string };

export function serializeElementBuffer(elements: readonly SchemeElement[]): string {
  return JSON.stringify(
    { [MARKER_KEY]: MARKER_VALUE, schemaVersion: BUFFER_VERSION, elements },
    null,
    2,
  );
}

/** A quick test for clipboard texts meant for the editor: the quoted marker key anywhere. */
export function isElementBuffer(text: string): boolean {
  return text.includes(`"${MARKER_KEY}"`);
}

const TOO_DEEP = Symbol('too deep');

/**
 * A copy of a parsed JSON value made of fresh plain records and lists, without
 * the unsafe keys; TOO_DEEP when it nests beyond the limit.
 */
function rebuild(value: unknown, depth: number): unknown {
  if (typeof value !== 'object' || value === null) {
    return value;
  }
  if (depth >= MAX_BUFFER_DEPTH) {
    return TOO_DEEP;
  }
  if (Array.isArray(value)) {
    const list: unknown[] = [];
    for (const item of value) {
      const copy = rebuild(item, depth + 1);
      if (copy === TOO_DEEP) {
        return TOO_DEEP;
      }
      list.push(copy);
    }
    return list;
  }
  const record: Record<string, unknown> = {};
  for (const key of Object.keys(value)) {
    if (UNSAFE_KEYS.has(key)) {
      continue;
    }
    const copy = rebuild((value as Record<string, unknown>)[key], depth + 1);
    if (copy === TOO_DEEP) {
      return TOO_DEEP;
    }
    record[key] = copy;
  }
  return record;
}

function isRecord(value: unknown): value is Record<string, unknown> {
  return typeof value === 'object' && value !== null && !Array.isArray(value);
}

function ownField(record: Record<string, unknown>, key: string): unknown {
  return Object.prototype.hasOwnProperty.call(record, key) ? record[key] : undefined;
}

/** The version as the message shows it: numbers and texts plain, anything else as JSON. */
function versionText(value: unknown): string {
  if (value === undefined || typeof value !== 'object' || value === null) {
    return String(value);
  }
  return JSON.stringify(value);
}

/**
 * The elements of a buffer text, or the first reason it is not one. The
 * records are returned as they stand, ids included, less the unsafe keys.
 */
export function parseElementBuffer(text: string): ElementBufferResult {
  let parsed: unknown;
  try {
    parsed = JSON.parse(text);
  } catch {
    return { ok: false, message: BUFFER_MESSAGES.notJson };
  }
  const value = rebuild(parsed, 0);
  if (!isRecord(value)) {
    return { ok: false, message: BUFFER_MESSAGES.notBuffer };
  }
  const elements = ownField(value, 'elements');
  if (ownField(value, MARKER_KEY) !== MARKER_VALUE || !Array.isArray(elements)) {
    return { ok: false, message: BUFFER_MESSAGES.notBuffer };
  }
  const version = ownField(value, 'schemaVersion');
  if (version !== BUFFER_VERSION) {
    return { ok: false, message: BUFFER_MESSAGES.version + versionText(version) };
  }
  const errors = validateElements(elements);
  if (errors.length > 0) {
    return { ok: false, message: BUFFER_MESSAGES.invalid + errors.join('; ') };
  }
  return { ok: true, elements: elements as SchemeElement[] };
}
