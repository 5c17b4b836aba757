import { act, fireEvent, render, screen, within } from '@testing-library/react';
import { vi } from 'vitest';
import type { PointInfo, PointValue } from '../data';
import {
  createSessionStore,
  OPEN_SESSION,
  type CommandAnswer,
  type CommandClient,
  type SessionState,
} from '../station';
import { alarm, fakeAlarmClient } from '../view/alarms.fixture';
import { Faceplate } from './Faceplate';
import { emptyHistory, fixedSource } from './faceplate.fixture';

// jsdom draws no canvas.
vi.mock('./plot', () => ({
  createPlot: () => ({ update: () => {}, resize: () => {}, destroy: () => {} }),
}));

const catalogue: PointInfo[] = [
  { id: 'NS-101', kind: 'discrete', description: 'насос Н-1', writable: true },
  { id: 'HV-305', kind: 'analog', unit: '%', writable: true, min: 0, max: 100 },
  { id: 'LT-101', kind: 'analog', unit: '%', min: 0, max: 100 },
];
const values: PointValue[] = [
  { id: 'NS-101', value: true, status: 'good', timestamp: 1 },
  { id: 'HV-305', value: 46.25, status: 'good', timestamp: 1 },
  { id: 'LT-101', value: 61, status: 'good', timestamp: 1 },
];
const dataSource = fixedSource(catalogue, values);
const history = emptyHistory;

const operator: SessionState = {
  configured: true,
  user: 'ivanov',
  role: 'operator',
  allowed: { alarms: true, commands: true, edit: false, outOfService: false },
  reasons: {},
};
const NO_RIGHT = 'Управление разрешено оператору и инженеру';
const viewer: SessionState = {
  ...operator,
  user: null,
  role: null,
  allowed: { alarms: false, commands: false, edit: false, outOfService: false },
  reasons: { commands: NO_RIGHT },
};

/** Commands answered when the test says. */
function fakeCommands(available = true) {
  const answers: ((answer: CommandAnswer) => void)[] = [];
  const send = vi.fn<CommandClient['send']>(
    () => new Promise<CommandAnswer>((resolve) => answers.push(resolve)),
  );
  const commands: CommandClient = { available, send };
  const answer = (value: CommandAnswer) => act(async () => answers.shift()?.(value));
  return { commands, send, answer };
}

async function showCard(pointId: string, state: SessionState = OPEN_SESSION, available = true) {
  const session = createSessionStore(state);
  const fake = fakeCommands(available);
  render(
    <Faceplate
      pointId={pointId}
      dataSource={dataSource}
      history={history}
      session={session}
      commands={fake.commands}
      onClose={() => {}}
      onOpenTrends={() => {}}
    />,
  );
  await act(async () => {});
  return { ...fake, session };
}

const section = () => screen.getByRole('region', { name: 'Управление' });
const press = (name: string) =>
  act(async () => fireEvent.click(within(section()).getByRole('button', { name })));
const type = (text: string) =>
  fireEvent.change(within(section()).getByLabelText('Новое значение'), {
    target: { value: text },
  });

