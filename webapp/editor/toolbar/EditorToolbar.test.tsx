import { act, fireEvent, render, screen, waitFor, within } from '@testing-library/react';
import { afterEach, describe, expect, it, vi } from 'vitest';
import type { Scheme, SchemeElement } from '../../scheme';
import {
  createEditorState,
  EditorProvider,
  NO_SCHEME_CATALOG,
  SchemeCatalogContext,
  useEditor,
  type EditorContextValue,
  type EditorState,
  type SchemeCatalog,
} from '../model';

type EditorDispatch = EditorContextValue['dispatch'];
import { EditorToolbar } from './EditorToolbar';
import { SAVE_RESULT_EVENT } from './saveResult';
import { SchemeFilesProvider, useSchemeFiles } from './schemeFiles';
import { PAGE_BUFFER_HINT } from './SelectionActions';

function rect(id: string, x = 0, y = 0): SchemeElement {
  return { id, type: 'rect', x, y, width: 20, height: 10, style: { fill: '#cccccc' } };
}

function scheme(elements: SchemeElement[], name = 'Схема'): Scheme {
  return { schemaVersion: 1, id: 's', name, size: { width: 200, height: 100 }, elements };
}

/** Renders the toolbar in an editor and keeps hold of the latest editor state. */
function renderToolbar(
  initial: Partial<EditorState> & { scheme?: Scheme } = {},
  preview = false,
  catalog: SchemeCatalog = NO_SCHEME_CATALOG,
  savesReported = false,
) {
  const state: EditorState = { ...createEditorState(initial.scheme ?? scheme([])), ...initial };
  const latest: { state: EditorState; unsaved: boolean; dispatch: EditorDispatch } = {
    state,
    unsaved: false,
    dispatch: () => {},
  };
  function Probe() {
    const editor = useEditor();
    latest.state = editor.state;
    latest.dispatch = editor.dispatch;
    latest.unsaved = useSchemeFiles()?.hasUnsavedEdits() ?? false;
    return null;
  }
  const view = render(
    <EditorProvider initial={state}>
      <SchemeCatalogContext.Provider value={catalog}>
        <SchemeFilesProvider savesReported={savesReported}>
          <EditorToolbar preview={preview} />
          <Probe />
        </SchemeFilesProvider>
      </SchemeCatalogContext.Provider>
    </EditorProvider>,
  );
  return { ...view, latest };
}

const button = (name: string) => screen.getByRole('button', { name });
const zoomLabel = () => screen.getByTestId('zoom-label').textContent;

function chooseFile(text: string, name = 'scheme.json') {
  const input = screen.getByTestId('import-input') as HTMLInputElement;
  const file = new File([text], name, { type: 'application/json' });
  Object.defineProperty(input, 'files', { value: [file], configurable: true });
  fireEvent.change(input);
  return input;
}

/** Waits until pending file reads and clipboard reads have been answered. */
async function settle() {
  await act(async () => {
    await new Promise((resolve) => setTimeout(resolve, 0));
  });
}

afterEach(() => {
  vi.restoreAllMocks();
  vi.unstubAllGlobals();
});

