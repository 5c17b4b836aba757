import { act, fireEvent, render, screen, within } from '@testing-library/react';
import type { DataSource } from '../data';
import { alarm, fakeAlarms } from '../alarms/alarms.fixture';
import type { Scheme } from '../scheme';
import { AppShell } from './AppShell';
import { createSchemeRegistry } from './registry';

const pump: Scheme = {
  schemaVersion: 1,
  id: 'pump',
  name: 'Насосная станция',
  size: { width: 100, height: 50 },
  elements: [{ id: 'r', type: 'rect', x: 0, y: 0, width: 10, height: 10, style: {} }],
};
const registry = createSchemeRegistry([{ id: 'pump', name: 'Насосы', scheme: pump }]);

const source: DataSource = {
  subscribe: () => () => {},
  read: () => Promise.resolve([]),
  // The inspector's tag list waits for a catalogue that never comes.
  listPoints: () => new Promise(() => {}),
  writeCommand: () => Promise.resolve(),
  getHistory: () => Promise.resolve([]),
  subscribeEvents: () => () => {},
};

const title = () => screen.getByTestId('scheme-title');
const banner = () => screen.getByRole('status', { name: 'Тревоги' });
const navOrder = () =>
  within(screen.getByRole('navigation'))
    .getAllByRole('button')
    .map((button) => button.textContent);

describe('AppShell with the station alarms', () => {
  it('lists the alarms and the journal below the trends, each with the banner above', async () => {
    const { client } = fakeAlarms([alarm('LT-101.hi', { priority: 1 })]);
    render(<AppShell registry={registry} dataSource={source} alarms={client} />);
    expect(navOrder()).toEqual(['Насосы', 'Тренды', 'Тревоги', 'Журнал событий']);
    expect(screen.getByTestId('banner-first')).toHaveTextContent('LT-101');

    fireEvent.click(screen.getByTestId('nav-alarms'));
    expect(title()).toHaveTextContent('Тревоги');
    expect(screen.getByTestId('nav-alarms')).toHaveAttribute('aria-current', 'true');
    expect(screen.getByTestId('scheme-pump')).toHaveAttribute('aria-current', 'false');
    expect(screen.getByRole('grid', { name: 'Текущие тревоги' })).toBeInTheDocument();
    expect(screen.queryByRole('group', { name: 'Режим работы со схемой' })).toBeNull();
    expect(banner()).toBeInTheDocument();

    await act(async () => fireEvent.click(screen.getByTestId('nav-journal')));
    expect(title()).toHaveTextContent('Журнал событий');
    expect(screen.getByRole('grid', { name: 'Записи журнала' })).toBeInTheDocument();
    expect(client.journal).toHaveBeenCalled();

    fireEvent.click(screen.getByTestId('nav-trends'));
    expect(title()).toHaveTextContent('Тренды');
    expect(banner()).toBeInTheDocument();

    fireEvent.click(screen.getByTestId('scheme-pump'));
    expect(title()).toHaveTextContent('Насосная станция');
    expect(screen.getByTestId('runtime')).toBeInTheDocument();
  });

  it('opens the summary from the banner', () => {
    const { client } = fakeAlarms([alarm('LT-101.hi')]);
    render(<AppShell registry={registry} dataSource={source} alarms={client} />);
    fireEvent.click(within(banner()).getByRole('button', { name: /Неквитированных/ }));
    expect(title()).toHaveTextContent('Тревоги');
  });

  it('says in a plain browser that the program keeps the alarms', () => {
    render(<AppShell registry={registry} dataSource={source} />);
    expect(banner()).toHaveTextContent('Тревоги ведёт программа станции');
  });

  it('asks before the alarm views end an editor with unsaved edits', () => {
    render(<AppShell registry={registry} dataSource={source} alarms={fakeAlarms().client} />);
    const modes = screen.getByRole('group', { name: 'Режим работы со схемой' });
    fireEvent.click(within(modes).getByRole('button', { name: 'Редактирование' }));
    const editor = document.querySelector('.mnemo-editor') as HTMLElement;
    fireEvent.keyDown(editor, { key: 'a', ctrlKey: true });
    fireEvent.keyDown(editor, { key: 'Delete' });

    fireEvent.click(screen.getByTestId('nav-journal'));
    const question = screen.getByRole('alertdialog', { name: 'Несохранённые изменения' });
    expect(title()).toHaveTextContent('Насосная станция');
    fireEvent.click(within(question).getByRole('button', { name: 'Отмена' }));
    expect(document.querySelector('.mnemo-editor')).not.toBeNull();

    fireEvent.click(within(banner()).getByRole('button', { name: /Неквитированных/ }));
    fireEvent.click(screen.getByRole('button', { name: 'Не сохранять' }));
    expect(title()).toHaveTextContent('Тревоги');
    expect(document.querySelector('.mnemo-editor')).toBeNull();
  });
});
