// Checks of scheme documents and element lists. Every check collects all the
// problems it finds, in a fixed order, so that one joined list of messages can
// be shown; none of them changes the document.

import type { ElementType, Scheme } from './types';

export const elementTypes: readonly ElementType[] = [
  'rect',
  'text',
  'value',
  'indicator',
  'symbol',
  'polyline',
];

export interface SchemeCheckResult {
  /** The very record that was checked; present only when `errors` is empty. */
  scheme?: Scheme;
  errors: string[];
}

export interface SchemeCheckOptions {
  /** Check the document's `id` and `name`; true when absent. */
  checkIdentity?: boolean;
}

type UnknownRecord = Record<string, unknown>;

/** A value of object kind that is neither null nor a list. */
function isRecord(value: unknown): value is UnknownRecord {
  return typeof value === 'object' && value !== null && !Array.isArray(value);
}

function isFiniteNumber(value: unknown): value is number {
  return typeof value === 'number' && Number.isFinite(value);
}

// String() throws for records without a prototype and for objects whose
// conversion throws; a message must still come out of such input.
function asText(value: unknown): string {
  try {
    return String(value);
  } catch {
    return Object.prototype.toString.call(value);
  }
}

function isElementType(value: unknown): value is ElementType {
  return typeof value === 'string' && (elementTypes as readonly string[]).includes(value);
}

export function validateElements(elements: readonly unknown[]): string[] {
  if (!Array.isArray(elements)) {
    throw new TypeError('elements must be an array');
  }
  const errors: string[] = [];
  const seen = new Set<string>();
  for (let index = 0; index < elements.length; index += 1) {
    const element: unknown = elements[index];
    if (!isRecord(element)) {
      errors.push(`element at index ${index} is not an object`);
      continue;
    }
    const label = typeof element.id === 'string' ? element.id : `#${index}`;
    if (seen.has(label)) {
      errors.push(`duplicate element id: ${label}`);
    }
    seen.add(label);

    const type = element.type;
    const knownType = isElementType(type);
    if (!knownType) {
      errors.push(`unknown element type on ${label}: ${asText(type)}`);
    }
    const { x, y, width, height } = element;
    if (![x, y, width, height].every(isFiniteNumber)) {
      errors.push(`non-finite geometry on element: ${label}`);
    }
    if (typeof width === 'number' && typeof height === 'number' && (width < 0 || height < 0)) {
      errors.push(`negative size on element: ${label}`);
    }
    if (!isRecord(element.style)) {
      errors.push(`style must be an object on element: ${label}`);
    }
    if (knownType && type === 'text' && typeof element.content !== 'string') {
      errors.push(`text content must be a string on element: ${label}`);
    }
    if (knownType && type === 'polyline') {
      const points = element.points;
      if (!Array.isArray(points)) {
        errors.push(`polyline ${label}: points must be an array`);
      } else {
        if (points.length < 4 || points.length % 2 !== 0) {
          errors.push(`polyline ${label}: points must be even and >= 4`);
        }
        // Array.from visits holes as undefined, which every() would skip.
        if (!Array.from(points).every(isFiniteNumber)) {
          errors.push(`polyline ${label}: points must be finite numbers`);
        }
      }
    }
    if (element.link !== undefined && (typeof element.link !== 'string' || element.link === '')) {
      errors.push(`link must be a non-empty string on element: ${label}`);
    }
  }
  return errors;
}

function versionErrors(version: unknown): string[] {
  return version === 1 ? [] : [`unsupported schemaVersion: ${asText(version)}`];
}

/**
 * The check run before a scheme is written out: version and elements only.
 * Anything but a record with an `elements` list is a programming error and
 * raises a TypeError.
 */
export function validateScheme(document: Scheme): string[] {
  const value: unknown = document;
  if (!isRecord(value) || !Array.isArray(value.elements)) {
    throw new TypeError('scheme must be an object with an elements array');
  }
  return [...versionErrors(value.schemaVersion), ...validateElements(value.elements)];
}

function isNonEmptyText(value: unknown): boolean {
  return typeof value === 'string' && value !== '';
}

function isPositiveFinite(value: unknown): boolean {
  return isFiniteNumber(value) && value > 0;
}

/** The full check of a document of unknown origin. */
export function checkScheme(value: unknown, options: SchemeCheckOptions = {}): SchemeCheckResult {
  if (!isRecord(value)) {
    return { errors: ['scheme must be an object'] };
  }
  const errors = versionErrors(value.schemaVersion);
  if (options.checkIdentity ?? true) {
    if (!isNonEmptyText(value.id)) {
      errors.push('scheme id must be a non-empty string');
    }
    if (!isNonEmptyText(value.name)) {
      errors.push('scheme name must be a non-empty string');
    }
  }
  const size = value.size;
  if (!isRecord(size) || !isPositiveFinite(size.width) || !isPositiveFinite(size.height)) {
    errors.push('scheme size must have positive finite width and height');
  }
  if (Array.isArray(value.elements)) {
    errors.push(...validateElements(value.elements));
  } else {
    errors.push('scheme elements must be an array');
  }
  if (errors.length > 0) {
    return { errors };
  }
  return { scheme: value as unknown as Scheme, errors: [] };
}

/** The distinct non-empty point ids of the elements, in order of first appearance. */
export function collectPointIds(scheme: Scheme): string[] {
  const ids = new Set<string>();
  for (const element of scheme.elements as readonly unknown[]) {
    const pointId = isRecord(element) ? element.pointId : undefined;
    if (typeof pointId === 'string' && pointId !== '') {
      ids.add(pointId);
    }
  }
  return [...ids];
}

/** The check of a built-in scheme while the application loads: raises on any problem. */
export function requireScheme(document: unknown, registrationId: string): Scheme {
  const result = checkScheme(document);
  if (!result.scheme) {
    throw new Error(`Схема ${registrationId} не читается:\n${result.errors.join('\n')}`);
  }
  return result.scheme;
}
