import { act, fireEvent, render, screen, within } from '@testing-library/react';
import { afterEach, beforeEach, describe, expect, it, vi } from 'vitest';
import type { DataSource } from '../../data';
import type { SchemeElement } from '../../scheme';
import '../../symbols/library';
import { EditorProvider, useEditor, type EditorContextValue, type EditorState } from '../model';
import { makeState, pipe, rect } from '../model/testFixtures';
import { DataSourceContext } from './dataSource';
import { PropertyInspector } from './PropertyPanel';
import { fakeSource, pointValue, type FakeSource } from './testSource';

let editor: EditorContextValue;
function Probe() {
  editor = useEditor();
  return null;
}

function mount(state: EditorState, source: DataSource | null = fakeSource()) {
  return render(
    <EditorProvider initial={state}>
      <DataSourceContext.Provider value={source}>
        <PropertyInspector />
      </DataSourceContext.Provider>
      <Probe />
    </EditorProvider>,
  );
}

const element = (id: string) => editor.state.scheme.elements.find((e) => e.id === id)!;
const field = (label: string) => screen.getByLabelText(label) as HTMLInputElement;
const type = (label: string, text: string) =>
  fireEvent.change(field(label), { target: { value: text } });
const select = (ids: string[]) => act(() => editor.dispatch({ type: 'select', ids }));

const text = (id: string, extra: Partial<SchemeElement> = {}): SchemeElement => ({
  id,
  type: 'text',
  x: 0,
  y: 0,
  width: 40,
  height: 20,
  content: 'A',
  style: { fill: '#222222' },
  ...extra,
});

let errors: ReturnType<typeof vi.spyOn>;
beforeEach(() => {
  errors = vi.spyOn(console, 'error');
});
afterEach(() => {
  expect(errors).not.toHaveBeenCalled();
  errors.mockRestore();
});

describe('nothing selected', () => {
  it('explains itself and edits the scheme size, bounded below by 8', () => {
    mount(makeState([rect('a')]));
    expect(screen.getByTestId('props-empty')).toHaveTextContent(/^Ничего не выделено\./);
    expect(field('Ширина').value).toBe('400');
    type('Ширина', '3');
    expect(editor.state.scheme.size).toEqual({ width: 8, height: 300 });
    type('Высота', '250');
    expect(editor.state.scheme.size).toEqual({ width: 8, height: 250 });
  });
});

