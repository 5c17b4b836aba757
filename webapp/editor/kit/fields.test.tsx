import { fireEvent, render, screen } from '@testing-library/react';
import userEvent from '@testing-library/user-event';
import { useState } from 'react';
import { describe, expect, it, vi } from 'vitest';
import {
  ColorField,
  Field,
  NumberField,
  SelectField,
  TextField,
  Toggle,
  normalizeColor,
  parseFieldNumber,
  type NumberFieldProps,
} from './fields';

describe('Field', () => {
  it('renders the labelled row and the hint as siblings, the unit after the control', () => {
    const { container } = render(
      <Field label="Ширина" unit="px" hint="Не меньше 8">
        {(id) => <input id={id} data-testid="control" />}
      </Field>,
    );
    const [row, hint] = Array.from(container.children);
    expect(row.getAttribute('class')).toBe('orvo-field');
    expect(hint.getAttribute('class')).toBe('orvo-field__hint');
    expect(hint.textContent).toBe('Не меньше 8');
    const [label, control] = Array.from(row.children);
    expect(label.tagName).toBe('LABEL');
    expect(label.getAttribute('class')).toBe('orvo-field__label');
    expect(label.textContent).toBe('Ширина');
    expect(control.getAttribute('class')).toBe('orvo-field__control');
    const input = screen.getByTestId('control');
    expect(label.getAttribute('for')).toBe(input.id);
    expect(input.id).not.toBe('');
    const unit = control.lastElementChild!;
    expect(unit.tagName).toBe('SPAN');
    expect(unit.getAttribute('class')).toBe('orvo-field__unit');
    expect(unit.textContent).toBe('px');
    expect(screen.getByLabelText('Ширина')).toBe(input);
  });

  it('leaves out an empty unit and hint', () => {
    const { container } = render(
      <Field label="Имя" unit="" hint="">
        {(id) => <input id={id} />}
      </Field>,
    );
    expect(container.children).toHaveLength(1);
    expect(container.querySelector('.orvo-field__unit')).toBeNull();
    expect(container.querySelector('.orvo-field__control')!.children).toHaveLength(1);
  });

  it('gives each instance its own id', () => {
    render(
      <>
        <Field label="A">{(id) => <input id={id} />}</Field>
        <Field label="B">{(id) => <input id={id} />}</Field>
      </>,
    );
    expect(screen.getByLabelText('A').id).not.toBe(screen.getByLabelText('B').id);
  });
});

describe('TextField', () => {
  it('shows the value and reports every edit untrimmed', async () => {
    const onChange = vi.fn();
    render(<TextField label="Текст" value="ab" placeholder="пусто" onChange={onChange} />);
    const input = screen.getByLabelText('Текст');
    expect(input).toHaveValue('ab');
    expect(input).toHaveAttribute('placeholder', 'пусто');
    expect(input.getAttribute('class')).toBe('orvo-input');
    fireEvent.change(input, { target: { value: ' ab c ' } });
    expect(onChange).toHaveBeenLastCalledWith(' ab c ');
  });

  it('shows an empty field with the placeholder "—" when mixed', () => {
    render(<TextField label="Текст" value="ab" placeholder="пусто" mixed onChange={() => {}} />);
    const input = screen.getByLabelText('Текст');
    expect(input).toHaveValue('');
    expect(input).toHaveAttribute('placeholder', '—');
  });
});

describe('parseFieldNumber', () => {
  it.each([
    ['12', undefined, undefined, 12],
    ['  -4.5 ', undefined, undefined, -4.5],
    ['3', 8, undefined, 8],
    ['300', 0, 100, 100],
    ['-1', 0, 100, 0],
    ['1e2', undefined, undefined, 100],
    ['', 0, 10, undefined],
    ['   ', undefined, undefined, undefined],
    ['abc', undefined, undefined, undefined],
    ['1e999', undefined, 10, undefined],
    ['Infinity', undefined, undefined, undefined],
  ])('reads %j within [%s, %s] as %s', (text, min, max, expected) => {
    expect(parseFieldNumber(text, min, max)).toBe(expected);
  });
});

/** An owner that keeps the reported value, as the inspector does. */
function OwnedNumberField(
  props: Omit<NumberFieldProps, 'value' | 'onChange'> & {
    initial: number;
    onReport: (value: number) => void;
  },
) {
  const { initial, onReport, ...rest } = props;
  const [value, setValue] = useState(initial);
  return (
    <>
      <NumberField
        {...rest}
        value={value}
        onChange={(next) => {
          onReport(next);
          setValue(next);
        }}
      />
      <button type="button">elsewhere</button>
    </>
  );
}

