import { act, fireEvent, render, screen, within } from '@testing-library/react';
import userEvent from '@testing-library/user-event';
import { describe, expect, it, vi } from 'vitest';
import { findSymbol, registerOwnSymbols } from '../../symbols';
import { EditorProvider, useEditor } from '../model';
import { makeState } from '../model/testFixtures';
import { ElementPalette } from './ElementPalette';

/** Shows the editor state that the palette's commands produce. */
function StateProbe() {
  const { state, dispatch } = useEditor();
  return (
    <>
      <output data-testid="state">
        {JSON.stringify({ elements: state.scheme.elements, selectedIds: state.selectedIds })}
      </output>
      <button type="button" onClick={() => dispatch({ type: 'select', ids: [] })}>
        deselect
      </button>
    </>
  );
}

function mount() {
  const view = render(
    <EditorProvider initial={makeState([])}>
      <ElementPalette />
      <StateProbe />
    </EditorProvider>,
  );
  const readState = () =>
    JSON.parse(screen.getByTestId('state').textContent ?? '{}') as {
      elements: Array<Record<string, unknown>>;
      selectedIds: string[];
    };
  return { ...view, readState };
}

function tiles(): HTMLElement[] {
  return Array.from(document.querySelectorAll<HTMLElement>('.orvo-palette__tile'));
}

function categories(): string[] {
  return Array.from(document.querySelectorAll('.orvo-palette__cat')).map((c) => c.textContent!);
}

function search(): HTMLInputElement {
  return screen.getByPlaceholderText('Поиск…') as HTMLInputElement;
}