describe('one element', () => {
  it('shows a new rectangle with 0 for absent opacity and radius, and sets style.opacity', () => {
    mount(makeState([rect('a')], { selectedIds: ['a'] }));
    expect(screen.getByTestId('props-type')).toHaveTextContent('Фигура');
    expect(screen.getByTestId('props-id')).toHaveTextContent('a');
    expect(field('Непрозрачность').value).toBe('0');
    expect(field('Скругление').value).toBe('0');
    type('Непрозрачность', '0.5');
    expect(element('a').style).toEqual({ fill: '#cccccc', opacity: 0.5 });
  });

  it.each([
    ['Непрозрачность', '2', (e: SchemeElement) => e.style.opacity, 1],
    ['Поворот', '-400', (e: SchemeElement) => e.rotation, -360],
    ['Ширина', '3', (e: SchemeElement) => e.width, 8],
    ['Скругление', '-1', (e: SchemeElement) => e.rx, 0],
  ])('typing into "%s" the text %s stores the bounded value', (label, typed, read, stored) => {
    mount(makeState([rect('a')], { selectedIds: ['a'] }));
    type(label, typed);
    expect(read(element('a'))).toBe(stored);
  });

  it('makes each edit its own undo step', () => {
    mount(makeState([rect('a')], { selectedIds: ['a'] }));
    type('X', '1');
    type('X', '12');
    expect(editor.state.past).toHaveLength(2);
  });

  it('shows the flow hint below its toggle and stores the flag', () => {
    mount(makeState([pipe('p', [0, 0, 50, 0])], { selectedIds: ['p'] }));
    expect(screen.getByTestId('props-type')).toHaveTextContent('Труба');
    const toggle = screen.getByLabelText('Поток');
    const hint = screen.getByText('Бегущая штриховка вдоль трубы — признак движения среды.');
    expect(hint).toHaveClass('orvo-field__hint');
    expect(toggle.compareDocumentPosition(hint) & Node.DOCUMENT_POSITION_FOLLOWING).toBeTruthy();
    fireEvent.click(toggle);
    expect(element('p').style).toEqual({ stroke: '#4a8f4a', strokeWidth: 4, flow: true });
  });

  it('offers the symbol library and keeps an unknown symbol shown as itself', () => {
    const symbol = (id: string, symbolId: string): SchemeElement => ({
      id,
      type: 'symbol',
      symbolId,
      x: 0,
      y: 0,
      width: 48,
      height: 48,
      style: {},
    });
    mount(makeState([symbol('s', 'pump'), symbol('u', 'compressor')], { selectedIds: ['s'] }));
    const chooser = screen.getByLabelText('Символ') as HTMLSelectElement;
    expect(chooser.value).toBe('pump');
    expect(chooser.selectedOptions[0].text).toBe('Насос');
    expect(chooser.options).toHaveLength(9);
    fireEvent.change(chooser, { target: { value: 'valve' } });
    expect(element('s').symbolId).toBe('valve');

    select(['u']);
    const unknown = screen.getByLabelText('Символ') as HTMLSelectElement;
    expect(unknown.value).toBe('compressor');
    expect(unknown.options).toHaveLength(10);
  });

  it('shows a symbol without a symbol id as chosen nothing, so that the first symbol can be picked', () => {
    // Loading does not check symbol ids, so one can be missing.
    const bare = { id: 's', type: 'symbol', x: 0, y: 0, width: 48, height: 48, style: {} };
    mount(makeState([bare as SchemeElement], { selectedIds: ['s'] }));
    const chooser = screen.getByLabelText('Символ') as HTMLSelectElement;
    expect(chooser.value).toBe('');
    expect(chooser.selectedOptions[0].text).toBe('');
    fireEvent.change(chooser, { target: { value: 'tank' } });
    expect(element('s').symbolId).toBe('tank');
  });

  it('says when the selected element is missing', () => {
    mount(makeState([rect('a')], { selectedIds: ['gone'] }));
    expect(screen.getByTestId('props-empty')).toHaveTextContent(
      'Элемент не найден. Выберите другой в палитре.',
    );
  });

  it('deletes the element', () => {
    mount(makeState([rect('a'), rect('b')], { selectedIds: ['a'] }));
    fireEvent.click(screen.getByRole('button', { name: 'Удалить элемент' }));
    expect(editor.state.scheme.elements.map((e) => e.id)).toEqual(['b']);
  });
});

