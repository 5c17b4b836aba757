import { act, fireEvent, render, screen, within } from '@testing-library/react';
import { vi } from 'vitest';
import type { JournalRecord } from '../station';
import { alarm, fakeAlarms } from './alarms.fixture';
import { localField } from './format';
import { JournalView } from './JournalView';

const NOW = Date.UTC(2024, 4, 2, 12, 0, 0);
const HOUR = 3_600_000;

function record(seq: number, fields: Partial<JournalRecord> = {}): JournalRecord {
  return {
    seq,
    time: NOW - seq * 60_000,
    sourceTime: 0,
    event: 'active',
    alarm: 'LT-101.hi',
    point: 'LT-101',
    priority: 2,
    value: '87.5',
    user: '',
    station: 'st-1',
    text: 'Уровень высокий',
    ...fields,
  };
}

async function setup(records: JournalRecord[] = [], truncated = false) {
  const fake = fakeAlarms([alarm('PT-1.hi', { raisedAt: NOW - 30 * HOUR })]);
  fake.client.journal.mockResolvedValue({ records, truncated });
  render(<JournalView alarms={fake.client} now={() => NOW} />);
  await act(async () => {});
  return fake;
}

const lastQuery = (journal: { mock: { calls: unknown[][] } }) => journal.mock.calls.at(-1)?.[0];
const press = (name: string) =>
  act(async () => fireEvent.click(screen.getByRole('button', { name })));
const table = () => screen.getByRole('grid', { name: 'Записи журнала' });

