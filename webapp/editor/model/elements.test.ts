import { describe, expect, it } from 'vitest';
import { applyPatch, moveElementTo, reassignIds, resizeElementTo, snapToGrid } from './elements';
import { deepFreeze, pipe, rect } from './testFixtures';

describe('moveElementTo', () => {
  it('returns the same record when the position does not change', () => {
    const element = deepFreeze(pipe('p', [0, 0, 80, 0]));
    expect(moveElementTo(element, 0, 0)).toBe(element);
  });

  it('moves a polyline with its points: even positions by dx, odd by dy', () => {
    const element = deepFreeze(pipe('p', [10, 20, 50, 60]));
    const moved = moveElementTo(element, 15, 17);
    expect(moved).toMatchObject({ x: 15, y: 17, points: [15, 17, 55, 57] });
    expect(element.points).toEqual([10, 20, 50, 60]);
  });
});

describe('applyPatch', () => {
  it('shifts a polyline by the change of a patched x but leaves points alone on width', () => {
    const element = deepFreeze(pipe('p', [0, 0, 80, 0]));
    expect(applyPatch(element, { x: 5 }).points).toEqual([5, 0, 85, 0]);
    const wider = applyPatch(element, { width: 160 });
    expect(wider).toMatchObject({ width: 160, points: [0, 0, 80, 0] });
  });

  it('merges style properties and replaces every other field whole', () => {
    const element = deepFreeze(
      rect('a', 0, 0, 20, 10, {
        style: { fill: '#111111', stroke: '#222222' },
        params: { min: 0, max: 5 },
      }),
    );
    const patched = applyPatch(element, { style: { stroke: '#ff0000' }, params: { max: 9 } });
    expect(patched.style).toEqual({ fill: '#111111', stroke: '#ff0000' });
    expect(patched.params).toEqual({ max: 9 });
  });

  it('keeps the field order of the record and never changes its id', () => {
    const element = deepFreeze(rect('a'));
    const patched = applyPatch(element, { pointId: 'LT-101', x: 3, id: 'b' } as never);
    expect(Object.keys(patched)).toEqual([...Object.keys(element), 'pointId']);
    expect(patched.id).toBe('a');
  });

  it('returns the same record when the patch repeats the current values', () => {
    const element = deepFreeze(rect('a', 1, 2));
    expect(applyPatch(element, { x: 1, style: { fill: '#cccccc' } })).toBe(element);
  });
});

describe('resizeElementTo', () => {
  it('scales a polyline from its own box into the new one', () => {
    const element = deepFreeze(pipe('p', [0, 0, 40, 20, 80, 40]));
    const resized = resizeElementTo(element, { x: 0, y: 10, width: 160, height: 20 });
    expect(resized.points).toEqual([0, 10, 80, 20, 160, 30]);
  });

  it('keeps the offsets on an axis of zero extent', () => {
    const element = deepFreeze(pipe('p', [0, 5, 80, 5]));
    const resized = resizeElementTo(element, { x: 10, y: 7, width: 40, height: 8 });
    expect(resized).toMatchObject({ x: 10, y: 7, width: 40, height: 8, points: [10, 7, 50, 7] });
  });
});

describe('reassignIds', () => {
  it.each([
    ['fills the gaps in rising order', ['el-1', 'el-3'], 3, ['el-2', 'el-4', 'el-5']],
    ['starts at 1 with nothing taken', [], 2, ['el-1', 'el-2']],
    ['ignores ids of another form', ['a', 'el-x'], 1, ['el-1']],
  ])('%s', (_, taken, count, expected) => {
    const elements = deepFreeze(Array.from({ length: count }, (_, i) => rect(`el-${i + 1}`)));
    expect(reassignIds(elements, taken).map((e) => e.id)).toEqual(expected);
  });
});

describe('snapToGrid', () => {
  it.each([
    [14, 10, 10],
    [15, 10, 20],
    [-15, 10, -10],
    [-16, 10, -20],
    [7, 2.5, 7.5],
  ])('snaps %d to step %d as %d', (value, step, expected) => {
    expect(snapToGrid(value, step)).toBe(expected);
  });
});
