// A scheme's identity in the station: its id, proposed from its name for a new
// scheme, and checked against the schemes the station already has (built-in
// ones and the files of the scheme folder), so that links between schemes and
// the folder's navigation never meet two schemes with one id. The application
// shell tells the editor which schemes exist through `SchemeCatalogContext`.

import { createContext, useContext } from 'react';
import type { Scheme } from '../../scheme';

export const NEW_SCHEME_NAME = 'Новая схема';
export const NEW_SCHEME_SIZE = { width: 1280, height: 720 } as const;
/** The id proposed for a name with no letters or digits to make one from. */
export const FALLBACK_SCHEME_ID = 'scheme';

/** Lower-case Latin letters and digits, in runs joined by single hyphens. */
const SCHEME_ID = /^[a-z0-9]+(?:-[a-z0-9]+)*$/;

// Russian letters, and the few further Ukrainian ones, as plain Latin.
// prettier-ignore
const LATIN: Readonly<Record<string, string>> = {
  а: 'a', б: 'b', в: 'v', г: 'g', д: 'd', е: 'e', ё: 'e', ж: 'zh', з: 'z', и: 'i', й: 'y',
  к: 'k', л: 'l', м: 'm', н: 'n', о: 'o', п: 'p', р: 'r', с: 's', т: 't', у: 'u', ф: 'f',
  х: 'kh', ц: 'ts', ч: 'ch', ш: 'sh', щ: 'shch', ъ: '', ы: 'y', ь: '', э: 'e', ю: 'yu',
  я: 'ya', і: 'i', ї: 'yi', є: 'ye', ґ: 'g',
};

/**
 * The id proposed for a scheme name: Cyrillic written in Latin letters, lower
 * case, every run of other characters one hyphen, none at the ends.
 */
export function schemeSlug(name: string): string {
  const latin = Array.from(name.toLowerCase(), (char) => LATIN[char] ?? char).join('');
  const slug = latin.replace(/[^a-z0-9]+/g, '-').replace(/^-+|-+$/g, '');
  return slug === '' ? FALLBACK_SCHEME_ID : slug;
}

/** A scheme the station has: a built-in one, or a file of the scheme folder. */
export interface CatalogScheme {
  /** The scheme's own `id`, which links name. */
  id: string;
  /** The name the navigation shows. */
  name: string;
  /** The scheme folder's file, for a scheme read from there. */
  fileName?: string;
}

export const SCHEME_ID_MESSAGES = {
  invalid: 'Идентификатор — строчные латинские буквы, цифры и дефисы между ними',
  taken: (id: string) => `Идентификатор «${id}» уже занят`,
  notSaved: (id: string) => `Схема не сохранена: идентификатор «${id}» уже занят`,
} as const;

/** Whether another scheme than the one in `ownFileName` holds the id. */
export function isSchemeIdTaken(
  id: string,
  schemes: readonly CatalogScheme[],
  ownFileName?: string,
): boolean {
  return schemes.some(
    (scheme) =>
      scheme.id === id && (scheme.fileName === undefined || scheme.fileName !== ownFileName),
  );
}

/**
 * What is wrong with a scheme id, in the words shown beside its field; none
 * when it is fine. The folder's file `ownFileName` is the one the scheme is
 * saved into, which its own id does not clash with.
 */
export function schemeIdProblems(
  id: unknown,
  schemes: readonly CatalogScheme[],
  ownFileName?: string,
): string[] {
  const text = typeof id === 'string' ? id : '';
  const problems: string[] = [];
  if (!SCHEME_ID.test(text)) problems.push(SCHEME_ID_MESSAGES.invalid);
  if (isSchemeIdTaken(text, schemes, ownFileName)) problems.push(SCHEME_ID_MESSAGES.taken(text));
  return problems;
}

/** What a link to a scheme the station does not have shows in place. */
export const linkNotFoundText = (id: string) => `Схема «${id}» не найдена`;

/** An empty scheme of the new-scheme size, its id made from its name. */
export function createNewScheme(name: string = NEW_SCHEME_NAME): Scheme {
  return {
    schemaVersion: 1,
    id: schemeSlug(name),
    name,
    size: { ...NEW_SCHEME_SIZE },
    elements: [],
  };
}

/** What the application around the editor tells it about the station's schemes. */
export interface SchemeCatalog {
  /** The built-in schemes and those of the scheme folder, in navigation order. */
  schemes: readonly CatalogScheme[];
  /**
   * Whether saving puts the scheme into the station's scheme folder, where its
   * id must not be taken by another scheme.
   */
  savesToFolder: boolean;
  /** The folder's file that saving the scheme writes (its own, or the one named after it). */
  ownFileName(scheme: Scheme): string | undefined;
  /** Starts a new, empty scheme in place of the edited one; asks about unsaved edits first. */
  newScheme?: () => void;
  /**
   * Opens the scheme a link names, as a click on it does in viewing (asking
   * about unsaved edits first); false when the station has no such scheme.
   */
  openScheme?: (id: string) => boolean;
}

export const NO_SCHEME_CATALOG: SchemeCatalog = {
  schemes: [],
  savesToFolder: false,
  ownFileName: () => undefined,
};

export const SchemeCatalogContext = createContext<SchemeCatalog>(NO_SCHEME_CATALOG);

export function useSchemeCatalog(): SchemeCatalog {
  return useContext(SchemeCatalogContext);
}
