import { act, fireEvent, render, screen, within } from '@testing-library/react';
import { createSilentDataSource } from '../data';
import { readFileText } from '../editor';
import type { Scheme, SchemeElement } from '../scheme';
import { AppShell } from './AppShell';
import { createSchemeRegistry, type SchemeEntry } from './registry';
import type { FolderSchemeEntry, SchemeFolderSource } from './schemeFolder';

function lamp(id: string, extra: Partial<SchemeElement> = {}): SchemeElement {
  return { id, type: 'indicator', x: 0, y: 0, width: 10, height: 10, style: {}, ...extra };
}

function scheme(id: string, name: string, elements: SchemeElement[] = []): Scheme {
  return { schemaVersion: 1, id, name, size: { width: 200, height: 100 }, elements };
}

function fakeFolder(initial: FolderSchemeEntry[] = []) {
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

function fileEntry(fileName: string, value: Scheme): FolderSchemeEntry {
  return { id: `file:${fileName}`, name: value.name, scheme: value, fileName };
}

function renderShell(entries: SchemeEntry[], folder = fakeFolder()) {
  const dataSource = createSilentDataSource();
  dataSource.listPoints = () => new Promise(() => {});
  render(
    <AppShell
      registry={createSchemeRegistry(entries)}
      dataSource={dataSource}
      folder={folder.source}
    />,
  );
  return folder;
}

const modeButton = (name: string) =>
  within(screen.getByRole('group', { name: 'Режим работы со схемой' })).getByRole('button', {
    name,
  });
const button = (name: string) => screen.getByRole('button', { name });
const title = () => screen.getByTestId('scheme-title').textContent;
const current = () =>
  within(screen.getByRole('navigation'))
    .getAllByRole('button')
    .filter((entry) => entry.getAttribute('aria-current') === 'true')
    .map((entry) => entry.textContent);
const field = (label: string) => screen.getByLabelText(label) as HTMLInputElement;
const drawn = (id: string) => document.querySelector(`[data-element-id="${id}"]`) as Element;

afterEach(() => vi.restoreAllMocks());

describe('a new scheme', () => {
  const pump = scheme('pump', 'Насосная', [lamp('p1')]);

  function stubDownload() {
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
    return { names, texts };
  }

  it('asks about unsaved edits first, then opens an empty 1280 × 720 scheme under its own title', () => {
    renderShell([{ id: 'pump', name: 'Насосы', scheme: pump }]);
    fireEvent.click(modeButton('Редактирование'));
    const root = document.querySelector('.mnemo-editor') as HTMLElement;
    fireEvent.keyDown(root, { key: 'a', ctrlKey: true });
    fireEvent.keyDown(root, { key: 'Delete' });

    fireEvent.click(button('Новая схема'));
    const question = screen.getByRole('alertdialog', { name: 'Несохранённые изменения' });
    fireEvent.click(within(question).getByRole('button', { name: 'Отмена' }));
    expect(drawn('p1')).toBeNull();

    fireEvent.click(button('Новая схема'));
    fireEvent.click(
      within(screen.getByRole('alertdialog')).getByRole('button', { name: 'Не сохранять' }),
    );
    expect(screen.getByTestId('canvas')).toHaveAttribute('viewBox', '0 0 1280 720');
    expect(document.querySelectorAll('[data-testid="canvas"] [data-element-id]')).toHaveLength(0);
    expect(title()).toBe('Новая схема');
    expect(current()).toEqual([]);
    expect(field('Идентификатор').value).toBe('novaya-skhema');
    expect(button('Отменить')).toBeDisabled();

    // Without edits there is nothing to ask.
    fireEvent.click(button('Новая схема'));
    expect(screen.queryByRole('alertdialog')).toBeNull();
    expect(title()).toBe('Новая схема');
  });

  it('is saved under its name and, once in the folder, is listed and shown in viewing', async () => {
    const { names, texts } = stubDownload();
    const folder = renderShell([{ id: 'pump', name: 'Насосы', scheme: pump }]);
    fireEvent.click(modeButton('Редактирование'));
    fireEvent.click(button('Новая схема'));
    fireEvent.change(field('Название'), { target: { value: 'Котельная' } });
    expect(title()).toBe('Котельная');
    expect(field('Идентификатор').value).toBe('kotelnaya');

    fireEvent.click(button('Сохранить схему в файл'));
    expect(names).toEqual(['Котельная.json']);
    const saved = JSON.parse(await readFileText(texts[0])) as Scheme;
    expect(saved).toEqual({
      schemaVersion: 1,
      id: 'kotelnaya',
      name: 'Котельная',
      size: { width: 1280, height: 720 },
      elements: [],
    });

    // The folder lists the file: its id is the scheme's own, not taken.
    folder.set([fileEntry('Котельная.json', saved)]);
    expect(screen.getByTestId('scheme-file:Котельная.json')).toHaveTextContent('Котельная');
    expect(screen.queryByTestId('scheme-id-problem')).toBeNull();
    fireEvent.click(modeButton('Просмотр'));
    expect(current()).toEqual(['Котельная']);
    expect(title()).toBe('Котельная');
  });

  describe('saved on leaving, before the folder lists it', () => {
    const heat = scheme('heat', 'Тепловой пункт');
    async function saveAndLeave() {
      stubDownload();
      const folder = renderShell([
        { id: 'pump', name: 'Насосы', scheme: pump },
        { id: 'heat', name: 'Тепло', scheme: heat },
      ]);
      fireEvent.click(modeButton('Редактирование'));
      fireEvent.click(button('Новая схема'));
      fireEvent.change(field('Название'), { target: { value: 'Котельная' } });
      fireEvent.click(modeButton('Просмотр'));
      await act(async () => {
        fireEvent.click(button('Сохранить и продолжить'));
        await Promise.resolve();
      });
      // The program lists the written file only a moment later.
      expect(current()).toEqual(['Насосы']);
      return () => folder.set([fileEntry('Котельная.json', scheme('kotelnaya', 'Котельная'))]);
    }

    it('shows the scheme once the folder lists it', async () => {
      const listFile = await saveAndLeave();
      listFile();
      expect(current()).toEqual(['Котельная']);
      expect(title()).toBe('Котельная');
    });

    it('stays on a scheme chosen meanwhile', async () => {
      const listFile = await saveAndLeave();
      fireEvent.click(screen.getByTestId('scheme-heat'));
      listFile();
      expect(current()).toEqual(['Тепло']);
    });
  });

  it('returns to the scheme it was started from when closed unsaved', () => {
    renderShell([{ id: 'pump', name: 'Насосы', scheme: pump }]);
    fireEvent.click(modeButton('Редактирование'));
    fireEvent.click(button('Новая схема'));
    fireEvent.click(button('Новая схема'));
    fireEvent.click(modeButton('Просмотр'));
    expect(current()).toEqual(['Насосы']);
    expect(title()).toBe('Насосная');
  });
});

describe('links in viewing', () => {
  const heat = scheme('heat', 'Тепловой пункт');
  const pump = scheme('pump', 'Насосная', [
    lamp('to-heat', { link: 'heat' }),
    lamp('to-file', { link: 'boilers' }),
    lamp('to-nowhere', { link: 'gone' }),
    lamp('plain'),
  ]);
  const entries = [
    { id: 'pump', name: 'Насосы', scheme: pump },
    { id: 'heat', name: 'Тепло', scheme: heat },
  ];

  it('marks linked elements and opens the linked scheme, a folder one by its own id', () => {
    renderShell(entries, fakeFolder([fileEntry('b.json', scheme('boilers', 'Котельная'))]));
    expect(drawn('to-heat')).toHaveAttribute('data-link', 'heat');
    expect(drawn('plain')).not.toHaveAttribute('data-link');

    fireEvent.click(drawn('to-heat'));
    expect(current()).toEqual(['Тепло']);
    expect(title()).toBe('Тепловой пункт');

    fireEvent.click(screen.getByTestId('scheme-pump'));
    fireEvent.click(drawn('to-file'));
    expect(current()).toEqual(['Котельная']);
  });

  it('says in place that a linked scheme is missing and changes nothing', () => {
    renderShell(entries);
    fireEvent.click(drawn('plain'));
    expect(screen.queryByTestId('link-problem')).toBeNull();
    fireEvent.click(drawn('to-nowhere'));
    expect(screen.getByTestId('link-problem')).toHaveTextContent('Схема «gone» не найдена');
    expect(screen.getByTestId('link-problem')).toHaveAttribute('role', 'status');
    expect(current()).toEqual(['Насосы']);
    expect(drawn('to-nowhere')).not.toBeNull();

    // Gone with the next switch.
    fireEvent.click(drawn('to-heat'));
    expect(screen.queryByTestId('link-problem')).toBeNull();
  });

  it("follows links in the editor's preview too, into the linked scheme's editor", () => {
    renderShell(entries);
    fireEvent.click(modeButton('Редактирование'));
    fireEvent.click(
      within(screen.getByRole('group', { name: 'Режим канвы' })).getByRole('button', {
        name: 'Предпросмотр',
      }),
    );
    const inPreview = (id: string) =>
      screen.getByTestId('preview').querySelector(`[data-element-id="${id}"]`) as Element;
    fireEvent.click(inPreview('to-nowhere'));
    expect(screen.getByTestId('link-problem')).toHaveTextContent('Схема «gone» не найдена');
    fireEvent.click(inPreview('to-heat'));
    expect(current()).toEqual(['Тепло']);
    expect(screen.getByTestId('canvas')).toBeInTheDocument();
    expect(title()).toBe('Тепловой пункт');
  });

  it('follows no links on the editing canvas', () => {
    renderShell(entries);
    fireEvent.click(modeButton('Редактирование'));
    const onCanvas = document.querySelector('[data-testid="canvas"] [data-element-id="to-heat"]');
    expect(onCanvas).not.toHaveAttribute('data-link');
    fireEvent.click(onCanvas as Element);
    expect(current()).toEqual(['Насосы']);
  });
});
