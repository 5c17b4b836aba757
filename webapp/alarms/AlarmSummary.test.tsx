import { act, fireEvent, render, screen, within } from '@testing-library/react';
import type { DataSource } from '../data';
import { AlarmSummary } from './AlarmSummary';
import { alarm, fakeAlarms } from './alarms.fixture';

const T = Date.UTC(2024, 4, 1, 10, 0, 0);

const source: DataSource = {
  subscribe: () => () => {},
  read: () => Promise.resolve([]),
  listPoints: () =>
    Promise.resolve([
      { id: 'LT-101', kind: 'analog', unit: '%' },
      { id: 'NS-1', kind: 'discrete' },
    ]),
  writeCommand: () => Promise.resolve(),
  getHistory: () => Promise.resolve([]),
  subscribeEvents: () => () => {},
};

const standing = [
  alarm('LT-101.hi', {
    priority: 2,
    state: 'acknowledged',
    raisedAt: T + 5000,
    area: 'Насосная',
    value: 87.25,
  }),
  alarm('PT-1.hi', { priority: 3, raisedAt: T + 4000, area: 'Котельная' }),
  alarm('PT-2.hihi', { priority: 1, state: 'returned', active: false, raisedAt: T + 3000 }),
  alarm('NS-1.state', {
    priority: 1,
    raisedAt: T + 6000,
    message: 'Насос ОСТАНОВЛЕН',
    value: false,
    chattering: true,
  }),
  alarm('TT-1.hi', { priority: 4, state: 'latched', raisedAt: T + 7000, area: 'Насосная' }),
];
const others = [
  alarm('FT-1.lo', { state: 'shelved', reason: 'ремонт' }),
  alarm('FT-2.lo', { state: 'out-of-service' }),
];

async function setup(alarms = [...standing, ...others]) {
  const fake = fakeAlarms(alarms);
  render(<AlarmSummary alarms={fake.client} dataSource={source} />);
  await act(async () => {});
  return fake;
}

const table = () => screen.getByRole('grid', { name: 'Текущие тревоги' });
const bodyRows = () =>
  within(table())
    .getAllByRole('row')
    .filter((row) => row.hasAttribute('data-alarm'));
const shownIds = () => bodyRows().map((row) => row.getAttribute('data-alarm'));
const rowOf = (id: string) =>
  bodyRows().find((row) => row.getAttribute('data-alarm') === id) as HTMLElement;
const header = (name: string) =>
  within(table()).getByRole('columnheader', { name: new RegExp(name) });
const choose = (label: string, value: string) =>
  fireEvent.change(screen.getByLabelText(label), { target: { value } });
const click = (element: HTMLElement) => act(async () => fireEvent.click(element));

