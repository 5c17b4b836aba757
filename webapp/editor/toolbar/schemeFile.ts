// Scheme files: the whole scheme as one JSON document, written in the layout
// of the element buffer and read back through the document check. A file
// comes from outside the editor, so loading refuses anything the editor
// could not show or edit, the condition rules included.

import { checkScheme, validateScheme } from '../../scheme';
import type { Scheme } from '../../scheme';

export const SCHEME_FILE_TYPE = 'application/json';
export const SCHEME_FILE_EXTENSION = '.json';
/** Download name of a scheme without a name of its own. */
export const UNNAMED_SCHEME_FILE = 'mnemo';

export const SCHEME_FILE_MESSAGES = {
  invalidScheme: 'invalid scheme: ',
  invalidJson: 'invalid JSON',
  readError: 'read error',
  saveFailed: 'Ошибка сохранения схемы',
  writeFailed: (reason: string) =>
    reason ? `Ошибка сохранения схемы: ${reason}` : 'Ошибка сохранения схемы',
  loadFailed: 'Ошибка загрузки схемы',
} as const;

/** The scheme file text; fails with "invalid scheme: …" when the scheme does not pass its check. */
export function serializeSchemeFile(scheme: Scheme): string {
  const errors = validateScheme(scheme);
  if (errors.length > 0) {
    throw new Error(SCHEME_FILE_MESSAGES.invalidScheme + errors.join('; '));
  }
  return JSON.stringify(scheme, null, 2);
}

/** The name a saved scheme is offered under: the scheme's name as it is, plus ".json". */
export function schemeFileName(scheme: Pick<Scheme, 'name'>): string {
  const name = typeof scheme.name === 'string' && scheme.name !== '' ? scheme.name : undefined;
  return (name ?? UNNAMED_SCHEME_FILE) + SCHEME_FILE_EXTENSION;
}

function isRecord(value: unknown): value is Record<string, unknown> {
  return typeof value === 'object' && value !== null && !Array.isArray(value);
}

/**
 * Problems of the elements' condition rules: each rule must be a record with
 * a `when` record and a `set` record, as the rule editor and the binder expect.
 */
export function conditionErrors(elements: readonly unknown[]): string[] {
  const errors: string[] = [];
  elements.forEach((element, index) => {
    if (!isRecord(element) || element.conditions === undefined) {
      return;
    }
    const label = typeof element.id === 'string' ? element.id : `#${index}`;
    const rules = element.conditions;
    if (!Array.isArray(rules)) {
      errors.push(`conditions must be an array on element: ${label}`);
      return;
    }
    // Array.from visits holes as undefined, which forEach would skip.
    Array.from(rules as unknown[]).forEach((rule, ruleIndex) => {
      if (!isRecord(rule) || !isRecord(rule.when) || !isRecord(rule.set)) {
        errors.push(
          `condition at index ${ruleIndex} must have when and set objects on element: ${label}`,
        );
      }
    });
  });
  return errors;
}

/**
 * The scheme held by a scheme file's text. The document check runs without
 * its checks of `id` and `name`, so a file without them loads.
 */
export function parseSchemeFile(text: string): Scheme {
  let document: unknown;
  try {
    document = JSON.parse(text);
  } catch {
    throw new Error(SCHEME_FILE_MESSAGES.invalidJson);
  }
  const result = checkScheme(document, { checkIdentity: false });
  const errors = [...result.errors];
  if (isRecord(document) && Array.isArray(document.elements)) {
    errors.push(...conditionErrors(document.elements));
  }
  if (errors.length > 0) {
    throw new Error(SCHEME_FILE_MESSAGES.invalidScheme + errors.join('; '));
  }
  return document as Scheme;
}

/** The file's text, read as UTF-8; fails with the platform's read error, or "read error". */
export function readFileText(file: Blob): Promise<string> {
  return new Promise((resolve, reject) => {
    const reader = new FileReader();
    reader.onload = () => resolve(typeof reader.result === 'string' ? reader.result : '');
    reader.onerror = () =>
      reject(new Error(reader.error?.message || SCHEME_FILE_MESSAGES.readError));
    reader.readAsText(file, 'utf-8');
  });
}

/** Offers a text as a download under the given name; gives the download's object address. */
export function downloadText(text: string, fileName: string, type = SCHEME_FILE_TYPE): string {
  const url = URL.createObjectURL(new Blob([text], { type }));
  const link = document.createElement('a');
  link.href = url;
  link.download = fileName;
  link.style.display = 'none';
  document.body.appendChild(link);
  try {
    link.click();
  } finally {
    link.remove();
    URL.revokeObjectURL(url);
  }
  return url;
}

/**
 * Saves the scheme by download, under `fileName` when given (the file it was
 * opened from); fails as `serializeSchemeFile` does. Gives the download's
 * object address, by which the program reports the save.
 */
export function saveSchemeFile(scheme: Scheme, fileName?: string): string {
  return downloadText(serializeSchemeFile(scheme), fileName ?? schemeFileName(scheme));
}

/** The message a failed save or load shows. */
export function failureMessage(error: unknown, fallback: string): string {
  const message =
    typeof error === 'object' && error !== null ? (error as { message?: unknown }).message : '';
  return typeof message === 'string' && message !== '' ? message : fallback;
}
