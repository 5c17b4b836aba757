/** Joins class-list parts in the order given, dropping empty ones. */
export function classNames(...parts: ReadonlyArray<string | false | null | undefined>): string {
  return parts.filter((part): part is string => typeof part === 'string' && part !== '').join(' ');
}