describe('Faceplate commands', () => {
  it("keeps one section beside the point's alarms, drawn again and again", async () => {
    const session = createSessionStore(operator);
    const { commands } = fakeCommands();
    const alarms = fakeAlarmClient([alarm({ id: 'NS-101.state', pointId: 'NS-101' })]).client;
    const card = () => (
      <Faceplate
        key="card"
        pointId="NS-101"
        dataSource={dataSource}
        history={history}
        alarms={alarms}
        session={session}
        commands={commands}
        onClose={() => {}}
        onOpenTrends={() => {}}
      />
    );
    const shown = render(card());
    await act(async () => {});
    for (let redraw = 1; redraw <= 3; redraw++) {
      act(() => session.set({ ...operator, user: `user-${redraw}` }));
      shown.rerender(card());
    }
    expect(screen.getAllByRole('region', { name: 'Управление' })).toHaveLength(1);
    expect(screen.getAllByRole('region', { name: 'Тревоги точки' })).toHaveLength(1);
  });

  it.each<[string, string, SessionState, boolean]>([
    ['a point that takes no commands', 'LT-101', OPEN_SESSION, true],
    ['a station that sends no commands', 'NS-101', OPEN_SESSION, false],
  ])('offers nothing for %s', async (_name, pointId, state, available) => {
    await showCard(pointId, state, available);
    expect(screen.queryByRole('region', { name: 'Управление' })).toBeNull();
  });

  it('says why a user may not command, in place of the buttons, and follows the session', async () => {
    const { session } = await showCard('NS-101', viewer);
    expect(within(section()).getByRole('status')).toHaveTextContent(NO_RIGHT);
    expect(within(section()).queryByRole('button')).toBeNull();
    act(() => session.set(operator));
    expect(within(section()).getByRole('button', { name: 'Включить' })).toBeInTheDocument();
    expect(within(section()).queryByText(NO_RIGHT)).toBeNull();
  });

  it('switches a discrete point only once confirmed, and says the point followed', async () => {
    const { send, answer } = await showCard('NS-101', operator);
    await press('Отключить');
    expect(send).not.toHaveBeenCalled();
    expect(within(section()).getByText('Было: вкл')).toBeInTheDocument();
    expect(within(section()).getByText('Станет: выкл')).toBeInTheDocument();
    await press('Подтвердить');
    expect(send).toHaveBeenCalledExactlyOnceWith('NS-101', false);
    expect(within(section()).getByRole('status')).toHaveTextContent('Команда отправлена…');
    expect(within(section()).getByRole('button', { name: 'Включить' })).toBeDisabled();
    expect(within(section()).getByRole('button', { name: 'Отключить' })).toBeDisabled();
    await answer({ outcome: 'done' });
    expect(within(section()).getByRole('status')).toHaveTextContent('Выполнено');
    expect(within(section()).getByRole('button', { name: 'Включить' })).toBeEnabled();
  });

  it('goes back without sending on "Отмена"', async () => {
    const { send } = await showCard('NS-101', operator);
    await press('Включить');
    await press('Отмена');
    expect(send).not.toHaveBeenCalled();
    expect(within(section()).queryByText(/Станет/)).toBeNull();
    expect(within(section()).getByRole('button', { name: 'Включить' })).toBeEnabled();
  });

  it.each<[string, CommandAnswer, string]>([
    ['the point did not follow', { outcome: 'unconfirmed' }, 'Нет подтверждения от объекта'],
    [
      'the station refused',
      { error: 'Команда отклонена: нет связи' },
      'Команда отклонена: нет связи',
    ],
  ])('says so in place when %s', async (_name, reply, text) => {
    const { answer } = await showCard('HV-305', operator);
    type('30');
    await press('Задать');
    await press('Подтвердить');
    await answer(reply);
    expect(within(section()).getByRole('alert')).toHaveTextContent(text);
  });

  it('sets an analog value once confirmed, showing the old and new value as the card does', async () => {
    const { send } = await showCard('HV-305', operator);
    type('12.5');
    await press('Задать');
    expect(within(section()).getByText('Было: 46.25')).toBeInTheDocument();
    expect(within(section()).getByText('Станет: 12.5')).toBeInTheDocument();
    await press('Подтвердить');
    expect(send).toHaveBeenCalledExactlyOnceWith('HV-305', 12.5);
    expect(within(section()).getByLabelText('Новое значение')).toBeDisabled();
    expect(within(section()).getByRole('button', { name: 'Задать' })).toBeDisabled();
  });

  it.each([
    ['101', 'Значение вне диапазона 0–100'],
    ['-0.5', 'Значение вне диапазона 0–100'],
    ['', 'Введите число'],
  ])('refuses "%s" in place: %s', async (text, problem) => {
    const { send } = await showCard('HV-305', operator);
    type(text);
    await press('Задать');
    expect(within(section()).getByRole('alert')).toHaveTextContent(problem);
    expect(within(section()).queryByText(/Станет/)).toBeNull();
    type('50');
    expect(within(section()).queryByRole('alert')).toBeNull();
    expect(send).not.toHaveBeenCalled();
  });
});
