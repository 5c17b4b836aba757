import { act, fireEvent, render, screen, within } from '@testing-library/react';
import { createSilentDataSource } from '../data';
import { readFileText } from '../editor';
import type { Scheme } from '../scheme';
import { AppShell } from './AppShell';
import { createSchemeRegistry } from './registry';
import type { FolderSchemeEntry, SchemeFolderSource } from './schemeFolder';

function scheme(id: string, name: string, captions: string[]): Scheme {
  return {
    schemaVersion: 1,
    id,
    name,
    size: { width: 200, height: 100 },
    elements: captions.map((content, index) => ({
      id: `${id}-t${index}`,
      type: 'text',
      x: 0,
      y: index * 20,
      width: 100,
      height: 20,
      content,
      style: {},
    })),
  };
}

function fileEntry(fileName: string, value: Scheme): FolderSchemeEntry {
  return { id: `file:${fileName}`, name: value.name, scheme: value, fileName };
}

/** A scheme folder whose content the test sets. */
function fakeFolder(initial: FolderSchemeEntry[]) {
  let entries: readonly FolderSchemeEntry[] = initial;
  const listeners = new Set<() => void>();
  const source: SchemeFolderSource = {
    subscribe(listener) {
      listeners.add(listener);
      return () => listeners.delete(listener);
    },
    current: () => entries,
  };
  const set = (next: FolderSchemeEntry[]) =>
    act(() => {
      entries = next;
      listeners.forEach((listener) => listener());
    });
  return { source, set };
}

const builtIn = scheme('pump', 'Насосная', ['встроенная']);
const registry = createSchemeRegistry([{ id: 'pump', name: 'Насосы', scheme: builtIn }]);

const navTexts = () =>
  within(screen.getByRole('navigation'))
    .getAllByRole('button')
    .filter((button) => button.hasAttribute('data-scheme'))
    .map((button) => button.textContent);
const modeButton = (name: string) =>
  within(screen.getByRole('group', { name: 'Режим работы со схемой' })).getByRole('button', {
    name,
  });
const viewTexts = () =>
  Array.from(screen.getByTestId('runtime').querySelectorAll('text')).map((t) => t.textContent);
const canvasIds = () =>
  Array.from(document.querySelectorAll('[data-testid="canvas"] [data-element-id]')).map((node) =>
    node.getAttribute('data-element-id'),
  );

function renderWithFolder(entries: FolderSchemeEntry[]) {
  const folder = fakeFolder(entries);
  const dataSource = createSilentDataSource();
  dataSource.listPoints = () => new Promise(() => {});
  render(<AppShell registry={registry} dataSource={dataSource} folder={folder.source} />);
  return folder;
}

afterEach(() => vi.restoreAllMocks());

