import { act, fireEvent, render, screen, within } from '@testing-library/react';
import { describe, expect, it } from 'vitest';
import '../../symbols/library';
import {
  createEditorState,
  createNewScheme,
  EditorProvider,
  NO_SCHEME_CATALOG,
  SchemeCatalogContext,
  useEditor,
  type EditorContextValue,
  type EditorState,
  type SchemeCatalog,
} from '../model';
import { makeState, rect } from '../model/testFixtures';
import { PropertyInspector } from './PropertyPanel';

let editor: EditorContextValue;
function Probe() {
  editor = useEditor();
  return null;
}

const station: SchemeCatalog = {
  ...NO_SCHEME_CATALOG,
  schemes: [
    { id: 'pump-station', name: 'Насосная станция' },
    { id: 'boilers', name: 'Котельная', fileName: 'boilers.json' },
    // A second file with a taken id is offered once.
    { id: 'boilers', name: 'Котельная (копия)', fileName: 'copy.json' },
  ],
};

function mount(state: EditorState, catalog: SchemeCatalog = station) {
  return render(
    <EditorProvider initial={state}>
      <SchemeCatalogContext.Provider value={catalog}>
        <PropertyInspector />
      </SchemeCatalogContext.Provider>
      <Probe />
    </EditorProvider>,
  );
}

const field = (label: string) => screen.getByLabelText(label) as HTMLInputElement;
const type = (label: string, text: string) =>
  fireEvent.change(field(label), { target: { value: text } });
const problem = () => screen.queryByTestId('scheme-id-problem')?.textContent ?? null;

describe('the work area names the scheme', () => {
  it("edits the name and the id, one undo step each, a new scheme's id following its name", () => {
    mount(createEditorState(createNewScheme(), { idFollowsName: true }));
    expect([field('Название').value, field('Идентификатор').value]).toEqual([
      'Новая схема',
      'novaya-skhema',
    ]);
    type('Название', 'Котельная №2');
    expect(field('Идентификатор').value).toBe('kotelnaya-2');
    type('Идентификатор', 'boiler-2');
    type('Название', 'Котельная №3');
    expect(editor.state.scheme).toMatchObject({ name: 'Котельная №3', id: 'boiler-2' });
    expect(editor.state.past).toHaveLength(3);
    act(() => editor.dispatch({ type: 'undo' }));
    expect([field('Название').value, field('Идентификатор').value]).toEqual([
      'Котельная №2',
      'boiler-2',
    ]);
  });

  it('says beside the field that an id is taken or badly formed, until it is changed', () => {
    mount(makeState([]));
    expect(problem()).toBeNull();
    type('Идентификатор', 'pump-station');
    expect(problem()).toBe('Идентификатор «pump-station» уже занят');
    expect(field('Идентификатор')).toHaveAttribute('aria-invalid', 'true');
    type('Идентификатор', 'boilers');
    expect(problem()).toBe('Идентификатор «boilers» уже занят');
    type('Идентификатор', 'Котельная');
    expect(problem()).toBe('Идентификатор — строчные латинские буквы, цифры и дефисы между ними');
    type('Идентификатор', 'boilers-2');
    expect(problem()).toBeNull();
  });

  it("does not count the scheme's own folder file as taking its id", () => {
    const own: SchemeCatalog = { ...station, ownFileName: () => 'boilers.json' };
    const first = mount(makeState([]), own);
    type('Идентификатор', 'boilers');
    // The copy in another file still holds it.
    expect(problem()).toBe('Идентификатор «boilers» уже занят');
    first.unmount();
    mount(makeState([]), { ...own, schemes: station.schemes.slice(0, 2) });
    type('Идентификатор', 'boilers');
    expect(problem()).toBeNull();
  });
});

describe('an element links to another scheme', () => {
  const options = () =>
    within(screen.getByLabelText('Переход на схему'))
      .getAllByRole('option')
      .map((option) => [(option as HTMLOptionElement).value, option.textContent]);

  it("offers no link and each of the station's schemes once, and sets or clears the link", () => {
    mount(makeState([rect('a')], { selectedIds: ['a'] }));
    expect(field('Переход на схему').value).toBe('');
    expect(options()).toEqual([
      ['', '— нет перехода —'],
      ['pump-station', 'Насосная станция'],
      ['boilers', 'Котельная'],
    ]);
    fireEvent.change(field('Переход на схему'), { target: { value: 'boilers' } });
    expect(editor.state.scheme.elements[0].link).toBe('boilers');
    fireEvent.change(field('Переход на схему'), { target: { value: '' } });
    expect(editor.state.scheme.elements[0]).not.toHaveProperty('link', expect.anything());
    expect(JSON.stringify(editor.state.scheme.elements[0])).not.toContain('link');
    expect(editor.state.past).toHaveLength(2);
  });

  it('shows a link to a scheme the station does not have as its id', () => {
    mount(makeState([rect('a', 0, 0, 20, 10, { link: 'gone-scheme' })], { selectedIds: ['a'] }));
    expect(field('Переход на схему').value).toBe('gone-scheme');
    expect(options().at(-1)).toEqual(['gone-scheme', 'gone-scheme']);
  });
});
