// A table of many rows of one height: only the rows in view and a margin are
// in the document, placed by hand inside a body of the full height. One row
// may be opened by a panel below it (a form in place). The body takes the
// keyboard: the arrows, Page Up/Down, Home and End move the selection, Enter
// hands the selected row to `onEnter`.
import {
  useEffect,
  useLayoutEffect,
  useRef,
  useState,
  type CSSProperties,
  type KeyboardEvent,
  type ReactNode,
} from 'react';
import { rowTop, scrollToRow, totalHeight, visibleRows, type RowLayout } from './virtual';

export const ROW_HEIGHT = 30;
/** Rows drawn above and below the view. */
const MARGIN = 10;
/** The view's height where none is measured (a document without layout). */
const FALLBACK_HEIGHT = 600;

export interface VirtualTableProps {
  label: string;
  rowCount: number;
  /** The CSS grid columns of the head and of each row. */
  columns: string;
  /** The column heads: elements of role "columnheader". */
  head: ReactNode;
  rowKey: (index: number) => string;
  /** The cells of a row: elements of role "gridcell". */
  renderRow: (index: number) => ReactNode;
  /** Extra attributes of a row, for its state. */
  rowData?: (index: number) => Record<string, string | undefined>;
  /** The row opened by a panel, and what the panel holds. */
  opened?: number;
  openedHeight?: number;
  renderPanel?: (index: number) => ReactNode;
  selected?: number;
  onSelect?: (index: number) => void;
  onEnter?: (index: number) => void;
  /** Said in place of the rows when there are none. */
  empty?: string;
}

export function VirtualTable({
  label,
  rowCount,
  columns,
  head,
  rowKey,
  renderRow,
  rowData,
  opened,
  openedHeight = 0,
  renderPanel,
  selected,
  onSelect,
  onEnter,
  empty,
}: VirtualTableProps) {
  const bodyRef = useRef<HTMLDivElement>(null);
  const [scrollTop, setScrollTop] = useState(0);
  const [height, setHeight] = useState(FALLBACK_HEIGHT);
  const layout: RowLayout = { count: rowCount, rowHeight: ROW_HEIGHT, opened, openedHeight };

  useLayoutEffect(() => {
    const body = bodyRef.current;
    if (!body) return;
    const measure = () => setHeight(body.clientHeight || FALLBACK_HEIGHT);
    measure();
    if (typeof ResizeObserver === 'undefined') return;
    const observer = new ResizeObserver(measure);
    observer.observe(body);
    return () => observer.disconnect();
  }, []);

  // A shorter list may end above the view: follow the body's own position.
  useEffect(() => {
    const body = bodyRef.current;
    if (body) setScrollTop(body.scrollTop);
  }, [rowCount]);

  const moveTo = (index: number) => {
    const body = bodyRef.current;
    const target = Math.max(0, Math.min(rowCount - 1, index));
    onSelect?.(target);
    if (!body) return;
    const next = scrollToRow(layout, target, body.scrollTop, height);
    if (next !== body.scrollTop) {
      body.scrollTop = next;
      setScrollTop(next);
    }
  };

  const onKeyDown = (event: KeyboardEvent<HTMLDivElement>) => {
    // Keys typed into a field or on a button of a row are theirs.
    if (event.target !== event.currentTarget || rowCount === 0) return;
    const page = Math.max(1, Math.floor(height / ROW_HEIGHT) - 1);
    const current = selected ?? -1;
    const moves: Record<string, number> = {
      ArrowDown: current + 1,
      ArrowUp: current < 0 ? 0 : current - 1,
      PageDown: current + page,
      PageUp: current - page,
      Home: 0,
      End: rowCount - 1,
    };
    if (event.key in moves) {
      event.preventDefault();
      moveTo(moves[event.key]);
    } else if (event.key === 'Enter' && selected !== undefined && selected < rowCount) {
      event.preventDefault();
      onEnter?.(selected);
    }
  };

  const { first, end } = visibleRows(layout, scrollTop, height, MARGIN);
  const rows: ReactNode[] = [];
  for (let index = first; index < end; index++) {
    const isOpened = index === opened && renderPanel !== undefined;
    const style: CSSProperties = {
      top: rowTop(layout, index),
      height: ROW_HEIGHT + (isOpened ? openedHeight : 0),
    };
    rows.push(
      <div
        key={rowKey(index)}
        role="row"
        aria-rowindex={index + 2}
        aria-selected={index === selected}
        className="alarm-table__row"
        style={style}
        onClick={() => onSelect?.(index)}
        {...rowData?.(index)}
      >
        <div className="alarm-table__line">{renderRow(index)}</div>
        {isOpened && (
          <div role="gridcell" className="alarm-table__panel" style={{ height: openedHeight }}>
            {renderPanel(index)}
          </div>
        )}
      </div>,
    );
  }

  return (
    <div
      role="grid"
      aria-label={label}
      aria-rowcount={rowCount + 1}
      className="alarm-table"
      style={{ '--alarm-columns': columns } as CSSProperties}
    >
      <div role="rowgroup" className="alarm-table__head">
        <div role="row" aria-rowindex={1} className="alarm-table__line">
          {head}
        </div>
      </div>
      <div
        role="rowgroup"
        ref={bodyRef}
        className="alarm-table__body"
        tabIndex={0}
        onScroll={(event) => setScrollTop(event.currentTarget.scrollTop)}
        onKeyDown={onKeyDown}
      >
        <div className="alarm-table__space" style={{ height: totalHeight(layout) }}>
          {rows}
        </div>
        {rowCount === 0 && empty && <div className="alarm-table__empty">{empty}</div>}
      </div>
    </div>
  );
}
