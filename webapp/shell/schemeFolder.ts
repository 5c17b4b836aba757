// The scheme folder of the desktop program: scheme files that appear in the
// navigation after the built-in schemes. The page reaches the folder only
// through the program's "corvane-schemes:" address, which answers the built-in
// application alone: a listing with each file's size and time, and each file
// by its name. Every file gets the editor's full check of a loaded scheme file;
// one that fails is left out and reported once on the console, which the
// program writes to its log. The program announces changes of the folder with
// an event on the window, after which the listing is read again and only new
// or changed files are fetched.

import { parseSchemeFile } from '../editor';
import type { SchemeEntry } from './registry';

export const SCHEME_FOLDER_ADDRESS = 'corvane-schemes://folder/';
/** The event the program dispatches on the window when the folder changed. */
export const SCHEME_FOLDER_CHANGED_EVENT = 'corvane-schemes-changed';
/** Larger files are refused without being read. */
export const MAX_SCHEME_FILE_SIZE = 10 * 1024 * 1024;
/** Prefix of the registration ids of the folder's entries. */
export const FOLDER_ENTRY_PREFIX = 'file:';

/** A scheme of the folder: registered under its file's name, shown under the scheme's name. */
export interface FolderSchemeEntry extends SchemeEntry {
  fileName: string;
}

/** The folder's valid schemes, sorted by name, as an external store. */
export interface SchemeFolderSource {
  subscribe(listener: () => void): () => void;
  /** The same list until the folder changes. */
  current(): readonly FolderSchemeEntry[];
}

export interface SchemeFolder extends SchemeFolderSource {
  /** Reads the listing again; calls made meanwhile are joined into one more pass. */
  refresh(): Promise<void>;
}

export interface SchemeFolderTransport {
  /** The text at the address; rejects when it cannot be had. */
  get(address: string): Promise<string>;
}

export interface SchemeFolderOptions {
  transport?: SchemeFolderTransport;
  /** The built-in entries, whose ids a file's scheme may not take unnoticed. */
  builtIn?: readonly SchemeEntry[];
  log?: Pick<Console, 'warn'>;
}

interface ListedFile {
  name: string;
  size: number;
  modified: number;
}

/** What became of one version of a file. */
type Outcome =
  | { version: string; kind: 'valid'; entry: FolderSchemeEntry }
  | { version: string; kind: 'refused' };

/** Reads an address by XMLHttpRequest: fetch() of custom schemes fails in older engines. */
export const xhrTransport: SchemeFolderTransport = {
  get: (address) =>
    new Promise((resolve, reject) => {
      const request = new XMLHttpRequest();
      request.open('GET', address);
      request.responseType = 'text';
      request.onload = () => {
        if (request.status >= 200 && request.status < 300) resolve(request.responseText);
        else reject(new Error(`status ${request.status}`));
      };
      request.onerror = () => reject(new Error('request failed'));
      request.send();
    }),
};

function isListedFile(value: unknown): value is ListedFile {
  if (typeof value !== 'object' || value === null) return false;
  const file = value as Record<string, unknown>;
  return (
    typeof file.name === 'string' &&
    typeof file.size === 'number' &&
    typeof file.modified === 'number'
  );
}

function parseListing(text: string): ListedFile[] {
  const document = JSON.parse(text) as { files?: unknown };
  return Array.isArray(document.files) ? document.files.filter(isListedFile) : [];
}

/** The name a folder entry is shown under: the scheme's own, or its file's without ".json". */
export function folderEntryName(fileName: string, schemeName: unknown): string {
  if (typeof schemeName === 'string' && schemeName.trim() !== '') return schemeName;
  return fileName.replace(/\.json$/i, '');
}

const collator = new Intl.Collator('ru', { numeric: true, sensitivity: 'base' });

function byName(a: FolderSchemeEntry, b: FolderSchemeEntry): number {
  return collator.compare(a.name, b.name) || collator.compare(a.fileName, b.fileName);
}