describe('EditorToolbar', () => {
  it('starts with undo and redo disabled and 100 %; the first change enables undo', () => {
    const { latest } = renderToolbar({ scheme: scheme([rect('a')]), selectedIds: ['a'] });
    expect(button('Отменить')).toBeDisabled();
    expect(button('Повторить')).toBeDisabled();
    expect(zoomLabel()).toBe('100 %');
    expect(button('Уменьшить')).toBeEnabled();

    fireEvent.click(button('Повернуть по часовой стрелке на 45°'));
    expect(latest.state.scheme.elements[0].rotation).toBe(45);
    expect(button('Отменить')).toBeEnabled();
    fireEvent.click(button('Отменить'));
    expect(latest.state.scheme.elements[0].rotation).toBeUndefined();
    expect(button('Отменить')).toBeDisabled();
    expect(button('Повторить')).toBeEnabled();
  });

  it.each([
    ['out', 'Уменьшить', ['80 %', '64 %', '51 %', '41 %', '33 %', '26 %', '25 %', '25 %']],
    ['in', 'Увеличить', ['125 %', '156 %', '195 %', '244 %', '305 %', '381 %', '400 %', '400 %']],
  ])('zooms %s from 100 % through the label series and stops at the limit', (_, name, series) => {
    const { latest } = renderToolbar();
    const seen = series.map(() => {
      fireEvent.click(button(name));
      return zoomLabel();
    });
    expect(seen).toEqual(series);
    if (name === 'Уменьшить') {
      fireEvent.click(button('Увеличить'));
      expect(zoomLabel()).toBe('31 %');
    }
    fireEvent.click(screen.getByTitle('Вернуть 100 %'));
    expect(zoomLabel()).toBe('100 %');
    expect(latest.state.zoom).toBe(1);
  });

  it('sets the grid step from the field and snapping from the toggle', () => {
    const { latest } = renderToolbar();
    const step = screen.getByRole('spinbutton', { name: 'Шаг сетки' });
    expect(step).toHaveValue(10);
    fireEvent.change(step, { target: { value: '2.5' } });
    expect(latest.state.gridSize).toBe(2.5);
    fireEvent.change(step, { target: { value: '' } });
    expect(latest.state.gridSize).toBe(1);
    // The cleared field stays empty while it has the focus, so a new step can be typed.
    expect(step).toHaveDisplayValue('');
    fireEvent.change(step, { target: { value: '20' } });
    expect(latest.state.gridSize).toBe(20);
    fireEvent.change(step, { target: { value: '0.5' } });
    expect(latest.state.gridSize).toBe(1);
    expect(step).toHaveDisplayValue('0.5');
    fireEvent.blur(step);
    expect(step).toHaveValue(1);

    const snap = screen.getByRole('checkbox', { name: 'Привязка к сетке' });
    expect(snap).toBeChecked();
    fireEvent.click(snap);
    expect(latest.state.snapEnabled).toBe(false);
    expect(snap).not.toBeChecked();
  });

  it('shows the selection actions only with a selection and outside preview, paste always', () => {
    const labels = () =>
      screen.getAllByRole('button').map((b) => b.getAttribute('aria-label') ?? b.textContent);
    renderToolbar({ scheme: scheme([rect('a'), rect('b')]), selectedIds: ['a'] });
    expect(labels()).toEqual([
      'Отменить',
      'Повторить',
      'Сохранить схему в файл',
      'Загрузить схему из файла',
      'Нарисовать трубу',
      'На передний план',
      'На шаг вперёд',
      'На шаг назад',
      'На задний план',
      'Повернуть против часовой стрелки на 45°',
      'Повернуть по часовой стрелке на 45°',
      'Копировать',
      'Удалить',
      'Вставить',
      'Уменьшить',
      '100 %',
      'Увеличить',
    ]);
  });

  it.each([
    ['nothing selected', [], false],
    ['preview', ['a'], true],
  ])('hides the selection actions with %s', (_, selectedIds, preview) => {
    renderToolbar({ scheme: scheme([rect('a')]), selectedIds }, preview);
    expect(screen.queryByRole('button', { name: 'Удалить' })).toBeNull();
    expect(screen.queryByRole('button', { name: 'Вставить' })).toBe(
      preview ? null : button('Вставить'),
    );
  });

  it('reorders, rotates and removes the selected elements', () => {
    const { latest } = renderToolbar({
      scheme: scheme([rect('a'), rect('b'), rect('c')]),
      selectedIds: ['a'],
    });
    const order = () => latest.state.scheme.elements.map((e) => e.id).join('');
    fireEvent.click(button('На шаг вперёд'));
    expect(order()).toBe('bac');
    fireEvent.click(button('На передний план'));
    expect(order()).toBe('bca');
    fireEvent.click(button('На задний план'));
    expect(order()).toBe('abc');
    fireEvent.click(button('На шаг назад'));
    expect(order()).toBe('abc');
    fireEvent.click(button('Повернуть против часовой стрелки на 45°'));
    expect(latest.state.scheme.elements[0].rotation).toBe(315);
    fireEvent.click(button('Удалить'));
    expect(order()).toBe('bc');
    expect(latest.state.selectedIds).toEqual([]);
  });
});

