import { act, fireEvent, render, screen, within } from '@testing-library/react';
import type { DataSource, PointValue } from '../data';
import { readFileText } from '../editor';
import type { Scheme } from '../scheme';
import { AppShell } from './AppShell';
import { createSchemeRegistry } from './registry';

function scheme(id: string, name: string, width = 100, height = 50): Scheme {
  return {
    schemaVersion: 1,
    id,
    name,
    size: { width, height },
    elements: [
      {
        id: `${id}-lamp`,
        type: 'indicator',
        x: 0,
        y: 0,
        width: 10,
        height: 10,
        style: { fill: '#9aa5b1' },
        pointId: 'NS-101',
        conditions: [{ when: { field: 'value', op: 'eq', value: true }, set: { fill: '#3fb54a' } }],
      },
    ],
  };
}

/** A data source whose subscribers can be fed by hand; records live subscriptions. */
function fakeDataSource() {
  const subscribers = new Set<(values: PointValue[]) => void>();
  const source: DataSource = {
    subscribe: (_ids, callback) => {
      subscribers.add(callback);
      return () => subscribers.delete(callback);
    },
    read: () => Promise.resolve([]),
    listPoints: () => Promise.resolve([]),
    writeCommand: () => Promise.resolve(),
    getHistory: () => Promise.resolve([]),
    subscribeEvents: () => () => {},
  };
  const push = (values: PointValue[]) => act(() => subscribers.forEach((s) => s(values)));
  return { source, subscribers, push };
}

// The scheme entries of the navigation (the trends entry follows them).
const navButtons = () =>
  within(screen.getByRole('navigation'))
    .queryAllByRole('button')
    .filter((button) => button.hasAttribute('data-scheme'));

const running: PointValue = { id: 'NS-101', value: true, status: 'good', timestamp: 1 };

describe('AppShell', () => {
  it('shows an empty navigation, title and stage for an empty registry', () => {
    render(<AppShell registry={createSchemeRegistry([])} dataSource={fakeDataSource().source} />);
    expect(navButtons()).toEqual([]);
    expect(screen.getByTestId('scheme-title')).toBeEmptyDOMElement();
    expect(screen.getByTestId('stage')).toBeEmptyDOMElement();
  });

  it('starts on the first entry and switches on a click, remounting the view', () => {
    const data = fakeDataSource();
    const registry = createSchemeRegistry([
      { id: 'a', name: 'Первая', scheme: scheme('a', 'Схема А', 960, 560) },
      { id: 'b', name: 'Вторая', scheme: scheme('b', 'Схема Б', 1280, 1280) },
    ]);
    render(<AppShell registry={registry} dataSource={data.source} />);

    expect(screen.getByTestId('scheme-a')).toHaveAttribute('aria-current', 'true');
    expect(screen.getByTestId('scheme-b')).toHaveAttribute('aria-current', 'false');
    expect(screen.getByTestId('scheme-title')).toHaveTextContent('Схема А');
    expect(screen.getByTestId('runtime')).toHaveStyle({ width: '960px', height: '560px' });
    expect(data.subscribers.size).toBe(1);

    fireEvent.click(screen.getByTestId('scheme-b'));
    expect(screen.getByTestId('scheme-b')).toHaveAttribute('aria-current', 'true');
    expect(screen.getByTestId('scheme-title')).toHaveTextContent('Схема Б');
    expect(screen.getByTestId('runtime')).toHaveStyle({ width: '1280px', height: '1280px' });
    expect(screen.getByTestId('runtime').querySelector('svg')).toHaveAttribute(
      'viewBox',
      '0 0 1280 1280',
    );
    // The old view's binder is gone; only the new one listens.
    expect(data.subscribers.size).toBe(1);
    expect(document.querySelector('[data-element-id="a-lamp"]')).toBeNull();
    data.push([running]);
    expect(document.querySelector('[data-element-id="b-lamp"]')).toHaveAttribute('fill', '#3fb54a');
  });

  it('offers one button per entry when two share an id, showing the later scheme', () => {
    const error = vi.spyOn(console, 'error').mockImplementation(() => {});
    const registry = createSchemeRegistry([
      { id: 'x', name: 'Первая', scheme: scheme('x', 'Ранняя') },
      { id: 'y', name: 'Вторая', scheme: scheme('y', 'Другая') },
      { id: 'x', name: 'Третья', scheme: scheme('x', 'Поздняя') },
    ]);
    render(<AppShell registry={registry} dataSource={fakeDataSource().source} />);
    fireEvent.click(screen.getByText('Вторая'));
    fireEvent.click(screen.getByText('Третья'));
    const warnings = error.mock.calls.slice();
    error.mockRestore();

    expect(navButtons().map((b) => b.textContent)).toEqual(['Первая', 'Вторая', 'Третья']);
    expect(navButtons().map((b) => b.getAttribute('aria-current'))).toEqual([
      'true',
      'false',
      'true',
    ]);
    expect(screen.getByTestId('scheme-title')).toHaveTextContent('Поздняя');
    // React reports children that share a key, and may then drop or repeat them.
    expect(warnings).toEqual([]);
  });

  it('binds live values into the drawn nodes and stops the binder on unmount', () => {
    const data = fakeDataSource();
    const registry = createSchemeRegistry([{ id: 'a', name: 'A', scheme: scheme('a', 'A') }]);
    const { unmount } = render(<AppShell registry={registry} dataSource={data.source} />);
    const lamp = document.querySelector('[data-element-id="a-lamp"]');
    expect(lamp).toHaveAttribute('visibility', 'visible');
    data.push([running]);
    expect(lamp).toHaveAttribute('fill', '#3fb54a');
    unmount();
    expect(data.subscribers.size).toBe(0);
  });
});

