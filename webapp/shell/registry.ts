import type { Scheme } from '../scheme';

/** One scheme offered by the application under its registration id and name. */
export interface SchemeEntry {
  id: string;
  name: string;
  scheme: Scheme;
}

export interface SchemeRegistry {
  /** The entries in registration order, as a new list. */
  list(): SchemeEntry[];
  /** The scheme registered under `id`; the later entry wins when ids repeat. */
  get(id: string): Scheme | undefined;
}

export function createSchemeRegistry(entries: readonly SchemeEntry[]): SchemeRegistry {
  const frozen = entries.slice();
  const byId = new Map<string, Scheme>();
  for (const entry of frozen) byId.set(entry.id, entry.scheme);
  return {
    list: () => frozen.slice(),
    get: (id) => byId.get(id),
  };
}