describe('AppShell with the scheme folder', () => {
  it('lists the folder after the built-in schemes and follows its changes', () => {
    const first = scheme('demo', 'Демо', ['первая']);
    const folder = renderWithFolder([fileEntry('demo.json', first)]);
    expect(navTexts()).toEqual(['Насосы', 'Демо']);

    fireEvent.click(screen.getByTestId('scheme-file:demo.json'));
    expect(screen.getByTestId('scheme-title')).toHaveTextContent('Демо');
    const oldNode = document.querySelector('[data-element-id="demo-t0"]');

    // The file changed on disk: the view is drawn anew, in place.
    folder.set([fileEntry('demo.json', scheme('demo', 'Демо 2', ['вторая', 'новая']))]);
    expect(viewTexts()).toEqual(['вторая', 'новая']);
    expect(oldNode?.isConnected).toBe(false);
    expect(screen.getByTestId('scheme-file:demo.json')).toHaveAttribute('aria-current', 'true');
    expect(screen.getByTestId('scheme-title')).toHaveTextContent('Демо 2');

    // Removed: gone from the navigation and the stage.
    folder.set([]);
    expect(navTexts()).toEqual(['Насосы']);
    expect(screen.getByTestId('stage')).toBeEmptyDOMElement();
  });

  it('keeps an open editor as it is and shows in place that its file changed', () => {
    const folder = renderWithFolder([fileEntry('demo.json', scheme('demo', 'Демо', ['a']))]);
    fireEvent.click(screen.getByTestId('scheme-file:demo.json'));
    fireEvent.click(modeButton('Редактирование'));
    expect(canvasIds()).toEqual(['demo-t0']);
    expect(screen.queryByTestId('disk-notice')).toBeNull();

    const onDisk = scheme('demo', 'Демо', ['a', 'b']);
    folder.set([fileEntry('demo.json', onDisk)]);
    expect(canvasIds()).toEqual(['demo-t0']);
    const notice = screen.getByTestId('disk-notice');
    expect(notice).toHaveTextContent('Файл «demo.json» изменён на диске');

    // Taken on request, as one undoable step.
    fireEvent.click(within(notice).getByRole('button', { name: 'Загрузить с диска' }));
    expect(canvasIds()).toEqual(['demo-t0', 'demo-t1']);
    expect(screen.queryByTestId('disk-notice')).toBeNull();
    expect(screen.getByRole('button', { name: 'Отменить' })).toBeEnabled();

    // A file removed meanwhile leaves the editor open.
    folder.set([]);
    expect(canvasIds()).toEqual(['demo-t0', 'demo-t1']);
    expect(screen.getByTestId('disk-notice')).toHaveTextContent(
      'Файл «demo.json» удалён из папки схем',
    );
  });

  it('saves a folder scheme under its file name, and its own save raises no notice', async () => {
    const names: string[] = [];
    const texts: Blob[] = [];
    vi.spyOn(URL, 'createObjectURL').mockImplementation((blob) => {
      texts.push(blob as Blob);
      return 'blob:saved';
    });
    vi.spyOn(URL, 'revokeObjectURL').mockImplementation(() => {});
    vi.spyOn(HTMLAnchorElement.prototype, 'click').mockImplementation(function (
      this: HTMLAnchorElement,
    ) {
      names.push(this.download);
    });
    const folder = renderWithFolder([fileEntry('old name.json', scheme('demo', 'Демо', ['a']))]);
    fireEvent.click(screen.getByTestId('scheme-file:old name.json'));
    fireEvent.click(modeButton('Редактирование'));
    fireEvent.click(screen.getByRole('button', { name: 'Сохранить схему в файл' }));
    expect(names).toEqual(['old name.json']);

    // The folder reads back what was saved: nothing to tell.
    const echoed = JSON.parse(await readFileText(texts[0])) as Scheme;
    folder.set([fileEntry('old name.json', echoed)]);
    expect(screen.queryByTestId('disk-notice')).toBeNull();

    // A built-in scheme goes into the folder only under an id of its own,
    // then under its own name.
    fireEvent.click(screen.getByTestId('scheme-pump'));
    fireEvent.click(screen.getByRole('button', { name: 'Сохранить схему в файл' }));
    expect(names).toEqual(['old name.json']);
    expect(screen.getByTestId('import-error')).toHaveTextContent(
      'Схема не сохранена: идентификатор «pump» уже занят',
    );
    expect(screen.getByTestId('scheme-id-problem')).toHaveTextContent(
      'Идентификатор «pump» уже занят',
    );
    fireEvent.change(screen.getByLabelText('Идентификатор'), { target: { value: 'demo' } });
    expect(screen.getByTestId('scheme-id-problem')).toHaveTextContent(
      'Идентификатор «demo» уже занят',
    );
    fireEvent.change(screen.getByLabelText('Идентификатор'), { target: { value: 'pump-copy' } });
    fireEvent.click(screen.getByRole('button', { name: 'Сохранить схему в файл' }));
    expect(names).toEqual(['old name.json', 'Насосная.json']);
  });
});