describe('several elements', () => {
  const appearanceLabels = () =>
    within(screen.getByText('Внешний вид').closest('.orvo-section')! as HTMLElement)
      .getAllByText((_, node) => node?.classList.contains('orvo-field__label') ?? false)
      .map((node) => node.textContent);

  it('offers the first type’s common fields, in scheme order, and shows differing fills as mixed', () => {
    mount(
      makeState([rect('r', 0, 0, 20, 10, { style: { fill: '#ff0000' } }), text('t')], {
        selectedIds: ['t', 'r'],
      }),
    );
    expect(screen.getByTestId('props-multi')).toHaveTextContent('Выделено элементов: 2');
    expect(appearanceLabels()).toEqual(['Заливка', 'Непрозрачность']);
    const fill = field('Заливка');
    expect(fill.value).toBe('');
    expect(fill.placeholder).toBe('—');
    expect(screen.getByTestId('orvo-swatch').style.getPropertyValue('--orvo-swatch-color')).toBe(
      'transparent',
    );
    // Both lack an opacity: the same value, not mixed.
    expect(field('Непрозрачность').placeholder).toBe('');
    expect(field('Непрозрачность').value).toBe('0');
  });

  it.each([
    ['X', (e: SchemeElement) => e.x, [0, 50, 0], true],
    ['Y', (e: SchemeElement) => e.y, [5, 5, 5], false],
    ['Ширина', (e: SchemeElement) => e.width, [20, 20, 20], false],
  ])('shows "%s" mixed exactly when the values differ', (label, _read, _values, mixed) => {
    mount(
      makeState([rect('a', 0, 5), rect('b', 50, 5), rect('c', 0, 5)], {
        selectedIds: ['a', 'b', 'c'],
      }),
    );
    expect(screen.getByTestId('props-multi')).toHaveTextContent('Выделено элементов: 3');
    expect(field(label).placeholder).toBe(mixed ? '—' : '');
    expect(field(label).value).toBe(mixed ? '' : String(_values[0]));
  });

  it('sets one property on every selected element in one undo step', () => {
    mount(
      makeState(
        [
          rect('red', 0, 0, 20, 10, { style: { fill: '#ff0000', opacity: 0.5 } }),
          rect('other', 5, 5),
          rect('blue', 30, 40, 20, 10, { style: { fill: '#0000ff' } }),
        ],
        { selectedIds: ['red', 'blue'] },
      ),
    );
    const before = editor.state.scheme;
    type('Контур', '#112233');
    expect(element('red').style).toEqual({ fill: '#ff0000', opacity: 0.5, stroke: '#112233' });
    expect(element('blue').style).toEqual({ fill: '#0000ff', stroke: '#112233' });
    expect(element('other')).toBe(before.elements[1]);
    expect(editor.state.past).toEqual([before]);

    type('X', '100');
    expect([element('red').x, element('red').y, element('blue').x, element('blue').y]).toEqual([
      100, 0, 100, 40,
    ]);
    expect(editor.state.past).toHaveLength(2);

    act(() => editor.dispatch({ type: 'undo' }));
    act(() => editor.dispatch({ type: 'undo' }));
    expect(editor.state.scheme).toBe(before);
  });

  it('aligns and deletes the selection', () => {
    mount(makeState([rect('a', 10, 0), rect('b', 40, 20), rect('c')], { selectedIds: ['a', 'b'] }));
    expect(
      screen.getAllByRole('button', { name: /^По |^Равные/ }).map((b) => b.getAttribute('title')),
    ).toEqual([
      'По левому краю',
      'По центру по горизонтали',
      'По правому краю',
      'По верхнему краю',
      'По центру по вертикали',
      'По нижнему краю',
      'Равные промежутки по горизонтали',
      'Равные промежутки по вертикали',
    ]);
    fireEvent.click(screen.getByRole('button', { name: 'По левому краю' }));
    expect([element('a').x, element('b').x]).toEqual([10, 10]);
    fireEvent.click(screen.getByRole('button', { name: 'Удалить элементы' }));
    expect(editor.state.scheme.elements.map((e) => e.id)).toEqual(['c']);
  });
});