describe('copy and paste buttons', () => {
  function stubClipboard(clipboard: Partial<Clipboard> | undefined) {
    vi.stubGlobal('navigator', { ...navigator, clipboard });
  }

  it('copies the selection in scheme order to the system clipboard and the page buffer', () => {
    const writeText = vi.fn(() => Promise.reject(new Error('denied')));
    stubClipboard({ writeText });
    const { latest } = renderToolbar({
      scheme: scheme([rect('a'), rect('b'), rect('c')]),
      selectedIds: ['c', 'a'],
    });
    fireEvent.click(button('Копировать'));
    const json = latest.state.clipboard?.json;
    expect(writeText).toHaveBeenCalledWith(json);
    expect(JSON.parse(json ?? '').elements.map((e: SchemeElement) => e.id)).toEqual(['a', 'c']);
  });

  it.each([
    ['without a clipboard interface', ['a'], true],
    ['not when none of the selected ids exists', ['gone'], false],
  ])('copies to the page buffer %s', (_, selectedIds, copies) => {
    stubClipboard(undefined);
    const { latest } = renderToolbar({ scheme: scheme([rect('a')]), selectedIds });
    fireEvent.click(button('Копировать'));
    expect(latest.state.clipboard !== undefined).toBe(copies);
  });

  const copied = JSON.stringify({
    orvo: 'elements',
    schemaVersion: 1,
    elements: [rect('p', 5, 5)],
  });
  const system = JSON.stringify({
    orvo: 'elements',
    schemaVersion: 1,
    elements: [rect('s', 50, 50)],
  });

  it.each([
    ['a buffer on the system clipboard', () => Promise.resolve(system), copied, 's', undefined],
    ['plain text on the system clipboard', () => Promise.resolve('hello'), copied, 'p', undefined],
    ['a refused read', () => Promise.reject(new Error('denied')), copied, 'p', PAGE_BUFFER_HINT],
    ['no clipboard interface', undefined, copied, 'p', PAGE_BUFFER_HINT],
  ])('pastes with %s', async (_, readText, pageBuffer, source, hint) => {
    stubClipboard(readText ? { readText } : undefined);
    const { latest } = renderToolbar({
      scheme: scheme([rect('el-1')]),
      clipboard: { json: pageBuffer },
    });
    fireEvent.click(button('Вставить'));
    await settle();
    const pasted = latest.state.scheme.elements[1];
    const origin = source === 's' ? 50 : 5;
    expect(pasted).toMatchObject({ id: 'el-2', x: origin + 10, y: origin + 10 });
    expect(latest.state.selectedIds).toEqual(['el-2']);
    if (hint) {
      expect(screen.getByTestId('clipboard-hint')).toHaveTextContent(hint);
      expect(screen.getByTestId('clipboard-hint')).toHaveAttribute('role', 'status');
    } else {
      expect(screen.queryByTestId('clipboard-hint')).toBeNull();
    }
  });

  it.each([
    ['an unreadable clipboard', () => Promise.reject(new Error('denied')), 'Буфер пуст'],
    ['plain text', () => Promise.resolve('hello'), 'Буфер не содержит JSON'],
  ])('reports %s with nothing copied before', async (_, readText, message) => {
    stubClipboard({ readText });
    const { latest } = renderToolbar({ scheme: scheme([rect('a')]) });
    fireEvent.click(button('Вставить'));
    await settle();
    expect(latest.state.scheme.elements).toHaveLength(1);
    expect(screen.getByTestId('clipboard-error')).toHaveTextContent(message);
    expect(screen.getByRole('alert')).toBe(screen.getByTestId('clipboard-error'));
    expect(screen.queryByTestId('clipboard-hint')).toBeNull();
  });

  it('clears the hint on the next paste and steps each repeated paste one grid step further', async () => {
    let answer: () => Promise<string> = () => Promise.reject(new Error('denied'));
    stubClipboard({ readText: () => answer() });
    const { latest } = renderToolbar({ scheme: scheme([]), clipboard: { json: copied } });
    fireEvent.click(button('Вставить'));
    await settle();
    expect(screen.getByTestId('clipboard-hint')).toBeInTheDocument();
    answer = () => Promise.resolve(copied);
    fireEvent.click(button('Вставить'));
    await settle();
    expect(screen.queryByTestId('clipboard-hint')).toBeNull();
    expect(latest.state.scheme.elements.map((e) => e.x)).toEqual([15, 25]);
  });

  it('decides the fallback from the page buffer as it was at the click', async () => {
    let answer: (text: string) => void = () => {};
    stubClipboard({ readText: () => new Promise<string>((resolve) => (answer = resolve)) });
    const { latest } = renderToolbar({ scheme: scheme([rect('a')]), selectedIds: ['a'] });
    fireEvent.click(button('Вставить'));
    fireEvent.click(button('Копировать'));
    expect(latest.state.clipboard).toBeDefined();
    await act(async () => answer('hello'));
    expect(latest.state.scheme.elements).toHaveLength(1);
    expect(latest.state.clipboardError).toBe('Буфер не содержит JSON');
  });
});

