import type { PointValue } from '../data';
import { formatValue } from './format';
import type { SchemeElement } from './types';

function valueElement(fields: Partial<SchemeElement> = {}): SchemeElement {
  return { id: 'v-1', type: 'value', x: 0, y: 0, width: 60, height: 20, style: {}, ...fields };
}

function point(value: unknown): PointValue {
  return { id: 'P-1', value: value as number, status: 'good', timestamp: 0 };
}

describe('formatValue', () => {
  it.each([
    // fixed digits round the exact binary value, halfway cases away from zero
    ['185.5 to 0 digits', { fractionDigits: 0 }, 185.5, '186'],
    ['-185.5 to 0 digits', { fractionDigits: 0 }, -185.5, '-186'],
    ['61.25 to 1 digit with a suffix', { fractionDigits: 1, suffix: ' %' }, 61.25, '61.3 %'],
    ['1.005 to 2 digits (stored just below the half)', { fractionDigits: 2 }, 1.005, '1.00'],
    ['61 padded to 1 digit', { fractionDigits: 1 }, 61, '61.0'],
    ['-0.5 to 0 digits', { fractionDigits: 0 }, -0.5, '-1'],
    ['-0 to 1 digit', { fractionDigits: 1 }, -0, '0.0'],
    ['-0 without digits', {}, -0, '0'],
    // no exponent notation with fixed digits, however large the number
    ['1e21 to 1 digit', { fractionDigits: 1 }, 1e21, '1000000000000000000000.0'],
    ['-2^70 to 0 digits', { fractionDigits: 0 }, -(2 ** 70), '-1180591620717411303424'],
    ['1e20 to 2 digits', { fractionDigits: 2 }, 1e20, '100000000000000000000.00'],
    ['Infinity with digits', { fractionDigits: 1 }, Infinity, 'Infinity'],
    // shortest decimal text
    ['61 without digits', {}, 61, '61'],
    ['4.3 without digits', {}, 4.3, '4.3'],
    ['7940 without digits', {}, 7940, '7940'],
    ['0.1 + 0.2 without digits', {}, 0.1 + 0.2, '0.30000000000000004'],
    // flags and texts
    [
      'true between prefix and suffix',
      { prefix: 'Насос: ', suffix: ' (дискр.)' },
      true,
      'Насос: true (дискр.)',
    ],
    ['false with digits set', { fractionDigits: 2 }, false, 'false'],
    ['a text value', { fractionDigits: 1 }, 'АВАРИЯ', 'АВАРИЯ'],
    // prefix and suffix
    [
      'prefix and suffix around a number',
      { prefix: 'P = ', suffix: ' бар', fractionDigits: 2 },
      4.3,
      'P = 4.30 бар',
    ],
    // digits a scheme file may hold
    ['digits below 0 clamp to 0', { fractionDigits: -1 }, 2.5, '3'],
    ['fractional digits are truncated', { fractionDigits: 1.9 }, 2.25, '2.3'],
    ['digits above 100 clamp to 100', { fractionDigits: 101 }, 1.5, `1.5${'0'.repeat(99)}`],
    ['infinite digits clamp to 100', { fractionDigits: Infinity }, 1, `1.${'0'.repeat(100)}`],
    [
      'digits given as text count as absent',
      { fractionDigits: '2' as unknown as number },
      3.14159,
      '3.14159',
    ],
    ['NaN digits count as absent', { fractionDigits: NaN }, 3.14159, '3.14159'],
  ])('%s', (_, fields, value, text) => {
    expect(formatValue(valueElement(fields), point(value))).toBe(text);
  });

  it.each([
    ['no value', undefined],
    ['a null value', null],
    ['a value record without value', point(undefined)],
    ['a value record with a null value', point(null)],
  ])('shows the dash for %s', (_, value) => {
    expect(formatValue(valueElement({ suffix: ' %' }), value)).toBe('— %');
    expect(formatValue(valueElement({ prefix: 'T=', suffix: ' °C' }), value)).toBe('T=— °C');
    expect(formatValue(valueElement(), value)).toBe('—');
  });
});
