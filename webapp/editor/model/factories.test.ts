import { describe, expect, it } from 'vitest';
import { createPipe, createPrimitive, createSymbolElement } from './factories';

function idNumber(id: string): number {
  expect(id).toMatch(/^el-\d+$/);
  return Number(id.slice(3));
}

describe('element factories', () => {
  it('draw ids from one page-wide counter, one number per call', () => {
    const first = idNumber(createPrimitive('rect', 0, 0).id);
    expect(idNumber(createSymbolElement('pump', 0, 0).id)).toBe(first + 1);
    expect(idNumber(createPipe(0, 0).id)).toBe(first + 2);
    expect(idNumber(createPrimitive('text', 0, 0).id)).toBe(first + 3);
  });

  // JSON text of each new record with the id left out: fixes field order and values at once.
  it.each([
    [
      'rect',
      () => createPrimitive('rect', 5, 6),
      '{"x":5,"y":6,"width":80,"height":40,"type":"rect","style":{"fill":"#cccccc","stroke":"#333333","strokeWidth":1}}',
    ],
    [
      'text',
      () => createPrimitive('text', 5, 6),
      '{"x":5,"y":6,"width":80,"height":40,"type":"text","content":"Текст","style":{"fill":"#000000"}}',
    ],
    [
      'value',
      () => createPrimitive('value', 5, 6),
      '{"x":5,"y":6,"width":80,"height":40,"type":"value","fractionDigits":1,"style":{"fill":"#000000"}}',
    ],
    [
      'indicator',
      () => createPrimitive('indicator', 5, 6),
      '{"x":5,"y":6,"width":40,"height":40,"type":"indicator","style":{"fill":"#22aa22"}}',
    ],
    [
      'tank',
      () => createSymbolElement('tank', 5, 6),
      '{"type":"symbol","symbolId":"tank","x":5,"y":6,"width":48,"height":90,"params":{"min":0,"max":20,"units":"ft"},"style":{}}',
    ],
    [
      'indicator-box',
      () => createSymbolElement('indicator-box', 5, 6),
      '{"type":"symbol","symbolId":"indicator-box","x":5,"y":6,"width":44,"height":44,"params":{"label":"Normal"},"style":{}}',
    ],
    [
      'gas-turbine',
      () => createSymbolElement('gas-turbine', 5, 6),
      '{"type":"symbol","symbolId":"gas-turbine","x":5,"y":6,"width":260,"height":90,"style":{}}',
    ],
    [
      'a symbol without a definition',
      () => createSymbolElement('no-such', 5, 6),
      '{"type":"symbol","symbolId":"no-such","x":5,"y":6,"width":48,"height":48,"style":{}}',
    ],
    [
      'pipe',
      () => createPipe(5, 6),
      '{"type":"polyline","points":[5,6,85,6],"x":5,"y":6,"width":80,"height":0,"style":{"stroke":"#4a8f4a","strokeWidth":4,"flow":true}}',
    ],
  ])('make a %s with its fields in order', (_, create, json) => {
    const element = create();
    expect(Object.keys(element)[0]).toBe('id');
    expect(JSON.stringify({ ...element, id: undefined })).toBe(json);
  });

  it('leave params out of symbols that take none', () => {
    expect('params' in createSymbolElement('pump', 0, 0)).toBe(false);
  });
});