describe('NumberField', () => {
  it('is a number input with its bounds, class and unit', () => {
    render(
      <NumberField
        label="Толщина"
        unit="px"
        value={2}
        min={0}
        max={20}
        step={0.5}
        onChange={() => {}}
      />,
    );
    const input = screen.getByLabelText('Толщина');
    expect(input).toHaveAttribute('type', 'number');
    expect(input.getAttribute('class')).toBe('orvo-input');
    expect(input).toHaveAttribute('min', '0');
    expect(input).toHaveAttribute('max', '20');
    expect(input).toHaveAttribute('step', '0.5');
    expect(input).not.toHaveAttribute('placeholder');
    expect(input).toHaveValue(2);
    expect(screen.getByText('px')).toHaveClass('orvo-field__unit');
  });

  it('leaves out bounds that are not given', () => {
    render(<NumberField label="X" value={1} onChange={() => {}} />);
    const input = screen.getByLabelText('X');
    expect(input).not.toHaveAttribute('min');
    expect(input).not.toHaveAttribute('max');
    expect(input).not.toHaveAttribute('step');
  });

  it('raises a value below the minimum but keeps showing the typed text until blur', async () => {
    const onReport = vi.fn();
    render(<OwnedNumberField label="Шрифт" initial={14} min={8} onReport={onReport} />);
    const input = screen.getByLabelText('Шрифт');
    await userEvent.clear(input);
    await userEvent.type(input, '3');
    expect(onReport.mock.calls).toEqual([[8]]);
    expect(input).toHaveValue(3);
    await userEvent.click(screen.getByRole('button', { name: 'elsewhere' }));
    expect(input).toHaveValue(8);
  });

  it('lowers a value above the maximum', () => {
    const onChange = vi.fn();
    render(<NumberField label="Угол" value={0} max={359} onChange={onChange} />);
    fireEvent.change(screen.getByLabelText('Угол'), { target: { value: '400' } });
    expect(onChange).toHaveBeenCalledWith(359);
  });

  it('reports nothing for a cleared field and shows the previous value after blur', async () => {
    const onReport = vi.fn();
    render(<OwnedNumberField label="X" initial={40} onReport={onReport} />);
    const input = screen.getByLabelText('X');
    await userEvent.clear(input);
    expect(onReport).not.toHaveBeenCalled();
    expect(input).toHaveValue(null);
    await userEvent.tab();
    expect(input).toHaveValue(40);
  });

  it('reports nothing for text that is no finite number', () => {
    const onChange = vi.fn();
    render(<NumberField label="X" value={5} onChange={onChange} />);
    const input = screen.getByLabelText('X');
    fireEvent.change(input, { target: { value: '1e999' } });
    fireEvent.change(input, { target: { value: 'abc' } });
    fireEvent.change(input, { target: { value: '  ' } });
    expect(onChange).not.toHaveBeenCalled();
  });

  it('reports every edit while typing, not rounded to the step', async () => {
    const onReport = vi.fn();
    render(<OwnedNumberField label="X" initial={0} step={1} onReport={onReport} />);
    const input = screen.getByLabelText('X');
    await userEvent.clear(input);
    await userEvent.type(input, '12.5');
    // "12." may read as blank on the way, which reports nothing.
    expect(onReport.mock.calls[0]).toEqual([1]);
    expect(onReport).toHaveBeenLastCalledWith(12.5);
    expect(input).toHaveValue(12.5);
  });

  it('shows an empty field with the placeholder "—" when mixed, and reports a typed number', async () => {
    const onChange = vi.fn();
    render(<NumberField label="Y" value={10} mixed onChange={onChange} />);
    const input = screen.getByLabelText('Y');
    expect(input).toHaveValue(null);
    expect(input).toHaveAttribute('placeholder', '—');
    await userEvent.type(input, '7');
    expect(onChange).toHaveBeenCalledWith(7);
  });

  it('follows a new value from its owner when nothing is being typed', () => {
    const { rerender } = render(<NumberField label="X" value={1} onChange={() => {}} />);
    rerender(<NumberField label="X" value={2} onChange={() => {}} />);
    expect(screen.getByLabelText('X')).toHaveValue(2);
  });
});

describe('normalizeColor', () => {
  it.each([
    ['  #D1242F ', '#d1242f'],
    ['Red', 'red'],
    ['', ''],
    ['не цвет', 'не цвет'],
  ])('turns %j into %j', (text, expected) => {
    expect(normalizeColor(text)).toBe(expected);
  });
});

