import type { Scheme } from '../scheme';
import {
  createSchemeFolder,
  followSchemeFolder,
  MAX_SCHEME_FILE_SIZE,
  SCHEME_FOLDER_ADDRESS,
  SCHEME_FOLDER_CHANGED_EVENT,
  type SchemeFolderTransport,
} from './schemeFolder';

function scheme(id: string | undefined, name: string | undefined): Scheme {
  return {
    schemaVersion: 1,
    ...(id === undefined ? {} : { id }),
    ...(name === undefined ? {} : { name }),
    size: { width: 100, height: 50 },
    elements: [],
  } as Scheme;
}

interface DiskFile {
  text: string;
  size?: number;
  modified?: number;
}

/** A folder on a fake program: files by name, every read recorded. */
function fakeFolder(initial: Record<string, DiskFile> = {}) {
  const files = new Map(Object.entries(initial));
  const reads: string[] = [];
  const refused = new Set<string>();
  const transport: SchemeFolderTransport = {
    get(address) {
      reads.push(address);
      if (address === SCHEME_FOLDER_ADDRESS) {
        const listed = Array.from(files, ([name, file]) => ({
          name,
          size: file.size ?? file.text.length,
          modified: file.modified ?? 1,
        }));
        return Promise.resolve(JSON.stringify({ files: listed }));
      }
      const name = decodeURIComponent(address.slice(SCHEME_FOLDER_ADDRESS.length).split('?')[0]);
      const file = files.get(name);
      if (!file || refused.has(name)) return Promise.reject(new Error('refused'));
      return Promise.resolve(file.text);
    },
  };
  const put = (name: string, value: Scheme | string, modified = 1) =>
    files.set(name, {
      text: typeof value === 'string' ? value : JSON.stringify(value),
      modified,
    });
  return { files, reads, refused, transport, put };
}

const builtIn = [
  { id: 'pump-station', name: 'Насосная станция', scheme: scheme('pump-station', 'П') },
];

function setup(disk: ReturnType<typeof fakeFolder>) {
  const log = { warn: vi.fn() };
  const folder = createSchemeFolder({ transport: disk.transport, builtIn, log });
  return { folder, log, warnings: () => log.warn.mock.calls.map((call) => String(call[0])) };
}