export function createSchemeFolder(options: SchemeFolderOptions = {}): SchemeFolder {
  const transport = options.transport ?? xhrTransport;
  const log = options.log ?? console;
  const builtIn = options.builtIn ?? [];
  const listeners = new Set<() => void>();
  const outcomes = new Map<string, Outcome>();
  /** Clashes of ids already reported, as "file\nid\nholder", while they last. */
  let reportedClashes = new Set<string>();
  let entries: readonly FolderSchemeEntry[] = [];

  const refuse = (file: ListedFile, version: string, problem: string): Outcome => {
    log.warn(`Scheme file "${file.name}" not listed: ${problem}`);
    return { version, kind: 'refused' };
  };

  async function read(file: ListedFile, version: string): Promise<Outcome> {
    if (file.size > MAX_SCHEME_FILE_SIZE) {
      return refuse(file, version, `larger than ${MAX_SCHEME_FILE_SIZE / 1024 / 1024} MiB`);
    }
    let text: string;
    try {
      const address = `${SCHEME_FOLDER_ADDRESS}${encodeURIComponent(file.name)}?v=${version}`;
      text = await transport.get(address);
    } catch {
      // The program has written why it refused the file to its log.
      return { version, kind: 'refused' };
    }
    try {
      const scheme = parseSchemeFile(text);
      const entry: FolderSchemeEntry = {
        id: FOLDER_ENTRY_PREFIX + file.name,
        name: folderEntryName(file.name, scheme.name),
        scheme,
        fileName: file.name,
      };
      return { version, kind: 'valid', entry };
    } catch (error) {
      return refuse(file, version, error instanceof Error ? error.message : String(error));
    }
  }

  /** Reports a file whose scheme takes an id that an earlier entry holds, once. */
  function reportClashes(valid: readonly FolderSchemeEntry[]) {
    const holders = new Map<string, string>();
    for (const entry of builtIn) {
      if (!holders.has(entry.id)) holders.set(entry.id, `the built-in scheme "${entry.name}"`);
    }
    const clashes = new Set<string>();
    for (const entry of valid) {
      const id: unknown = entry.scheme.id;
      if (typeof id !== 'string' || id === '') continue;
      const holder = holders.get(id);
      if (holder === undefined) {
        holders.set(id, `the scheme file "${entry.fileName}"`);
        continue;
      }
      const key = `${entry.fileName}\n${id}\n${holder}`;
      clashes.add(key);
      if (!reportedClashes.has(key)) {
        log.warn(
          `Scheme file "${entry.fileName}": the id "${id}" is already used by ${holder}; ` +
            'the scheme is listed as a separate entry',
        );
      }
    }
    reportedClashes = clashes;
  }

  async function refreshNow(): Promise<void> {
    let files: ListedFile[];
    try {
      files = parseListing(await transport.get(SCHEME_FOLDER_ADDRESS));
    } catch {
      // No folder to be had: the program has logged why, or there is no program.
      return;
    }
    let changed = false;
    const seen = new Set<string>();
    for (const file of files) {
      seen.add(file.name);
      const version = `${file.size}-${file.modified}`;
      if (outcomes.get(file.name)?.version === version) continue;
      outcomes.set(file.name, await read(file, version));
      changed = true;
    }
    for (const name of Array.from(outcomes.keys())) {
      if (!seen.has(name)) {
        outcomes.delete(name);
        changed = true;
      }
    }
    if (!changed) return;
    const valid: FolderSchemeEntry[] = [];
    outcomes.forEach((outcome) => {
      if (outcome.kind === 'valid') valid.push(outcome.entry);
    });
    valid.sort(byName);
    reportClashes(valid);
    entries = valid;
    listeners.forEach((listener) => listener());
  }

  let queue: Promise<void> = Promise.resolve();
  let waiting = false;

  return {
    subscribe(listener) {
      listeners.add(listener);
      return () => listeners.delete(listener);
    },
    current: () => entries,
    refresh() {
      if (waiting) return queue;
      waiting = true;
      queue = queue.then(() => {
        waiting = false;
        return refreshNow();
      });
      return queue;
    },
  };
}

/**
 * Reads the folder now and again on every change the program announces on
 * `target`; returns the function that stops listening.
 */
export function followSchemeFolder(folder: SchemeFolder, target: EventTarget = window): () => void {
  const onChange = () => void folder.refresh();
  target.addEventListener(SCHEME_FOLDER_CHANGED_EVENT, onChange);
  void folder.refresh();
  return () => target.removeEventListener(SCHEME_FOLDER_CHANGED_EVENT, onChange);
}