describe('ColorField', () => {
  function swatch(): HTMLElement {
    return screen.getByTestId('orvo-swatch');
  }
  function picker(label: string): HTMLInputElement {
    return screen.getByLabelText(`Выбрать цвет: ${label}`) as HTMLInputElement;
  }

  it('builds the swatch, the picker bound to it and the text input named by the field', () => {
    const { container } = render(
      <ColorField label="Заливка" value="#22aa22" onChange={() => {}} />,
    );
    const control = container.querySelector('.orvo-field__control')!;
    const [wrap, text] = Array.from(control.children);
    expect(wrap.tagName).toBe('SPAN');
    expect(wrap.getAttribute('class')).toBe('orvo-swatch-wrap');
    expect(swatch().tagName).toBe('LABEL');
    expect(swatch().getAttribute('class')).toBe('orvo-swatch');
    expect(swatch().style.getPropertyValue('--orvo-swatch-color')).toBe('#22aa22');
    const native = picker('Заливка');
    expect(native.parentElement).toBe(wrap);
    expect(native).toHaveAttribute('type', 'color');
    expect(native.getAttribute('class')).toBe('orvo-color-native');
    expect(swatch().getAttribute('for')).toBe(native.id);
    expect(native.value).toBe('#22aa22');
    expect(screen.getByLabelText('Заливка')).toBe(text);
    expect(text.getAttribute('class')).toBe('orvo-input');
    expect(text).toHaveValue('#22aa22');
    expect(text.id).not.toBe(native.id);
  });

  it('reports a typed colour normalized', () => {
    const onChange = vi.fn();
    render(<ColorField label="Обводка" value="" onChange={onChange} />);
    fireEvent.change(screen.getByLabelText('Обводка'), { target: { value: '  #D1242F ' } });
    expect(onChange).toHaveBeenCalledWith('#d1242f');
  });

  it('reports a picked colour normalized', () => {
    const onChange = vi.fn();
    render(<ColorField label="Обводка" value="#000000" onChange={onChange} />);
    fireEvent.change(picker('Обводка'), { target: { value: '#abcdef' } });
    expect(onChange).toHaveBeenCalledWith('#abcdef');
  });

  it('shows a named colour on the swatch while the picker starts at black', () => {
    render(<ColorField label="Заливка" value="red" onChange={() => {}} />);
    expect(swatch().style.getPropertyValue('--orvo-swatch-color')).toBe('red');
    expect(picker('Заливка').value).toBe('#000000');
  });

  it.each([
    ['#ABCDEF', true],
    ['#abc', false],
    ['#abcdeg', false],
    ['abcdef', false],
    ['#abcdef0', false],
  ])('starts the picker at %s only when it is "#" and six hex digits (%s)', (value, kept) => {
    render(<ColorField label="Ц" value={value} onChange={() => {}} />);
    // The platform picker itself reports lower case.
    expect(picker('Ц').value).toBe(kept ? value.toLowerCase() : '#000000');
  });

  it('shows a transparent swatch for an empty value', () => {
    render(<ColorField label="Заливка" value="" onChange={() => {}} />);
    expect(swatch().style.getPropertyValue('--orvo-swatch-color')).toBe('transparent');
  });

  it('shows a transparent swatch and an empty text with "—" when mixed', () => {
    render(<ColorField label="Заливка" value="#ff0000" mixed onChange={() => {}} />);
    expect(swatch().style.getPropertyValue('--orvo-swatch-color')).toBe('transparent');
    const text = screen.getByLabelText('Заливка');
    expect(text).toHaveValue('');
    expect(text).toHaveAttribute('placeholder', '—');
  });
});

describe('SelectField', () => {
  it('offers the options in order and reports the chosen value', async () => {
    const onChange = vi.fn();
    render(
      <SelectField
        label="Выравнивание"
        value="middle"
        options={[
          { value: 'start', label: 'Слева' },
          { value: 'middle', label: 'По центру' },
          { value: 'end', label: 'Справа' },
        ]}
        onChange={onChange}
      />,
    );
    const select = screen.getByLabelText('Выравнивание');
    expect(select.tagName).toBe('SELECT');
    expect(select.getAttribute('class')).toBe('orvo-input');
    expect(select).toHaveValue('middle');
    expect(screen.getAllByRole('option').map((o) => o.textContent)).toEqual([
      'Слева',
      'По центру',
      'Справа',
    ]);
    await userEvent.selectOptions(select, 'Справа');
    expect(onChange).toHaveBeenCalledWith('end');
  });
});

describe('Toggle', () => {
  it('is a label holding its checkbox followed by the text, and reports the new state', async () => {
    const onChange = vi.fn();
    const { container } = render(<Toggle label="Поток" checked={false} onChange={onChange} />);
    const label = container.firstElementChild!;
    expect(label.tagName).toBe('LABEL');
    expect(label.getAttribute('class')).toBe('orvo-toggle');
    const box = screen.getByRole('checkbox', { name: 'Поток' });
    expect(label.firstElementChild).toBe(box);
    expect(label.getAttribute('for')).toBe(box.id);
    expect(label.lastChild!.textContent).toBe('Поток');
    expect(box).not.toBeChecked();
    await userEvent.click(box);
    expect(onChange).toHaveBeenCalledWith(true);
  });

  it('reports false when a checked toggle is clicked', async () => {
    const onChange = vi.fn();
    render(<Toggle label="Поток" checked onChange={onChange} />);
    await userEvent.click(screen.getByText('Поток'));
    expect(onChange).toHaveBeenCalledWith(false);
  });
});