describe('the scheme folder', () => {
  it('lists the valid files sorted by name, under ids of their own', async () => {
    const disk = fakeFolder();
    disk.put('b.json', scheme('b', 'Бета'));
    disk.put('a.json', scheme('a', 'Альфа 10'));
    disk.put('c.json', scheme('c', 'Альфа 9'));
    disk.put('unnamed.json', scheme(undefined, undefined));
    const { folder, warnings } = setup(disk);
    await folder.refresh();

    expect(folder.current().map((e) => [e.id, e.name, e.fileName])).toEqual([
      ['file:c.json', 'Альфа 9', 'c.json'],
      ['file:a.json', 'Альфа 10', 'a.json'],
      ['file:b.json', 'Бета', 'b.json'],
      ['file:unnamed.json', 'unnamed', 'unnamed.json'],
    ]);
    expect(folder.current()[2].scheme).toEqual(scheme('b', 'Бета'));
    expect(warnings()).toEqual([]);
  });

  it.each([
    ['not JSON', '{ "schemaVersion": 1,', 'invalid JSON'],
    [
      'a file that fails the checks',
      JSON.stringify({ schemaVersion: 2, size: { width: 1, height: 1 }, elements: [] }),
      'invalid scheme: unsupported schemaVersion: 2',
    ],
    [
      'bad condition rules',
      JSON.stringify({
        ...scheme('r', 'R'),
        elements: [
          { id: 'e', type: 'rect', x: 0, y: 0, width: 1, height: 1, style: {}, conditions: [1] },
        ],
      }),
      'invalid scheme: condition at index 0 must have when and set objects on element: e',
    ],
  ])('leaves out %s and reports it once with the checker message', async (_, text, message) => {
    const disk = fakeFolder();
    disk.put('bad.json', text);
    disk.put('good.json', scheme('g', 'G'));
    const { folder, warnings } = setup(disk);
    await folder.refresh();
    await folder.refresh();

    expect(folder.current().map((e) => e.fileName)).toEqual(['good.json']);
    expect(warnings()).toEqual([`Scheme file "bad.json" not listed: ${message}`]);
    // Unchanged files are not read again.
    expect(disk.reads.filter((address) => address.includes('bad.json'))).toHaveLength(1);
  });

  it('refuses a file over 10 MiB without reading it', async () => {
    const disk = fakeFolder({
      'huge.json': { text: '{}', size: MAX_SCHEME_FILE_SIZE + 1 },
      'limit.json': { text: JSON.stringify(scheme('l', 'L')), size: MAX_SCHEME_FILE_SIZE },
    });
    const { folder, warnings } = setup(disk);
    await folder.refresh();
    expect(folder.current().map((e) => e.fileName)).toEqual(['limit.json']);
    expect(warnings()).toEqual(['Scheme file "huge.json" not listed: larger than 10 MiB']);
    expect(disk.reads.some((address) => address.includes('huge.json'))).toBe(false);
  });

  it('leaves out a file the program refuses, without a report of its own', async () => {
    const disk = fakeFolder();
    disk.put('link.json', scheme('l', 'L'));
    disk.refused.add('link.json');
    const { folder, warnings } = setup(disk);
    await folder.refresh();
    expect(folder.current()).toEqual([]);
    expect(warnings()).toEqual([]);
  });

  it('lists a scheme whose id is taken as its own entry and says so once', async () => {
    const disk = fakeFolder();
    disk.put('copy.json', scheme('pump-station', 'Копия'));
    disk.put('x1.json', scheme('x', 'Икс 1'));
    disk.put('x2.json', scheme('x', 'Икс 2'));
    const { folder, warnings } = setup(disk);
    await folder.refresh();
    disk.put('other.json', scheme('o', 'Другая'));
    await folder.refresh();

    expect(folder.current().map((e) => e.id)).toEqual([
      'file:other.json',
      'file:x1.json',
      'file:x2.json',
      'file:copy.json',
    ]);
    expect(warnings()).toEqual([
      'Scheme file "x2.json": the id "x" is already used by the scheme file "x1.json"; ' +
        'the scheme is listed as a separate entry',
      'Scheme file "copy.json": the id "pump-station" is already used by the built-in scheme ' +
        '"Насосная станция"; the scheme is listed as a separate entry',
    ]);
  });

  it('follows new, changed and removed files, keeping unchanged entries as they were', async () => {
    const disk = fakeFolder();
    disk.put('a.json', scheme('a', 'A'));
    disk.put('b.json', scheme('b', 'B'));
    const { folder, warnings } = setup(disk);
    const listener = vi.fn();
    folder.subscribe(listener);
    await folder.refresh();
    const [a, b] = folder.current();
    expect(listener).toHaveBeenCalledTimes(1);

    // Nothing changed: the same list, no call.
    const before = folder.current();
    await folder.refresh();
    expect(folder.current()).toBe(before);
    expect(listener).toHaveBeenCalledTimes(1);

    disk.put('b.json', scheme('b', 'B2'), 2);
    disk.put('c.json', scheme('c', 'C'));
    disk.files.delete('a.json');
    await folder.refresh();
    expect(listener).toHaveBeenCalledTimes(2);
    expect(folder.current().map((e) => e.name)).toEqual(['B2', 'C']);
    expect(folder.current()[0]).not.toBe(b);
    expect(folder.current()).not.toContain(a);

    // A broken new version is reported, and the file leaves the list.
    disk.put('b.json', '{', 3);
    await folder.refresh();
    expect(folder.current().map((e) => e.name)).toEqual(['C']);
    expect(warnings()).toEqual(['Scheme file "b.json" not listed: invalid JSON']);
  });

  it('stays empty and silent without a program to ask', async () => {
    const log = { warn: vi.fn() };
    const folder = createSchemeFolder({
      transport: { get: () => Promise.reject(new Error('no such scheme')) },
      log,
    });
    await folder.refresh();
    expect(folder.current()).toEqual([]);
    expect(log.warn).not.toHaveBeenCalled();
  });

  it('reads the folder at once and again when the program announces a change', async () => {
    const disk = fakeFolder();
    const { folder } = setup(disk);
    const target = new EventTarget();
    const stop = followSchemeFolder(folder, target);
    await vi.waitFor(() => expect(disk.reads).toEqual([SCHEME_FOLDER_ADDRESS]));

    disk.put('a.json', scheme('a', 'A'));
    target.dispatchEvent(new Event(SCHEME_FOLDER_CHANGED_EVENT));
    target.dispatchEvent(new Event(SCHEME_FOLDER_CHANGED_EVENT));
    await vi.waitFor(() => expect(folder.current().map((e) => e.name)).toEqual(['A']));
    // Announcements made while a pass waits to start join that pass.
    expect(disk.reads.filter((address) => address === SCHEME_FOLDER_ADDRESS)).toHaveLength(2);

    stop();
    const count = disk.reads.length;
    target.dispatchEvent(new Event(SCHEME_FOLDER_CHANGED_EVENT));
    await Promise.resolve();
    expect(disk.reads).toHaveLength(count);
  });
});
