import { render, screen } from '@testing-library/react';
import userEvent from '@testing-library/user-event';
import { describe, expect, it, vi } from 'vitest';
import { Button, IconButton, SegmentedSwitch } from './buttons';
import { iconPaths } from './icons';

describe('Button', () => {
  it.each([
    [{}, 'orvo-btn'],
    [{ variant: 'ghost', size: 'sm' }, 'orvo-btn orvo-btn--ghost orvo-btn--sm'],
    [{ variant: 'primary' }, 'orvo-btn orvo-btn--primary'],
    [{ size: 'sm', className: 'extra more' }, 'orvo-btn orvo-btn--sm extra more'],
    [{ variant: 'default', size: 'md', className: '' }, 'orvo-btn'],
  ] as const)('with %o bears the classes "%s"', (props, classes) => {
    render(<Button {...props}>Ок</Button>);
    expect(screen.getByRole('button').getAttribute('class')).toBe(classes);
  });

  it('is of type "button" unless told otherwise', () => {
    render(
      <>
        <Button>a</Button>
        <Button type="submit">b</Button>
      </>,
    );
    const [plain, submit] = screen.getAllByRole('button');
    expect(plain).toHaveAttribute('type', 'button');
    expect(submit).toHaveAttribute('type', 'submit');
  });

  it('passes attributes and handlers through', async () => {
    const onClick = vi.fn();
    render(
      <Button onClick={onClick} title="Подсказка" aria-label="Имя" data-testid="b">
        Текст
      </Button>,
    );
    const button = screen.getByTestId('b');
    expect(button).toHaveAttribute('title', 'Подсказка');
    expect(button).toHaveAccessibleName('Имя');
    expect(button).toHaveTextContent('Текст');
    await userEvent.click(button);
    expect(onClick).toHaveBeenCalledTimes(1);
  });

  it('does not report a click while disabled', async () => {
    const onClick = vi.fn();
    render(
      <Button onClick={onClick} disabled>
        x
      </Button>,
    );
    await userEvent.click(screen.getByRole('button'));
    expect(onClick).not.toHaveBeenCalled();
  });
});

describe('IconButton', () => {
  it('shows only the icon, 16 px, with the label as name and tooltip', () => {
    render(<IconButton icon="undo" label="Отменить" />);
    const button = screen.getByRole('button', { name: 'Отменить' });
    expect(button.getAttribute('class')).toBe('orvo-btn orvo-btn--icon');
    expect(button).toHaveAttribute('type', 'button');
    expect(button).toHaveAttribute('aria-label', 'Отменить');
    expect(button).toHaveAttribute('title', 'Отменить');
    expect(button.textContent).toBe('');
    const svg = button.querySelector('svg')!;
    expect(svg.getAttribute('width')).toBe('16');
    expect(svg.querySelector('path')!.getAttribute('d')).toBe(iconPaths.undo);
  });

  it('is small with a 14 px icon, then the caller class', () => {
    render(<IconButton icon="redo" label="Повторить" size="sm" className="mine" />);
    const button = screen.getByRole('button');
    expect(button.getAttribute('class')).toBe('orvo-btn orvo-btn--icon orvo-btn--sm mine');
    expect(button.querySelector('svg')!.getAttribute('width')).toBe('14');
  });

  it('keeps its label over a passed aria-label and title', () => {
    const props = { 'aria-label': 'Чужое', title: 'Чужое' };
    render(<IconButton icon="trash" label="Удалить" {...props} />);
    const button = screen.getByRole('button');
    expect(button).toHaveAccessibleName('Удалить');
    expect(button).toHaveAttribute('title', 'Удалить');
  });

  it('passes handlers, disabled and test id through', async () => {
    const onClick = vi.fn();
    render(<IconButton icon="copy" label="Копировать" onClick={onClick} data-testid="copy" />);
    await userEvent.click(screen.getByTestId('copy'));
    expect(onClick).toHaveBeenCalledTimes(1);
    render(<IconButton icon="paste" label="Вставить" disabled />);
    expect(screen.getByRole('button', { name: 'Вставить' })).toBeDisabled();
  });
});

describe('SegmentedSwitch', () => {
  const options = [
    { value: 'view', label: 'Просмотр' },
    { value: 'edit', label: 'Редактор' },
  ];

  it('renders a named group with one pressed button per option', () => {
    render(<SegmentedSwitch options={options} value="edit" label="Режим" onChange={() => {}} />);
    const group = screen.getByRole('group', { name: 'Режим' });
    expect(group.getAttribute('class')).toBe('orvo-seg');
    const buttons = screen.getAllByRole('button');
    expect(buttons.map((b) => b.textContent)).toEqual(['Просмотр', 'Редактор']);
    expect(buttons.map((b) => b.getAttribute('aria-pressed'))).toEqual(['false', 'true']);
    for (const button of buttons) {
      expect(button.getAttribute('class')).toBe('orvo-btn');
      expect(button).toHaveAttribute('type', 'button');
    }
  });

  it('reports the clicked option, also when it is already pressed', async () => {
    const onChange = vi.fn();
    render(<SegmentedSwitch options={options} value="view" label="Режим" onChange={onChange} />);
    await userEvent.click(screen.getByRole('button', { name: 'Просмотр' }));
    await userEvent.click(screen.getByRole('button', { name: 'Редактор' }));
    expect(onChange.mock.calls).toEqual([['view'], ['edit']]);
  });
});