describe('JournalView', () => {
  it('asks for the last 24 hours at first and lists the answer', async () => {
    const { client } = await setup([
      record(2, { event: 'ack', user: 'ivanov', priority: 0, text: 'проверено' }),
      record(1),
    ]);
    expect(lastQuery(client.journal)).toEqual({ from: NOW - 24 * HOUR, to: NOW, limit: 10_000 });
    const rows = within(table()).getAllByRole('row').slice(1);
    expect(rows).toHaveLength(2);
    expect(rows[0]).toHaveTextContent('Квитирование');
    expect(rows[0]).toHaveTextContent('ivanov');
    expect(within(rows[0]).queryByRole('img')).toBeNull();
    expect(rows[1]).toHaveTextContent('Срабатывание');
    expect(within(rows[1]).getByRole('img', { name: '2 Высокая' })).toBeInTheDocument();
    expect(screen.getByTestId('journal-shown')).toHaveTextContent('Записей: 2');
  });

  it.each([
    ['1 ч', HOUR],
    ['7 сут', 7 * 24 * HOUR],
    ['30 сут', 30 * 24 * HOUR],
  ])('asks for the quick choice %s', async (label, span) => {
    const { client } = await setup();
    await press(label);
    expect(lastQuery(client.journal)).toEqual({ from: NOW - span, to: NOW, limit: 10_000 });
    expect(screen.getByRole('button', { name: label })).toHaveAttribute('aria-pressed', 'true');
  });

  it('asks for the fields and filters given, leaving blank ones out', async () => {
    const { client } = await setup();
    const from = NOW - 3 * HOUR;
    fireEvent.change(screen.getByLabelText('С'), { target: { value: localField(from) } });
    fireEvent.change(screen.getByLabelText('Точка'), { target: { value: ' LT-101 ' } });
    fireEvent.change(screen.getByLabelText('Событие'), { target: { value: 'shelve' } });
    await press('Показать');
    expect(lastQuery(client.journal)).toEqual({
      from,
      to: NOW,
      point: 'LT-101',
      event: 'shelve',
      limit: 10_000,
    });
    fireEvent.change(screen.getByLabelText('Текст'), { target: { value: 'ремонт' } });
    fireEvent.change(screen.getByLabelText('Событие'), { target: { value: '' } });
    await press('Показать');
    expect(lastQuery(client.journal)).toMatchObject({ point: 'LT-101', text: 'ремонт' });
    expect(lastQuery(client.journal)).not.toHaveProperty('event');
  });

  it.each([
    ['login', 'Вход'],
    ['logout', 'Выход'],
    ['login-failed', 'Неудачный вход'],
    ['locked', 'Блокировка входа'],
    ['command', 'Команда'],
    ['save', 'Сохранение схемы'],
    ['definitions', 'Изменение уставок тревог'],
    ['user-added', 'Добавлен пользователь'],
    ['user-removed', 'Удалён пользователь'],
    ['refused', 'Отказ в доступе'],
  ] as const)('lists and filters the station event %s as "%s"', async (event, label) => {
    const { client } = await setup([
      record(1, { event, alarm: '', point: '', priority: 0, user: 'petrov' }),
    ]);
    const rows = within(table()).getAllByRole('row').slice(1);
    expect(rows[0]).toHaveTextContent(label);
    const filter = screen.getByLabelText('Событие');
    expect(within(filter).getByRole('option', { name: label })).toHaveValue(event);
    fireEvent.change(filter, { target: { value: event } });
    await press('Показать');
    expect(lastQuery(client.journal)).toMatchObject({ event });
  });

  it('says why a period cannot be asked for, and asks nothing', async () => {
    const { client } = await setup();
    const asked = client.journal.mock.calls.length;
    fireEvent.change(screen.getByLabelText('С'), { target: { value: localField(NOW + HOUR) } });
    await press('Показать');
    expect(screen.getByRole('alert')).toHaveTextContent('Начало периода должно быть раньше конца');
    expect(client.journal).toHaveBeenCalledTimes(asked);
  });

  it('notes an answer cut short', async () => {
    await setup([record(1), record(2), record(3)], true);
    expect(screen.getByTestId('journal-shown')).toHaveTextContent('Показано 3 из более чем 3');
  });

  it('exports the records of the period and filters as a CSV download', async () => {
    const { client } = await setup();
    client.exportJournal.mockResolvedValue('time,event\r\n');
    const created: Blob[] = [];
    const createObjectURL = vi.fn((blob: Blob) => (created.push(blob), 'blob:journal'));
    Object.assign(URL, { createObjectURL, revokeObjectURL: vi.fn() });
    const names: string[] = [];
    const click = vi.spyOn(HTMLAnchorElement.prototype, 'click').mockImplementation(function (
      this: HTMLAnchorElement,
    ) {
      names.push(this.download);
    });
    fireEvent.change(screen.getByLabelText('Точка'), { target: { value: 'LT-101' } });
    await press('Показать');
    await press('Экспорт CSV');
    expect(client.exportJournal).toHaveBeenCalledWith({
      from: NOW - 24 * HOUR,
      to: NOW,
      point: 'LT-101',
    });
    expect(names).toEqual(['journal-2024-05-01T12-00-00Z-2024-05-02T12-00-00Z.csv']);
    const text = await new Promise<string>((resolve) => {
      const reader = new FileReader();
      reader.onload = () => resolve(String(reader.result));
      reader.readAsText(created[0]);
    });
    expect(text).toBe('time,event\r\n');
    expect(created[0].type).toBe('text/csv;charset=utf-8');
    click.mockRestore();
  });

  it('shows the figures of the same period from its activations', async () => {
    const burst = Array.from({ length: 12 }, (_, k) =>
      record(k + 1, {
        time: NOW - HOUR + k * 10_000,
        alarm: 'FT-1.lo',
        priority: 1,
        text: 'Расход',
      }),
    );
    const { client } = await setup(burst);
    await press('1 ч');
    await press('Показатели');
    expect(lastQuery(client.journal)).toEqual({
      from: NOW - HOUR,
      to: NOW,
      event: 'active',
      limit: 100_000,
    });
    expect(screen.getByTestId('metric-activations')).toHaveTextContent('12');
    expect(screen.getByTestId('metric-average')).toHaveTextContent('2 ');
    expect(screen.getByTestId('metric-average')).toHaveTextContent('в норме');
    expect(screen.getByTestId('metric-peak')).toHaveTextContent('12');
    expect(screen.getByTestId('metric-peak')).toHaveTextContent('выше нормы');
    expect(screen.getByTestId('metric-over')).toHaveTextContent('Высокий (1 и 2)');
    const top = screen.getByRole('table', { name: 'Самые частые тревоги' });
    expect(within(top).getAllByRole('row')[1]).toHaveTextContent('FT-1.loРасход12');
    expect(screen.getByRole('table', { name: 'Дребезг' })).toHaveTextContent('FT-1.lo');
    expect(screen.getByRole('table', { name: 'Давние тревоги' })).toHaveTextContent('PT-1.hi');
  });
});
