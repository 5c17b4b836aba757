import { act, fireEvent, render, screen, within } from '@testing-library/react';
import { vi } from 'vitest';
import { NO_ALARMS, type ActionResult, type AlarmClient } from '../station';
import { alarm, fakeAlarmClient } from '../view/alarms.fixture';
import { Faceplate } from './Faceplate';
import { emptyHistory, fixedSource } from './faceplate.fixture';

// jsdom draws no canvas.
vi.mock('./plot', () => ({
  createPlot: () => ({ update: () => {}, resize: () => {}, destroy: () => {} }),
}));

const dataSource = fixedSource([{ id: 'LT-101', kind: 'analog', unit: '%' }]);
const history = emptyHistory;

async function showCard(alarms?: AlarmClient) {
  const shown = render(
    <Faceplate
      pointId="LT-101"
      dataSource={dataSource}
      history={history}
      alarms={alarms}
      onClose={() => {}}
      onOpenTrends={() => {}}
    />,
  );
  // The catalogue's answer comes in first.
  await act(async () => {});
  return shown;
}

const section = () => screen.getByRole('region', { name: 'Тревоги точки' });
const row = (id: string) => section().querySelector(`[data-alarm="${id}"]`) as HTMLElement;

describe('Faceplate alarms', () => {
  it.each([
    ['without alarms', undefined],
    ['where alarms are not available', NO_ALARMS],
  ])('shows no alarm section %s', async (_name, alarms) => {
    await showCard(alarms);
    expect(screen.getByRole('complementary', { name: 'Карточка точки' })).toBeInTheDocument();
    expect(screen.queryByRole('region', { name: 'Тревоги точки' })).toBeNull();
    expect(screen.queryByText('Нет тревог')).toBeNull();
  });

  it('says "Нет тревог" for a point without alarms of its own', async () => {
    await showCard(fakeAlarmClient([alarm({ id: 'other', pointId: 'PT-102' })]).client);
    expect(within(section()).getByText('Нет тревог')).toBeInTheDocument();
    expect(within(section()).queryAllByRole('listitem')).toHaveLength(0);
  });

  it('lists every alarm of the point, highest first, and follows the snapshot', async () => {
    const alarms = fakeAlarmClient([
      alarm({
        id: 'LT-101.lo',
        kind: 'lo',
        priority: 4,
        state: 'normal',
        message: 'Уровень низкий',
      }),
      alarm({ id: 'LT-101.hi', priority: 2, state: 'acknowledged', message: 'Уровень высокий' }),
      alarm({
        id: 'LT-101.hihi',
        priority: 1,
        state: 'returned',
        suspect: true,
        message: 'Перелив',
      }),
      alarm({ id: 'PT-102.hi', pointId: 'PT-102', message: 'Давление высокое' }),
    ]);
    await showCard(alarms.client);
    const items = within(section()).getAllByRole('listitem');
    expect(items.map((item) => item.getAttribute('data-alarm'))).toEqual([
      'LT-101.hihi',
      'LT-101.hi',
      'LT-101.lo',
    ]);
    expect(within(items[0]).getByRole('img', { name: '1 Критическая' })).toBeInTheDocument();
    expect(items[0]).toHaveTextContent('Перелив');
    expect(items[0]).toHaveTextContent('Недостоверно · Норма, не квитирована');
    expect(items[1]).toHaveTextContent('Квитирована');
    expect(items[2]).toHaveTextContent('Норма');
    // Only the unacknowledged one can be acknowledged.
    expect(
      items.map((item) => within(item).queryByRole('button', { name: 'Квитировать' }) !== null),
    ).toEqual([true, false, false]);

    alarms.apply([alarm({ id: 'LT-101.lo', kind: 'lo', priority: 4, message: 'Уровень низкий' })]);
    expect(row('LT-101.lo')).toHaveTextContent('Активна');
    expect(within(row('LT-101.lo')).getByRole('button', { name: 'Квитировать' })).toBeEnabled();
    alarms.apply([], ['LT-101.hihi', 'LT-101.hi', 'LT-101.lo']);
    expect(within(section()).getByText('Нет тревог')).toBeInTheDocument();
  });

  it('acknowledges one alarm and shows a refusal beside it until asked again', async () => {
    const alarms = fakeAlarmClient([
      alarm({ id: 'LT-101.hi', message: 'Уровень высокий' }),
      alarm({ id: 'LT-101.hihi', priority: 1, message: 'Перелив' }),
    ]);
    let answer!: (result: ActionResult) => void;
    alarms.acknowledge.mockImplementation(() => new Promise((resolve) => (answer = resolve)));
    await showCard(alarms.client);
    const button = () => within(row('LT-101.hi')).getByRole('button', { name: 'Квитировать' });

    fireEvent.click(button());
    expect(alarms.acknowledge).toHaveBeenCalledWith(['LT-101.hi']);
    expect(button()).toBeDisabled();
    await act(async () => answer({ error: 'Нет прав на квитирование' }));
    expect(within(row('LT-101.hi')).getByRole('status')).toHaveTextContent(
      'Нет прав на квитирование',
    );
    expect(within(row('LT-101.hihi')).queryByRole('status')).toBeNull();
    expect(button()).toBeEnabled();

    fireEvent.click(button());
    expect(within(row('LT-101.hi')).queryByRole('status')).toBeNull();
    await act(async () => answer({ ok: true }));
    expect(within(row('LT-101.hi')).queryByRole('status')).toBeNull();
    // The station's change of state takes the button away.
    alarms.apply([alarm({ id: 'LT-101.hi', state: 'acknowledged' })]);
    expect(within(row('LT-101.hi')).queryByRole('button')).toBeNull();
    expect(alarms.acknowledge).toHaveBeenCalledTimes(2);
  });

  it('shows a failed request as a refusal', async () => {
    const alarms = fakeAlarmClient([alarm({ id: 'LT-101.hi' })]);
    alarms.acknowledge.mockImplementation(() => Promise.reject(new Error('gone')));
    await showCard(alarms.client);
    await act(async () => fireEvent.click(screen.getByRole('button', { name: 'Квитировать' })));
    expect(within(row('LT-101.hi')).getByRole('status')).toHaveTextContent(
      'Станция не выполнила действие',
    );
  });
});