describe('createSchemeRegistry', () => {
  it('lists every entry in order and gets the later of two equal ids', () => {
    const first = scheme('x', 'first');
    const second = scheme('x', 'second');
    const registry = createSchemeRegistry([
      { id: 'x', name: '1', scheme: first },
      { id: 'x', name: '2', scheme: second },
    ]);
    expect(registry.list().map((e) => e.name)).toEqual(['1', '2']);
    expect(registry.list()).not.toBe(registry.list());
    expect(registry.get('x')).toBe(second);
    expect(registry.get('y')).toBeUndefined();
  });
});

describe('AppShell work mode', () => {
  const pump = scheme('pump', 'Насосная');
  const heat = scheme('heat', 'Тепловой', 300, 200);
  const entries = [
    { id: 'pump', name: 'Насосы', scheme: pump },
    { id: 'heat', name: 'Тепло', scheme: heat },
  ];

  const modeButton = (name: string) =>
    within(screen.getByRole('group', { name: 'Режим работы со схемой' })).getByRole('button', {
      name,
    });
  const editorRoot = () => document.querySelector('.mnemo-editor') as HTMLElement | null;
  const question = () => screen.queryByRole('alertdialog', { name: 'Несохранённые изменения' });
  const undoButton = () => screen.getByRole('button', { name: 'Отменить' });
  const editorScheme = () =>
    document.querySelector('[data-testid="canvas"]')?.getAttribute('viewBox');

  /** Selects everything in the open editor and deletes it. */
  function deleteAll() {
    const root = editorRoot() as HTMLElement;
    fireEvent.keyDown(root, { key: 'a', ctrlKey: true });
    fireEvent.keyDown(root, { key: 'Delete' });
  }

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

  function asksBeforeUnload(): boolean {
    const event = new Event('beforeunload', { cancelable: true }) as BeforeUnloadEvent;
    window.dispatchEvent(event);
    return event.defaultPrevented;
  }

  function openEditor(list = entries) {
    const data = fakeDataSource();
    // The inspector's tag list waits for a catalogue that never comes.
    data.source.listPoints = () => new Promise(() => {});
    render(<AppShell registry={createSchemeRegistry(list)} dataSource={data.source} />);
    fireEvent.click(modeButton('Редактирование'));
    return data;
  }

  afterEach(() => vi.restoreAllMocks());

  it('shows the switch after the title, starting in view, and opens the editor on the scheme', () => {
    const data = fakeDataSource();
    data.source.listPoints = () => new Promise(() => {});
    render(<AppShell registry={createSchemeRegistry(entries)} dataSource={data.source} />);
    const head = screen.getByTestId('scheme-title').parentElement as HTMLElement;
    expect(head.children[1]).toBe(screen.getByRole('group', { name: 'Режим работы со схемой' }));
    expect(modeButton('Просмотр')).toHaveAttribute('aria-pressed', 'true');
    expect(modeButton('Редактирование')).toHaveAttribute('aria-pressed', 'false');

    fireEvent.click(modeButton('Редактирование'));
    expect(modeButton('Редактирование')).toHaveAttribute('aria-pressed', 'true');
    expect(screen.queryByTestId('runtime')).toBeNull();
    expect(screen.getByTestId('stage').firstElementChild).toBe(editorRoot());
    expect(editorScheme()).toBe('0 0 100 50');
    // The view's binder has gone with it.
    expect(data.subscribers.size).toBe(0);
  });

  it('switches at once without unsaved edits, keeping the mode across schemes', () => {
    openEditor();
    fireEvent.click(screen.getByTestId('scheme-heat'));
    expect(question()).toBeNull();
    expect(screen.getByTestId('scheme-title')).toHaveTextContent('Тепловой');
    expect(modeButton('Редактирование')).toHaveAttribute('aria-pressed', 'true');
    expect(editorScheme()).toBe('0 0 300 200');

    deleteAll();
    fireEvent.keyDown(editorRoot() as HTMLElement, { key: 'z', ctrlKey: true });
    // Undone back to the scheme it opened with: nothing is unsaved.
    fireEvent.click(modeButton('Просмотр'));
    expect(question()).toBeNull();
    expect(screen.getByTestId('runtime')).toBeInTheDocument();
    expect(asksBeforeUnload()).toBe(false);
  });

  it('switches at once after edits that cancel each other out', () => {
    openEditor();
    const root = editorRoot() as HTMLElement;
    fireEvent.keyDown(root, { key: 'a', ctrlKey: true });
    fireEvent.keyDown(root, { key: 'ArrowRight' });
    expect(asksBeforeUnload()).toBe(true);
    fireEvent.keyDown(root, { key: 'ArrowLeft' });
    expect(undoButton()).toBeEnabled();
    expect(asksBeforeUnload()).toBe(false);
    fireEvent.click(screen.getByTestId('scheme-heat'));
    expect(question()).toBeNull();
    expect(editorScheme()).toBe('0 0 300 200');
  });

  it('neither asks nor ends the editor when the scheme already open is chosen again', () => {
    openEditor();
    deleteAll();
    fireEvent.click(screen.getByTestId('scheme-pump'));
    fireEvent.click(modeButton('Редактирование'));
    expect(question()).toBeNull();
    expect(undoButton()).toBeEnabled();
  });

  it.each([
    ['"Просмотр"', () => fireEvent.click(modeButton('Просмотр'))],
    ['another scheme', () => fireEvent.click(screen.getByTestId('scheme-heat'))],
  ])('asks in the header before %s ends unsaved edits', (_, leave) => {
    openEditor();
    deleteAll();
    leave();
    const asked = question() as HTMLElement;
    expect(asked).toBeInTheDocument();
    expect(asked.parentElement).toBe(screen.getByTestId('scheme-title').parentElement);
    expect(asked).toHaveTextContent('Схема изменена и не сохранена в файл.');
    expect(
      within(asked)
        .getAllByRole('button')
        .map((b) => b.textContent),
    ).toEqual(['Сохранить и продолжить', 'Не сохранять', 'Отмена']);
    // Nothing has switched yet.
    expect(modeButton('Редактирование')).toHaveAttribute('aria-pressed', 'true');
    expect(screen.getByTestId('scheme-pump')).toHaveAttribute('aria-current', 'true');
    expect(undoButton()).toBeEnabled();
  });

  it('"Отмена" hides the question and keeps the editor as it was', () => {
    openEditor();
    deleteAll();
    fireEvent.click(screen.getByTestId('scheme-heat'));
    fireEvent.click(screen.getByRole('button', { name: 'Отмена' }));
    expect(question()).toBeNull();
    expect(screen.getByTestId('scheme-pump')).toHaveAttribute('aria-current', 'true');
    expect(document.querySelectorAll('[data-testid="canvas"] [data-element-id]')).toHaveLength(0);
    expect(undoButton()).toBeEnabled();
    expect(asksBeforeUnload()).toBe(true);
  });

  it('takes the focus, answers Escape with "Отмена" and gives the focus back', () => {
    openEditor();
    deleteAll();
    const view = modeButton('Просмотр');
    view.focus();
    fireEvent.click(view);
    const asked = question() as HTMLElement;
    expect(document.activeElement).toBe(
      within(asked).getByRole('button', { name: 'Сохранить и продолжить' }),
    );
    fireEvent.keyDown(document.activeElement as Element, { key: 'Escape' });
    expect(question()).toBeNull();
    expect(document.activeElement).toBe(view);
    expect(undoButton()).toBeEnabled();
  });

  it('"Не сохранять" switches and the edits are gone', () => {
    const { names } = stubDownload();
    openEditor();
    deleteAll();
    expect(asksBeforeUnload()).toBe(true);
    fireEvent.click(modeButton('Просмотр'));
    fireEvent.click(screen.getByRole('button', { name: 'Не сохранять' }));
    expect(question()).toBeNull();
    expect(names).toEqual([]);
    expect(screen.getByTestId('runtime').querySelectorAll('[data-element-id]')).toHaveLength(1);
    expect(asksBeforeUnload()).toBe(false);

    fireEvent.click(modeButton('Редактирование'));
    expect(undoButton()).toBeDisabled();
    expect(document.querySelectorAll('[data-testid="canvas"] [data-element-id]')).toHaveLength(1);
  });

  it('"Сохранить и продолжить" saves as the toolbar does, then opens the other scheme', async () => {
    const { names, texts } = stubDownload();
    openEditor();
    deleteAll();
    fireEvent.click(screen.getByTestId('scheme-heat'));
    fireEvent.click(screen.getByRole('button', { name: 'Сохранить и продолжить' }));
    expect(names).toEqual(['Насосная.json']);
    expect(JSON.parse(await readFileText(texts[0]))).toEqual({ ...pump, elements: [] });
    expect(question()).toBeNull();
    expect(screen.getByTestId('scheme-heat')).toHaveAttribute('aria-current', 'true');
    expect(modeButton('Редактирование')).toHaveAttribute('aria-pressed', 'true');
    expect(editorScheme()).toBe('0 0 300 200');
    expect(asksBeforeUnload()).toBe(false);
  });

  it('stays in the editor, showing the file message, when the save fails', () => {
    const { names } = stubDownload();
    const future = { ...scheme('future', 'Будущая'), schemaVersion: 2 };
    openEditor([{ id: 'future', name: 'Будущая', scheme: future }, ...entries]);
    deleteAll();
    fireEvent.click(modeButton('Просмотр'));
    fireEvent.click(screen.getByRole('button', { name: 'Сохранить и продолжить' }));
    expect(names).toEqual([]);
    expect(screen.getByTestId('import-error')).toHaveTextContent(
      'invalid scheme: unsupported schemaVersion: 2',
    );
    expect(question()).toBeInTheDocument();
    expect(modeButton('Редактирование')).toHaveAttribute('aria-pressed', 'true');
    expect(undoButton()).toBeEnabled();
  });

  it('counts a saved scheme as no unsaved edits until it changes again', () => {
    stubDownload();
    openEditor();
    deleteAll();
    fireEvent.click(screen.getByRole('button', { name: 'Сохранить схему в файл' }));
    expect(asksBeforeUnload()).toBe(false);
    fireEvent.keyDown(editorRoot() as HTMLElement, { key: 'z', ctrlKey: true });
    expect(asksBeforeUnload()).toBe(true);
    fireEvent.keyDown(editorRoot() as HTMLElement, { key: 'z', ctrlKey: true, shiftKey: true });
    fireEvent.click(modeButton('Просмотр'));
    expect(question()).toBeNull();
    expect(screen.getByTestId('runtime')).toBeInTheDocument();
  });
});
