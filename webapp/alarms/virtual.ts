// Which rows of a long table are drawn: rows of one fixed height, and at most
// one row opened below by a panel of a fixed extra height. Only the rows in
// view and a margin are drawn, so ten thousand alarms cost what forty do.

export interface RowLayout {
  count: number;
  rowHeight: number;
  /** The row opened by a panel, if any, and the panel's height. */
  opened?: number;
  openedHeight?: number;
}

function extraOf(layout: RowLayout): number {
  return layout.opened !== undefined && layout.opened < layout.count
    ? (layout.openedHeight ?? 0)
    : 0;
}

/** Height of all rows together. */
export function totalHeight(layout: RowLayout): number {
  return layout.count * layout.rowHeight + extraOf(layout);
}

/** Top of row `index`; the rows below the opened one move down by its panel. */
export function rowTop(layout: RowLayout, index: number): number {
  const below = layout.opened !== undefined && index > layout.opened;
  return index * layout.rowHeight + (below ? extraOf(layout) : 0);
}

/** The row at height `y`, clamped to the rows there are. */
export function rowAt(layout: RowLayout, y: number): number {
  if (layout.count === 0) return 0;
  const { opened, rowHeight } = layout;
  let index = Math.floor(Math.max(0, y) / rowHeight);
  if (opened !== undefined && index > opened) {
    // Inside the opened row's panel, or past it.
    const panelEnd = (opened + 1) * rowHeight + extraOf(layout);
    index = y < panelEnd ? opened : Math.floor((y - extraOf(layout)) / rowHeight);
  }
  return Math.min(layout.count - 1, index);
}

/** The rows to draw, [first, end), for a viewport at `scrollTop` of `height`. */
export function visibleRows(
  layout: RowLayout,
  scrollTop: number,
  height: number,
  margin: number,
): { first: number; end: number } {
  if (layout.count === 0) return { first: 0, end: 0 };
  const first = Math.max(0, rowAt(layout, scrollTop) - margin);
  const end = Math.min(layout.count, rowAt(layout, scrollTop + height) + 1 + margin);
  return { first, end };
}

/** The scroll position that brings row `index` fully into view, or the same one. */
export function scrollToRow(
  layout: RowLayout,
  index: number,
  scrollTop: number,
  height: number,
): number {
  const top = rowTop(layout, index);
  const bottom = top + layout.rowHeight;
  if (top < scrollTop) return top;
  if (bottom > scrollTop + height) return Math.max(0, bottom - height);
  return scrollTop;
}
