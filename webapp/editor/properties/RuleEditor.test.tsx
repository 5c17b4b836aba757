import { fireEvent, render, screen } from '@testing-library/react';
import { useState } from 'react';
import { describe, expect, it } from 'vitest';
import type { Condition } from '../../scheme';
import { deepFreeze } from '../model/testFixtures';
import { RuleEditor } from './RuleEditor';

/** Keeps the reported lists like the inspector does, and remembers each of them. */
function renderRules(initial: unknown[]) {
  const reports: Condition[][] = [];
  function Holder() {
    const [rules, setRules] = useState(() => deepFreeze(initial) as Condition[]);
    return (
      <RuleEditor
        conditions={rules}
        onChange={(next) => {
          reports.push(next);
          setRules(deepFreeze(next));
        }}
      />
    );
  }
  render(<Holder />);
  return {
    reports,
    last: () => reports[reports.length - 1],
  };
}

const red = (value: number): Condition => ({
  when: { field: 'value', op: 'gt', value },
  set: { fill: '#ff0000' },
});

const control = (name: string, n: number) =>
  screen.getByLabelText(`${name} ${n}`) as HTMLInputElement & HTMLSelectElement;

describe('RuleEditor', () => {
  it('switches the shown property and keeps the rest of the rule', () => {
    const rule = {
      when: { field: 'value', op: 'eq', value: true, hysteresis: 2 },
      set: { fill: '#3fb54a', blink: false, glow: 1 },
      note: 'pump running',
    };
    const { last } = renderRules([rule]);
    expect(control('Свойство правила', 1).value).toBe('fill');
    expect(control('Значение свойства правила', 1).value).toBe('#3fb54a');
    expect(screen.getByText('+1')).toHaveAttribute(
      'title',
      'Правило ставит и другие свойства — они сохраняются при правке',
    );

    fireEvent.change(control('Свойство правила', 1), { target: { value: 'blink' } });
    expect(last()).toEqual([
      {
        when: { field: 'value', op: 'eq', value: true, hysteresis: 2 },
        set: { blink: false, glow: 1 },
        note: 'pump running',
      },
    ]);
    const flag = control('Значение свойства правила', 1);
    expect(flag.type).toBe('checkbox');
    expect(flag.checked).toBe(false);
    expect(screen.queryByText('+1')).toBeNull();

    fireEvent.click(flag);
    expect(last()[0].set).toEqual({ blink: true, glow: 1 });
  });

  it.each<[string, unknown]>([
    ['75', 75],
    ['true', true],
    ['abc', 'abc'],
    ['  ', '  '],
    ['0.5', 0.5],
  ])('stores the typed threshold %j as %j', (typed, stored) => {
    const { last } = renderRules([red(10)]);
    fireEvent.change(control('Порог правила', 1), { target: { value: typed } });
    expect(last()).toEqual([{ ...red(10), when: { field: 'value', op: 'gt', value: stored } }]);
    expect(control('Порог правила', 1).value).toBe(String(stored));
  });

  it('resets the threshold when the test field changes and offers the status words', () => {
    const { last } = renderRules([red(10)]);
    fireEvent.change(control('Поле правила', 1), { target: { value: 'status' } });
    expect(last()[0].when).toEqual({ field: 'status', op: 'gt', value: 'good' });
    const threshold = control('Порог правила', 1);
    expect(threshold.tagName).toBe('SELECT');
    expect([...threshold.options].map((option) => [option.value, option.text])).toEqual([
      ['good', 'достоверно'],
      ['bad', 'недостоверно'],
      ['uncertain', 'сомнительно'],
    ]);
    expect(screen.getByDisplayValue('достоверно')).toBe(threshold);

    fireEvent.change(threshold, { target: { value: 'bad' } });
    expect(last()[0].when.value).toBe('bad');
    fireEvent.change(control('Поле правила', 1), { target: { value: 'value' } });
    expect(last()[0].when).toEqual({ field: 'value', op: 'gt', value: 0 });
  });

  it('offers the operators with their symbols and titles', () => {
    const { last } = renderRules([red(10)]);
    const op = control('Оператор правила', 1);
    expect(op).toHaveAttribute('title', 'больше');
    expect([...op.options].map((option) => `${option.text} ${option.title}`)).toEqual([
      '= равно',
      '≠ не равно',
      '> больше',
      '≥ больше или равно',
      '< меньше',
      '≤ меньше или равно',
    ]);
    fireEvent.change(op, { target: { value: 'lte' } });
    expect(last()[0].when).toEqual({ field: 'value', op: 'lte', value: 10 });
    expect(control('Оператор правила', 1)).toHaveAttribute('title', 'меньше или равно');
  });

  it('deletes a rule in the middle, keeps the others and renumbers the last', () => {
    const rules = [red(1), red(2), red(3)];
    const { reports, last } = renderRules(rules);
    fireEvent.click(screen.getByRole('button', { name: 'Удалить правило 2' }));
    expect(last()).toEqual([red(1), red(3)]);
    expect(screen.queryByLabelText('Порог правила 3')).toBeNull();
    expect(control('Порог правила', 2).value).toBe('3');
    expect(screen.getByRole('button', { name: 'Удалить правило 2' })).toBeInTheDocument();

    // An edit of one rule reports a new list whose other rules are the very same records.
    fireEvent.change(control('Порог правила', 2), { target: { value: '30' } });
    expect(last()[0]).toBe(reports[0][0]);
    expect(last()[1].when.value).toBe(30);
  });

  it('adds the template rule: value at least 0 fills red', () => {
    const { last } = renderRules([]);
    fireEvent.click(screen.getByRole('button', { name: 'Добавить правило' }));
    expect(last()).toEqual([
      { when: { field: 'value', op: 'gte', value: 0 }, set: { fill: '#d1242f' } },
    ]);
    expect(control('Оператор правила', 1).selectedOptions[0].text).toBe('≥');
    expect(control('Свойство правила', 1).selectedOptions[0].text).toBe('заливка');
  });

  it('stores value controls by kind: colour as typed, cleared number as 0', () => {
    const { last } = renderRules([
      { when: { field: 'value', op: 'gt', value: 1 }, set: { fill: '#000000' } },
      { when: { field: 'value', op: 'gt', value: 1 }, set: { opacity: 0.4 } },
    ]);
    fireEvent.change(control('Значение свойства правила', 1), { target: { value: ' #ABC ' } });
    expect(last()[0].set).toEqual({ fill: ' #ABC ' });
    fireEvent.change(control('Значение свойства правила', 2), { target: { value: '' } });
    expect(last()[1].set).toEqual({ opacity: 0 });
  });

  it('shows a rule without properties as fill, ignores typing, and adds a chosen property', () => {
    const { reports, last } = renderRules([
      { when: { field: 'value', op: 'gt', value: 1 }, set: {} },
    ]);
    expect(control('Свойство правила', 1).value).toBe('fill');
    fireEvent.change(control('Значение свойства правила', 1), { target: { value: 'red' } });
    expect(reports).toEqual([]);
    fireEvent.change(control('Свойство правила', 1), { target: { value: 'text' } });
    expect(last()[0].set).toEqual({ text: '' });
  });

  it('shows rules it cannot read without throwing and keeps them through other edits', () => {
    const broken = [
      { when: 'value > 3', set: { fill: '#ff0000' } },
      red(5),
      { when: { field: 'value', op: 'gt', value: 1 }, set: null },
      7,
    ];
    const { last } = renderRules(broken);
    expect(screen.getAllByTestId('rule-unreadable')).toHaveLength(3);
    fireEvent.change(control('Порог правила', 2), { target: { value: '6' } });
    expect(last()).toEqual([broken[0], red(6), broken[2], broken[3]]);
    fireEvent.click(screen.getByRole('button', { name: 'Удалить правило 4' }));
    expect(last()).toEqual([broken[0], red(6), broken[2]]);
  });
});
