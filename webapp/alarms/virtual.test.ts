import { rowAt, rowTop, scrollToRow, totalHeight, visibleRows, type RowLayout } from './virtual';

const plain: RowLayout = { count: 10_000, rowHeight: 30 };
const opened: RowLayout = { count: 100, rowHeight: 30, opened: 4, openedHeight: 90 };

describe('row layout', () => {
  it.each([
    ['plain rows', plain, 3, 90],
    ['the opened row itself', opened, 4, 120],
    ['a row below the opened one moves down by its panel', opened, 5, 240],
  ])('places %s', (_name, layout, index, top) => {
    expect(rowTop(layout, index)).toBe(top);
  });

  it.each([
    ['inside a plain row', plain, 95, 3],
    ['inside the opened row', opened, 125, 4],
    ['inside its panel', opened, 230, 4],
    ['past the panel', opened, 245, 5],
    ['past the last row', plain, 10e6, 9_999],
    ['above the first', plain, -5, 0],
  ])('finds the row %s', (_name, layout, y, index) => {
    expect(rowAt(layout, y)).toBe(index);
  });

  it('draws the rows in view and a margin only', () => {
    expect(visibleRows(plain, 0, 600, 5)).toEqual({ first: 0, end: 26 });
    expect(visibleRows(plain, 30 * 5000, 600, 5)).toEqual({ first: 4995, end: 5026 });
    expect(visibleRows(plain, totalHeight(plain) - 600, 600, 5)).toEqual({
      first: 9975,
      end: 10_000,
    });
    expect(visibleRows({ count: 0, rowHeight: 30 }, 0, 600, 5)).toEqual({ first: 0, end: 0 });
  });

  it('scrolls a row into view only when it is out of it', () => {
    expect(scrollToRow(plain, 10, 0, 600)).toBe(0);
    expect(scrollToRow(plain, 30, 0, 600)).toBe(31 * 30 - 600);
    expect(scrollToRow(plain, 2, 300, 600)).toBe(60);
  });
});