describe('ElementPalette', () => {
  it('shows 14 tiles in 7 categories, the symbols first and the pipes last', () => {
    mount();
    expect(categories()).toEqual([
      'Резервуары',
      'Насосы / задвижки',
      'Индикаторы',
      'Агрегаты',
      'Теплообмен',
      'Примитивы',
      'Трубы / линии',
    ]);
    const labelOf = (tile: HTMLElement) => tile.querySelector('.orvo-palette__label')!.textContent;
    expect(tiles().map((tile) => [tile.getAttribute('data-add'), labelOf(tile)])).toEqual([
      ['symbol:tank', 'Резервуар'],
      ['symbol:pump', 'Насос'],
      ['symbol:valve', 'Задвижка'],
      ['symbol:indicator-box', 'Статус-бокс'],
      ['symbol:gauge', 'Прибор стрелочный'],
      ['symbol:gas-turbine', 'Газотурбинный агрегат'],
      ['symbol:boiler', 'Котёл'],
      ['symbol:generator', 'Генератор'],
      ['symbol:heat-exchanger', 'Теплообменник'],
      ['rect', 'Прямоугольник'],
      ['text', 'Текст'],
      ['value', 'Значение'],
      ['indicator', 'Индикатор'],
      ['polyline', 'Труба'],
    ]);
    expect(screen.queryByTestId('palette-empty')).toBeNull();
  });

  it('lays out the search box, then per category a heading and a grid of tiles', () => {
    const { container } = mount();
    const palette = container.querySelector('.orvo-palette')!;
    expect(palette.tagName).toBe('DIV');
    const [input, firstBlock] = Array.from(palette.children);
    expect(input).toBe(search());
    expect(input.getAttribute('class')).toBe('orvo-input');
    expect(search()).toHaveValue('');
    expect(firstBlock.tagName).toBe('DIV');
    const [heading, grid] = Array.from(firstBlock.children);
    expect(heading.getAttribute('class')).toBe('orvo-palette__cat');
    expect(heading.textContent).toBe('Резервуары');
    expect(grid.getAttribute('class')).toBe('orvo-palette__grid');
    expect(grid.children).toHaveLength(1);
  });

  it('builds each tile as a draggable button with its key, title, preview and label', () => {
    mount();
    const tile = screen.getByTitle('Котёл');
    expect(tile.tagName).toBe('BUTTON');
    expect(tile).toHaveAttribute('type', 'button');
    expect(tile.getAttribute('class')).toBe('orvo-palette__tile');
    expect(tile).toHaveAttribute('data-add', 'symbol:boiler');
    expect(tile).toHaveAttribute('draggable', 'true');
    const [preview, label] = Array.from(tile.children);
    expect(preview.tagName.toLowerCase()).toBe('svg');
    expect(label.tagName).toBe('SPAN');
    expect(label.getAttribute('class')).toBe('orvo-palette__label');
    expect(label.textContent).toBe('Котёл');
  });

  it.each([
    ['НАСОС', ['Насос']],
    ['агрегат', ['Газотурбинный агрегат']],
    [' агрегат', ['Газотурбинный агрегат']],
  ])('narrows the tiles to labels containing %j', async (query, labels) => {
    mount();
    await userEvent.type(search(), query);
    expect(tiles().map((tile) => tile.title)).toEqual(labels);
    expect(categories()).toHaveLength(1);
  });

  it.each(['Примитивы', ' насос', 'symbol:tank'])(
    'shows only the empty-search message for %j',
    (query) => {
      mount();
      fireEvent.change(search(), { target: { value: query } });
      expect(tiles()).toHaveLength(0);
      expect(categories()).toHaveLength(0);
      const empty = screen.getByTestId('palette-empty');
      expect(empty.getAttribute('class')).toBe('orvo-palette__empty');
      expect(empty.textContent).toBe(
        'Ничего не найдено. Очистите поиск, чтобы увидеть всю библиотеку.',
      );
    },
  );

  it('drops a category none of whose tiles match, keeping the others in order', () => {
    mount();
    fireEvent.change(search(), { target: { value: 'тор' } });
    expect(categories()).toEqual(['Агрегаты', 'Примитивы']);
    expect(tiles().map((tile) => tile.title)).toEqual(['Генератор', 'Индикатор']);
  });

  it('shows the whole library again once the search is cleared', async () => {
    mount();
    await userEvent.type(search(), 'xyz');
    expect(screen.getByTestId('palette-empty')).toBeInTheDocument();
    await userEvent.clear(search());
    expect(tiles()).toHaveLength(14);
  });

  it('puts only the item key into the drag data, under the palette type', () => {
    mount();
    const setData = vi.fn();
    fireEvent.dragStart(screen.getByTitle('Котёл'), { dataTransfer: { setData } });
    expect(setData.mock.calls).toEqual([['application/x-mnemo-add', 'symbol:boiler']]);
  });

  it('adds and selects a pipe from (20, 20) to (100, 20) when "Труба" is clicked', async () => {
    const { readState } = mount();
    await userEvent.click(screen.getByTitle('Труба'));
    const { elements, selectedIds } = readState();
    expect(elements).toHaveLength(1);
    const [pipe] = elements;
    expect(pipe).toMatchObject({
      type: 'polyline',
      points: [20, 20, 100, 20],
      x: 20,
      y: 20,
      width: 80,
      height: 0,
    });
    expect(pipe.id).toMatch(/^el-\d+$/);
    expect(selectedIds).toEqual([pipe.id]);
  });

  it('adds a 48 × 90 tank at (20, 20) when "Резервуар" is clicked', async () => {
    const { readState } = mount();
    await userEvent.click(screen.getByTitle('Резервуар'));
    const [tank] = readState().elements;
    expect(tank).toMatchObject({
      type: 'symbol',
      symbolId: 'tank',
      x: 20,
      y: 20,
      width: 48,
      height: 90,
    });
    expect(tank).not.toHaveProperty('pointId');
    expect(tank).not.toHaveProperty('conditions');
    expect(readState().selectedIds).toEqual([tank.id]);
  });

  it.each([
    ['Прямоугольник', 'rect'],
    ['Текст', 'text'],
    ['Значение', 'value'],
    ['Индикатор', 'indicator'],
  ])('adds the primitive of the "%s" tile at (20, 20)', async (label, type) => {
    const { readState } = mount();
    await userEvent.click(screen.getByTitle(label));
    expect(readState().elements).toEqual([expect.objectContaining({ type, x: 20, y: 20 })]);
  });

  it('gives every click a new element with a fresh id', async () => {
    const { readState } = mount();
    await userEvent.click(screen.getByTitle('Насос'));
    await userEvent.click(screen.getByTitle('Насос'));
    const [first, second] = readState().elements;
    expect(first.id).not.toBe(second.id);
    expect(readState().selectedIds).toEqual([second.id]);
  });

  it('draws a preview in every tile, named by its label alone', () => {
    mount();
    for (const tile of tiles()) {
      expect(tile.firstElementChild!.tagName.toLowerCase()).toBe('svg');
      expect(tile).toHaveAccessibleName(tile.title);
      expect(within(tile).getByText(tile.title)).toHaveClass('orvo-palette__label');
    }
  });

  it('does not redraw its previews when the editor state or the query changes', async () => {
    const pump = findSymbol('pump')!;
    const draw = vi.spyOn(pump, 'render');
    try {
      mount();
      expect(draw).toHaveBeenCalledTimes(1);
      await userEvent.click(screen.getByTitle('Прямоугольник'));
      await userEvent.click(screen.getByRole('button', { name: 'deselect' }));
      await userEvent.type(search(), 'нас');
      expect(tiles().map((tile) => tile.title)).toEqual(['Насос']);
      expect(draw).toHaveBeenCalledTimes(1);
    } finally {
      draw.mockRestore();
    }
  });

  it('offers own symbols under "Свои символы" as they come and go, drawn in their tiles', async () => {
    const { readState } = mount();
    const drawing = (fill: string) =>
      `<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 30 20"><rect data-part="fill" width="30" height="20" fill="${fill}"/></svg>`;
    try {
      act(() =>
        registerOwnSymbols([{ name: 'заслонка', svg: drawing('#123'), width: 30, height: 20 }]),
      );
      expect(categories()).toEqual([
        'Резервуары',
        'Насосы / задвижки',
        'Индикаторы',
        'Агрегаты',
        'Теплообмен',
        'Свои символы',
        'Примитивы',
        'Трубы / линии',
      ]);
      const tile = screen.getByTitle('заслонка');
      expect(tile).toHaveAttribute('data-add', 'symbol:file:заслонка');
      expect(tile.querySelector('svg svg rect')).toHaveAttribute('fill', '#123');

      act(() =>
        registerOwnSymbols([{ name: 'заслонка', svg: drawing('#456'), width: 30, height: 20 }]),
      );
      expect(screen.getByTitle('заслонка').querySelector('svg svg rect')).toHaveAttribute(
        'fill',
        '#456',
      );

      await userEvent.click(screen.getByTitle('заслонка'));
      expect(readState().elements).toEqual([
        expect.objectContaining({ symbolId: 'file:заслонка', x: 20, y: 20, width: 30, height: 20 }),
      ]);

      act(() => registerOwnSymbols([]));
      expect(screen.queryByTitle('заслонка')).toBeNull();
      expect(categories()).not.toContain('Свои символы');
    } finally {
      registerOwnSymbols([]);
    }
  });
});
