import { describe, expect, it } from 'vitest';
import { schemeIdProblems, schemeSlug, type CatalogScheme } from './schemes';

describe('schemeSlug', () => {
  it.each<[string, string]>([
    ['Насосная станция №1', 'nasosnaya-stantsiya-1'],
    ['Новая схема', 'novaya-skhema'],
    ['Щит ЩУ-2, ёмкость Э/Ю', 'shchit-shchu-2-emkost-e-yu'],
    ['  Pump -- Station  ', 'pump-station'],
    ['Подъезд ь ъ', 'podezd'],
    ['№ — ?', 'scheme'],
    ['', 'scheme'],
  ])('%s gives %s', (name, slug) => {
    expect(schemeSlug(name)).toBe(slug);
  });
});

describe('schemeIdProblems', () => {
  const schemes: CatalogScheme[] = [
    { id: 'pump-station', name: 'Насосная станция' },
    { id: 'boilers', name: 'Котельная', fileName: 'Котельная.json' },
  ];
  const invalid = 'Идентификатор — строчные латинские буквы, цифры и дефисы между ними';

  it.each<[string, unknown, string | undefined, string[]]>([
    ['a free id', 'heat-2', undefined, []],
    [
      'an id of a built-in scheme',
      'pump-station',
      undefined,
      ['Идентификатор «pump-station» уже занят'],
    ],
    [
      'a built-in id, whatever file the scheme is saved into',
      'pump-station',
      'Насосная станция №1.json',
      ['Идентификатор «pump-station» уже занят'],
    ],
    ['an id of a folder file', 'boilers', 'Другая.json', ['Идентификатор «boilers» уже занят']],
    ["the id of the scheme's own file", 'boilers', 'Котельная.json', []],
    ['upper-case letters', 'Pump', undefined, [invalid]],
    ['Cyrillic letters', 'насос', undefined, [invalid]],
    ['a hyphen at an end', '-pump', undefined, [invalid]],
    ['two hyphens in a row', 'pump--1', undefined, [invalid]],
    ['an empty id', '', undefined, [invalid]],
    ['no text', 5, undefined, [invalid]],
  ])('%s', (_name, id, ownFile, expected) => {
    expect(schemeIdProblems(id, schemes, ownFile)).toEqual(expected);
  });
});