describe('scheme files', () => {
  const valid = scheme([rect('x', 7, 8)], 'Загруженная');

  function stubDownload() {
    const clicks: string[] = [];
    vi.spyOn(URL, 'createObjectURL').mockReturnValue('blob:x');
    vi.spyOn(URL, 'revokeObjectURL').mockImplementation(() => {});
    vi.spyOn(HTMLAnchorElement.prototype, 'click').mockImplementation(function (
      this: HTMLAnchorElement,
    ) {
      clicks.push(this.download);
    });
    return clicks;
  }

  it('shows the message of a failed save and clears it on the next good save', async () => {
    const clicks = stubDownload();
    const broken = { ...scheme([rect('a')]), schemaVersion: 3 };
    const { latest } = renderToolbar({ scheme: broken });
    fireEvent.click(button('Сохранить схему в файл'));
    expect(clicks).toEqual([]);
    expect(screen.getByTestId('import-error')).toHaveTextContent(
      'invalid scheme: unsupported schemaVersion: 3',
    );
    expect(screen.getByTestId('import-error')).toHaveAttribute('role', 'alert');
    expect(latest.unsaved).toBe(false);

    chooseFile(JSON.stringify(valid));
    await waitFor(() => expect(latest.state.scheme).toEqual(valid));
    fireEvent.click(button('Сохранить схему в файл'));
    expect(clicks).toEqual(['Загруженная.json']);
    expect(screen.queryByTestId('import-error')).toBeNull();
  });

  it('refuses a save into the scheme folder while another scheme holds the id', () => {
    const clicks = stubDownload();
    const station: SchemeCatalog = {
      ...NO_SCHEME_CATALOG,
      schemes: [
        { id: 's', name: 'Встроенная' },
        { id: 'boilers', name: 'Котельная', fileName: 'Котельная.json' },
      ],
      savesToFolder: true,
      ownFileName: (saved) => `${saved.name}.json`,
    };
    const { latest } = renderToolbar({ scheme: valid }, false, station);
    fireEvent.click(button('Сохранить схему в файл'));
    expect(clicks).toEqual([]);
    expect(screen.getByTestId('import-error')).toHaveTextContent(
      'Схема не сохранена: идентификатор «s» уже занят',
    );
    // The file it is saved into is its own: overwriting it makes no second scheme.
    act(() => latest.dispatch({ type: 'setSchemeId', id: 'boilers' }));
    act(() => latest.dispatch({ type: 'setSchemeName', name: 'Котельная' }));
    fireEvent.click(button('Сохранить схему в файл'));
    expect(clicks).toEqual(['Котельная.json']);
    expect(screen.queryByTestId('import-error')).toBeNull();
  });

  it('saves a scheme with a taken id where saving does not go into the folder', () => {
    const clicks = stubDownload();
    const browser: SchemeCatalog = {
      ...NO_SCHEME_CATALOG,
      schemes: [{ id: 's', name: 'Встроенная' }],
    };
    renderToolbar({ scheme: valid }, false, browser);
    fireEvent.click(button('Сохранить схему в файл'));
    expect(clicks).toEqual(['Загруженная.json']);
  });

  it('offers "Новая схема" only where the application can start one', () => {
    renderToolbar();
    expect(screen.queryByRole('button', { name: 'Новая схема' })).toBeNull();
    const newScheme = vi.fn();
    renderToolbar({}, false, { ...NO_SCHEME_CATALOG, newScheme });
    fireEvent.click(button('Новая схема'));
    expect(newScheme).toHaveBeenCalledTimes(1);
  });

  it('shows "Ошибка сохранения схемы" when saving fails without a message', () => {
    vi.spyOn(URL, 'createObjectURL').mockImplementation(() => {
      throw new Error('');
    });
    renderToolbar({ scheme: valid });
    fireEvent.click(button('Сохранить схему в файл'));
    expect(screen.getByTestId('import-error')).toHaveTextContent('Ошибка сохранения схемы');
  });

  it('opens the file chooser from the load button', () => {
    renderToolbar();
    const input = screen.getByTestId('import-input') as HTMLInputElement;
    const click = vi.spyOn(input, 'click').mockImplementation(() => {});
    fireEvent.click(button('Загрузить схему из файла'));
    expect(click).toHaveBeenCalledTimes(1);
    expect(input).toHaveAttribute('type', 'file');
    expect(input).toHaveAttribute('accept', 'application/json');
    expect(input).not.toBeVisible();
  });

  it.each([
    ['text that is no JSON', 'not json', 'invalid JSON'],
    [
      'schema version 2',
      JSON.stringify({ ...valid, schemaVersion: 2 }),
      'invalid scheme: unsupported schemaVersion: 2',
    ],
    [
      'a file without size',
      JSON.stringify({ ...valid, size: undefined }),
      'invalid scheme: scheme size must have positive finite width and height',
    ],
    [
      'a rule without when',
      JSON.stringify(
        scheme([{ ...rect('r'), conditions: [{ set: {} }] } as unknown as SchemeElement]),
      ),
      'invalid scheme: condition at index 0 must have when and set objects on element: r',
    ],
  ])('refuses %s and leaves the editor as it was', async (_, text, message) => {
    const start = scheme([rect('a')]);
    const { latest } = renderToolbar({ scheme: start, selectedIds: ['a'] });
    const before = latest.state;
    const input = chooseFile(text);
    await waitFor(() => expect(screen.getByTestId('import-error')).toHaveTextContent(message));
    expect(latest.state).toBe(before);
    expect(input.value).toBe('');
  });

  it('shows the read error of an unreadable file', async () => {
    class FailingReader {
      error = new DOMException('File is gone', 'NotFoundError');
      onerror: (() => void) | null = null;
      readAsText() {
        setTimeout(() => this.onerror?.());
      }
    }
    vi.stubGlobal('FileReader', FailingReader);
    renderToolbar();
    chooseFile('{}');
    await waitFor(() =>
      expect(screen.getByTestId('import-error')).toHaveTextContent('File is gone'),
    );
  });

  it('loads a file as one undoable step, clears the message, and loads the same file again', async () => {
    const { latest } = renderToolbar({ scheme: scheme([rect('a')]), selectedIds: ['a'] });
    chooseFile('nonsense');
    await waitFor(() => expect(screen.getByTestId('import-error')).toBeInTheDocument());

    const input = chooseFile(JSON.stringify(valid));
    await waitFor(() => expect(latest.state.scheme).toEqual(valid));
    expect(screen.queryByTestId('import-error')).toBeNull();
    expect(latest.state.selectedIds).toEqual([]);
    expect(input.value).toBe('');
    expect(latest.unsaved).toBe(false);

    chooseFile(JSON.stringify(valid));
    await waitFor(() => expect(latest.state.past).toHaveLength(2));

    fireEvent.click(button('Отменить'));
    fireEvent.click(button('Отменить'));
    expect(latest.state.scheme.elements.map((e) => e.id)).toEqual(['a']);
    expect(latest.unsaved).toBe(true);
  });

  it('does nothing when the chooser reports no file', async () => {
    const { latest } = renderToolbar();
    const before = latest.state;
    const input = screen.getByTestId('import-input') as HTMLInputElement;
    Object.defineProperty(input, 'files', { value: [], configurable: true });
    fireEvent.change(input);
    await settle();
    expect(latest.state).toBe(before);
    expect(screen.queryByTestId('import-error')).toBeNull();
  });

  it('counts edits as unsaved until saved, and undoing back to the saved scheme as saved', () => {
    stubDownload();
    const { latest } = renderToolbar({ scheme: scheme([rect('a')]), selectedIds: ['a'] });
    expect(latest.unsaved).toBe(false);
    fireEvent.click(button('Повернуть по часовой стрелке на 45°'));
    expect(latest.unsaved).toBe(true);
    fireEvent.click(button('Отменить'));
    expect(latest.unsaved).toBe(false);
    fireEvent.click(button('Повторить'));
    fireEvent.click(button('Сохранить схему в файл'));
    expect(latest.unsaved).toBe(false);
    fireEvent.click(button('Отменить'));
    expect(latest.unsaved).toBe(true);
  });

  it.each([
    ['written', 'pump.json', false, null],
    ['cancelled', '', true, null],
    ['failed', 'No space left on device', true, 'Ошибка сохранения схемы: No space left on device'],
  ] as const)(
    'inside the program counts a save as saved only once the file is written: %s',
    async (outcome, detail, stillUnsaved, message) => {
      stubDownload();
      const { latest } = renderToolbar(
        { scheme: scheme([rect('a')]), selectedIds: ['a'] },
        false,
        NO_SCHEME_CATALOG,
        true,
      );
      fireEvent.click(button('Повернуть по часовой стрелке на 45°'));
      fireEvent.click(button('Сохранить схему в файл'));
      expect(latest.unsaved).toBe(true);
      const report = (url: string) =>
        act(() => {
          window.dispatchEvent(
            new CustomEvent(SAVE_RESULT_EVENT, { detail: { url, outcome, detail } }),
          );
        });
      // A report of another download says nothing of this one.
      report('blob:other');
      await settle();
      expect(latest.unsaved).toBe(true);
      report('blob:x');
      await settle();
      expect(latest.unsaved).toBe(stillUnsaved);
      if (message) expect(screen.getByTestId('import-error')).toHaveTextContent(message);
      else expect(screen.queryByTestId('import-error')).toBeNull();
    },
  );

  it('counts edits that cancel each other out as saved', () => {
    const { latest } = renderToolbar({
      scheme: scheme([rect('b'), rect('c')]),
      selectedIds: ['b'],
    });
    fireEvent.click(button('На шаг вперёд'));
    expect(latest.unsaved).toBe(true);
    fireEvent.click(button('На шаг назад'));
    expect(latest.state.past).toHaveLength(2);
    expect(latest.unsaved).toBe(false);
  });

  it('keeps files of its own when used without a provider', () => {
    const clicks = stubDownload();
    render(
      <EditorProvider initial={createEditorState(valid)}>
        <EditorToolbar preview={false} />
      </EditorProvider>,
    );
    fireEvent.click(within(document.body).getByRole('button', { name: 'Сохранить схему в файл' }));
    expect(clicks).toEqual(['Загруженная.json']);
  });
});