describe('AlarmSummary', () => {
  it('lists the standing alarms, unacknowledged first, then by priority, then newest', async () => {
    await setup();
    expect(shownIds()).toEqual(['NS-1.state', 'PT-2.hihi', 'PT-1.hi', 'LT-101.hi', 'TT-1.hi']);
    const row = within(rowOf('NS-1.state'));
    expect(row.getByRole('img', { name: '1 Критическая' })).toBeInTheDocument();
    expect(row.getByTestId('alarm-state')).toHaveTextContent('АктивнаДребезг');
    expect(row.getByTestId('alarm-value')).toHaveTextContent('выкл');
    expect(rowOf('NS-1.state')).toHaveTextContent('01.05.2024');
    expect(within(rowOf('LT-101.hi')).getByTestId('alarm-value')).toHaveTextContent('87.25 %');
  });

  it('sorts by the time or priority head, saying so in aria-sort', async () => {
    await setup();
    expect(header('Время')).toHaveAttribute('aria-sort', 'none');
    fireEvent.click(within(header('Время')).getByRole('button'));
    expect(header('Время')).toHaveAttribute('aria-sort', 'descending');
    expect(shownIds()).toEqual(['TT-1.hi', 'NS-1.state', 'LT-101.hi', 'PT-1.hi', 'PT-2.hihi']);
    fireEvent.click(within(header('Время')).getByRole('button'));
    expect(header('Время')).toHaveAttribute('aria-sort', 'ascending');
    expect(shownIds()[0]).toBe('PT-2.hihi');
    fireEvent.click(within(header('Приоритет')).getByRole('button'));
    expect(header('Приоритет')).toHaveAttribute('aria-sort', 'ascending');
    expect(header('Время')).toHaveAttribute('aria-sort', 'none');
    expect(shownIds()).toEqual(['NS-1.state', 'PT-2.hihi', 'LT-101.hi', 'PT-1.hi', 'TT-1.hi']);
  });

  it.each([
    ['Приоритет', '1', ['NS-1.state', 'PT-2.hihi']],
    ['Состояние', 'latched', ['TT-1.hi']],
    ['Область', 'Насосная', ['LT-101.hi', 'TT-1.hi']],
    ['Поиск', 'остановлен', ['NS-1.state']],
    ['Поиск', 'pt-', ['PT-2.hihi', 'PT-1.hi']],
  ])('filters by %s = %s', async (label, value, expected) => {
    await setup();
    choose(label, value);
    expect(shownIds()).toEqual(expected);
  });

  it('offers the areas present and shows the other tabs', async () => {
    await setup();
    const areas = within(screen.getByLabelText('Область')).getAllByRole('option');
    expect(areas.map((option) => option.textContent)).toEqual(['Все', 'Котельная', 'Насосная']);
    fireEvent.click(screen.getByRole('tab', { name: /Отложенные/ }));
    expect(shownIds()).toEqual(['FT-1.lo']);
    fireEvent.click(screen.getByRole('tab', { name: /Выведенные из работы/ }));
    expect(shownIds()).toEqual(['FT-2.lo']);
  });

  it('acknowledges all the unacknowledged rows shown, in one call', async () => {
    const { client } = await setup();
    choose('Область', 'Насосная');
    await click(screen.getByRole('button', { name: 'Квитировать все' }));
    expect(client.acknowledge).toHaveBeenCalledTimes(0);
    choose('Область', '');
    choose('Приоритет', '1');
    await click(screen.getByRole('button', { name: 'Квитировать все' }));
    expect(client.acknowledge).toHaveBeenCalledWith(['NS-1.state', 'PT-2.hihi']);
    client.acknowledge.mockResolvedValueOnce({ error: 'Нет права на квитирование' });
    await click(screen.getByRole('button', { name: 'Квитировать все' }));
    expect(screen.getByRole('alert')).toHaveTextContent('Нет права на квитирование');
  });

  it.each([
    ['PT-1.hi', 'Квитировать', 'acknowledge', [['PT-1.hi']]],
    ['TT-1.hi', 'Сбросить', 'reset', 'TT-1.hi'],
    ['FT-1.lo', 'Вернуть', 'unshelve', 'FT-1.lo'],
    ['FT-2.lo', 'Ввести в работу', 'inService', 'FT-2.lo'],
  ] as const)('%s: "%s" calls %s', async (id, label, method, argument) => {
    const { client } = await setup();
    if (id.startsWith('FT-1')) fireEvent.click(screen.getByRole('tab', { name: /Отложенные/ }));
    if (id.startsWith('FT-2')) fireEvent.click(screen.getByRole('tab', { name: /Выведенные/ }));
    await click(within(rowOf(id)).getByRole('button', { name: label }));
    expect(client[method]).toHaveBeenCalledWith(
      ...(Array.isArray(argument) ? argument : [argument]),
    );
  });

  it('shows a refused action in place below its row', async () => {
    const { client } = await setup();
    client.reset.mockResolvedValueOnce({ error: 'Условие ещё действует' });
    await click(within(rowOf('TT-1.hi')).getByRole('button', { name: 'Сбросить' }));
    expect(within(rowOf('TT-1.hi')).getByRole('alert')).toHaveTextContent('Условие ещё действует');
    fireEvent.click(within(rowOf('TT-1.hi')).getByRole('button', { name: 'Закрыть' }));
    expect(screen.queryByRole('alert')).toBeNull();
  });

  it('shelves for a chosen time with a reason it requires', async () => {
    const { client } = await setup();
    fireEvent.click(within(rowOf('PT-1.hi')).getByRole('button', { name: 'Отложить' }));
    const form = within(rowOf('PT-1.hi')).getByRole('form', { name: 'Отложить' });
    await click(within(form).getByRole('button', { name: 'Отложить' }));
    expect(within(form).getByRole('alert')).toHaveTextContent('Укажите причину');
    expect(client.shelve).not.toHaveBeenCalled();

    fireEvent.click(within(form).getByRole('button', { name: '4 ч' }));
    fireEvent.change(within(form).getByLabelText('Причина'), {
      target: { value: ' датчик в ремонте ' },
    });
    client.shelve.mockResolvedValueOnce({ error: 'Отложить можно не более чем на 1 ч' });
    await click(within(form).getByRole('button', { name: 'Отложить' }));
    expect(client.shelve).toHaveBeenCalledWith('PT-1.hi', 240, 'датчик в ремонте');
    expect(within(form).getByRole('alert')).toHaveTextContent('не более чем на 1 ч');

    fireEvent.click(within(form).getByRole('button', { name: '1 ч' }));
    await click(within(form).getByRole('button', { name: 'Отложить' }));
    expect(client.shelve).toHaveBeenLastCalledWith('PT-1.hi', 60, 'датчик в ремонте');
    expect(screen.queryByRole('form')).toBeNull();
  });

  it.each([
    ['Комментарий', 'Сохранить', 'Комментарий', 'comment', 'проверено на месте'],
    ['Вывести из работы', 'Вывести', 'Причина', 'outOfService', 'замена датчика'],
  ] as const)('"%s" sends its text', async (action, submit, field, method, text) => {
    const { client } = await setup();
    fireEvent.click(within(rowOf('PT-1.hi')).getByRole('button', { name: action }));
    const form = within(rowOf('PT-1.hi')).getByRole('form');
    fireEvent.change(within(form).getByLabelText(field), { target: { value: text } });
    await click(within(form).getByRole('button', { name: submit }));
    expect(client[method]).toHaveBeenCalledWith('PT-1.hi', text);
    expect(screen.queryByRole('form')).toBeNull();
  });

  it('acknowledges the selected row on Enter and moves the selection with the arrows', async () => {
    const { client } = await setup();
    const body = within(table()).getAllByRole('rowgroup')[1];
    fireEvent.keyDown(body, { key: 'ArrowDown' });
    expect(rowOf('NS-1.state')).toHaveAttribute('aria-selected', 'true');
    fireEvent.keyDown(body, { key: 'End' });
    expect(rowOf('TT-1.hi')).toHaveAttribute('aria-selected', 'true');
    fireEvent.keyDown(body, { key: 'Enter' });
    expect(client.acknowledge).not.toHaveBeenCalled();
    fireEvent.click(rowOf('PT-1.hi'));
    await act(async () => fireEvent.keyDown(body, { key: 'Enter' }));
    expect(client.acknowledge).toHaveBeenCalledWith(['PT-1.hi']);
  });

  it('draws only a window of 10,000 rows and follows the scrolling', async () => {
    const many = Array.from({ length: 10_000 }, (_, k) =>
      alarm(`P-${String(k).padStart(5, '0')}.hi`, { raisedAt: T - k * 1000 }),
    );
    const { store } = await setup(many);
    const drawn = bodyRows();
    expect(drawn.length).toBeGreaterThan(10);
    expect(drawn.length).toBeLessThan(60);
    expect(table()).toHaveAttribute('aria-rowcount', '10001');
    expect(shownIds()[0]).toBe('P-00000.hi');

    const body = within(table()).getAllByRole('rowgroup')[1];
    act(() => {
      body.scrollTop = 30 * 5000;
      fireEvent.scroll(body);
    });
    expect(shownIds()).toContain('P-05000.hi');
    expect(shownIds()).not.toContain('P-00000.hi');
    expect(bodyRows().length).toBeLessThan(60);

    // A change of one alarm draws the window again, not the list.
    act(() => store.apply({ alarms: [{ ...many[5005], state: 'acknowledged' }] }));
    expect(screen.getByTestId('summary-shown')).toHaveTextContent('10000');
  });
});