describe('binding and live value', () => {
  const bound = (id: string, pointId: string) => rect(id, 0, 0, 20, 10, { pointId });
  const tagLabels = () =>
    [...(screen.getByLabelText('Тег') as HTMLSelectElement).options].map((o) => o.text);

  it('labels the scheme’s tags by id until the catalogue arrives, then with description and unit', async () => {
    const source = fakeSource();
    mount(makeState([bound('a', 'LT-101'), bound('b', 'ZZ-1')], { selectedIds: ['a'] }), source);
    expect(tagLabels()).toEqual(['— не задан —', 'LT-101', 'ZZ-1']);
    await act(async () =>
      source.catalogue[0].resolve([
        { id: 'PT-1', kind: 'analog', description: 'давление' },
        { id: 'LT-101', kind: 'analog', unit: '%', description: 'уровень в Б-1' },
      ]),
    );
    expect(tagLabels()).toEqual([
      '— не задан —',
      'PT-1 — давление',
      'LT-101 — уровень в Б-1, %',
      'ZZ-1',
    ]);
  });

  it.each<[string, FakeSource | DataSource]>([
    ['fails', fakeSource()],
    ['has no catalogue', { ...fakeSource(), listPoints: undefined } as unknown as DataSource],
  ])('keeps the tag list usable when the catalogue %s', async (_, source) => {
    mount(makeState([bound('a', 'LT-101')], { selectedIds: ['a'] }), source);
    if ('catalogue' in source && source.catalogue.length > 0) {
      await act(async () => (source as FakeSource).catalogue[0].reject(new Error('offline')));
    }
    expect(tagLabels()).toEqual(['— не задан —', 'LT-101']);
    fireEvent.change(screen.getByLabelText('Тег'), { target: { value: '' } });
    expect(element('a').pointId).toBeUndefined();
  });

  it('follows the bound point of the selected element and drops a late answer', async () => {
    const source = fakeSource();
    mount(
      makeState([bound('a', 'LT-101'), bound('b', 'PT-1'), rect('c')], { selectedIds: ['a'] }),
      source,
    );
    expect(screen.getByTestId('point-value')).toHaveTextContent('нет данных');
    expect(screen.queryByTestId('point-status')).toBeNull();

    act(() => source.push([pointValue('LT-101', 42.123456789)]));
    expect(screen.getByTestId('point-value')).toHaveTextContent('42.123456789');
    expect(screen.getByTestId('point-status')).toHaveTextContent('достоверно');
    expect(screen.getByTestId('point-status').style.color).toBe('var(--orvo-ok)');

    select(['b']);
    expect(screen.getByTestId('point-value')).toHaveTextContent('нет данных');
    await act(async () => source.reads[0].answer.resolve([pointValue('LT-101', 1)]));
    expect(screen.getByTestId('point-value')).toHaveTextContent('нет данных');
    await act(async () => source.reads[1].answer.resolve([pointValue('PT-1', true, 'uncertain')]));
    expect(screen.getByTestId('point-value')).toHaveTextContent('true');
    expect(screen.getByTestId('point-status')).toHaveTextContent('сомнительно');
    expect(screen.getByTestId('point-status').style.color).toBe('var(--orvo-warn)');

    act(() => source.push([pointValue('PT-1', false, 'bad')]));
    expect(screen.getByTestId('point-status').style.color).toBe('var(--orvo-alarm)');

    // Rebinding follows the new point; unbinding leaves no value.
    fireEvent.change(screen.getByLabelText('Тег'), { target: { value: 'LT-101' } });
    expect(element('b').pointId).toBe('LT-101');
    act(() => source.push([pointValue('LT-101', 7)]));
    expect(screen.getByTestId('point-value')).toHaveTextContent('7');
    fireEvent.change(screen.getByLabelText('Тег'), { target: { value: '' } });
    expect(element('b').pointId).toBeUndefined();
    expect(JSON.stringify(element('b'))).not.toContain('pointId');
    expect(screen.getByTestId('point-value')).toHaveTextContent('нет данных');
    expect(source.subscriptions.filter((s) => s.active)).toEqual([]);
  });

  it('shows no live value without a data source', () => {
    mount(makeState([bound('a', 'LT-101')], { selectedIds: ['a'] }), null);
    expect(screen.getByTestId('point-value')).toHaveTextContent('нет данных');
  });

  it('follows no point while several elements are selected', () => {
    const source = fakeSource();
    mount(
      makeState([bound('a', 'LT-101'), bound('b', 'PT-1')], { selectedIds: ['a', 'b'] }),
      source,
    );
    expect(source.subscriptions).toEqual([]);
  });
});

describe('rules of the selected element', () => {
  it('dispatches a new rule list as one update of the element', () => {
    mount(makeState([rect('a')], { selectedIds: ['a'] }));
    fireEvent.click(screen.getByRole('button', { name: 'Добавить правило' }));
    expect(element('a').conditions).toEqual([
      { when: { field: 'value', op: 'gte', value: 0 }, set: { fill: '#d1242f' } },
    ]);
    expect(editor.state.past).toHaveLength(1);
  });

  it('shows rules that are not a list without throwing and keeps them through other edits', () => {
    const odd = { when: { field: 'value', op: 'gt', value: 1 }, set: { fill: '#ff0000' } };
    mount(
      makeState([rect('a', 0, 0, 20, 10, { conditions: odd as never })], { selectedIds: ['a'] }),
    );
    expect(screen.getByTestId('rules-unreadable')).toBeInTheDocument();
    expect(screen.queryByRole('button', { name: 'Добавить правило' })).toBeNull();
    type('X', '5');
    expect(element('a').conditions).toBe(odd);

    // Only the engineer's own choice replaces them, as one undoable step.
    fireEvent.click(screen.getByRole('button', { name: 'Удалить правила' }));
    expect(element('a').conditions).toEqual([]);
    fireEvent.click(screen.getByRole('button', { name: 'Добавить правило' }));
    expect(element('a').conditions).toHaveLength(1);
    act(() => editor.dispatch({ type: 'undo' }));
    act(() => editor.dispatch({ type: 'undo' }));
    expect(element('a').conditions).toBe(odd);
  });
});
