// The editor's left zone: a tile per kind of element, narrowed by a search
// over labels. Tiles are dragged onto the canvas or clicked to add at a fixed
// spot; the palette uses the editor only to dispatch, so its tiles are
// memoised and do not redraw when the editor state changes.

import { memo, useCallback, useMemo, useState, type DragEvent } from 'react';
import { useSymbolEntries } from '../../symbols';
import { useEditor } from '../model';
import { PalettePreview } from './PalettePreview';
import {
  CLICK_ADD_POSITION,
  PALETTE_DRAG_TYPE,
  createElementForKey,
  filterItems,
  groupItems,
  paletteItems,
  type PaletteItem,
} from './items';

interface PaletteTileProps {
  item: PaletteItem;
  onAdd: (key: string) => void;
}

const PaletteTile = memo(function PaletteTile({ item, onAdd }: PaletteTileProps) {
  const onDragStart = (event: DragEvent<HTMLButtonElement>): void => {
    event.dataTransfer.setData(PALETTE_DRAG_TYPE, item.key);
  };
  return (
    <button
      type="button"
      className="orvo-palette__tile"
      data-add={item.key}
      title={item.label}
      draggable
      onDragStart={onDragStart}
      onClick={() => onAdd(item.key)}
    >
      <PalettePreview itemKey={item.key} />
      <span className="orvo-palette__label">{item.label}</span>
    </button>
  );
});

export function ElementPalette() {
  const { dispatch } = useEditor();
  const [query, setQuery] = useState('');
  // Own symbols of the station's folder come and go while the palette is open.
  const symbols = useSymbolEntries();
  const items = useMemo(() => paletteItems(symbols), [symbols]);
  const groups = useMemo(() => groupItems(filterItems(items, query)), [items, query]);
  const onAdd = useCallback(
    (key: string) => {
      const element = createElementForKey(key, CLICK_ADD_POSITION.x, CLICK_ADD_POSITION.y);
      if (element !== undefined) dispatch({ type: 'add', element });
    },
    [dispatch],
  );
  return (
    <div className="orvo-palette">
      <input
        className="orvo-input"
        placeholder="Поиск…"
        value={query}
        onChange={(event) => setQuery(event.target.value)}
      />
      {groups.length === 0 ? (
        <div className="orvo-palette__empty" data-testid="palette-empty">
          Ничего не найдено. Очистите поиск, чтобы увидеть всю библиотеку.
        </div>
      ) : null}
      {groups.map((group) => (
        <div key={group.name}>
          <div className="orvo-palette__cat">{group.name}</div>
          <div className="orvo-palette__grid">
            {group.items.map((item) => (
              <PaletteTile key={item.key} item={item} onAdd={onAdd} />
            ))}
          </div>
        </div>
      ))}
    </div>
  );
}
