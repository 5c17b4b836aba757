import { act, fireEvent, render, screen, within } from '@testing-library/react';
import { vi } from 'vitest';
import { AlarmBanner } from './AlarmBanner';
import { alarm, fakeAlarms } from './alarms.fixture';

const T = Date.UTC(2024, 4, 1, 10, 0, 0);
const banner = () => screen.getByRole('status', { name: 'Тревоги' });
const count = (id: string) => screen.getByTestId(id);

describe('AlarmBanner', () => {
  const alarms = [
    alarm('LT-101.hi', { priority: 2, raisedAt: T + 5000, message: 'Уровень высокий' }),
    alarm('PT-1.hihi', { priority: 1, raisedAt: T, message: 'Давление старое' }),
    alarm('PT-2.hihi', { priority: 1, raisedAt: T + 1000, message: 'Давление новое' }),
    alarm('FT-1.lo', {
      priority: 1,
      state: 'acknowledged',
      acknowledged: true,
      raisedAt: T + 9000,
    }),
    alarm('TT-1.hi', { priority: 3, state: 'returned', active: false }),
    alarm('TT-2.hi', { priority: 4, state: 'shelved' }),
  ];

  it('counts the unacknowledged and the active alarms per priority, dimming the zeros', () => {
    render(<AlarmBanner alarms={fakeAlarms(alarms).client} onOpen={() => {}} />);
    expect(count('banner-unacknowledged')).toHaveTextContent('Неквитированных: 4');
    const perPriority = [1, 2, 3, 4].map((p) => count(`banner-priority-${p}`));
    const numbers = perPriority.map((entry) => entry.querySelector('.alarm-banner__number'));
    expect(numbers.map((entry) => entry?.textContent)).toEqual(['3', '1', '0', '0']);
    expect(perPriority.map((entry) => entry.hasAttribute('data-zero'))).toEqual([
      false,
      false,
      true,
      true,
    ]);
    // Each count carries its mark: shape and number, not colour alone.
    expect(within(perPriority[0]).getByRole('img', { name: '1 Критическая' })).toBeInTheDocument();
  });

  it('shows the newest unacknowledged alarm of the highest priority', () => {
    render(<AlarmBanner alarms={fakeAlarms(alarms).client} onOpen={() => {}} />);
    const first = screen.getByTestId('banner-first');
    expect(first).toHaveTextContent('PT-2');
    expect(first).toHaveTextContent('Давление новое');
    expect(first).toHaveTextContent('01.05.2024');
    expect(within(first).getByRole('img')).toHaveAccessibleName('1 Критическая');
  });

  it('follows the store and opens the summary on a click', () => {
    const { client, store } = fakeAlarms();
    const onOpen = vi.fn();
    render(<AlarmBanner alarms={client} onOpen={onOpen} />);
    expect(screen.queryByTestId('banner-first')).toBeNull();
    act(() => store.apply({ alarms: [alarm('LT-1.hi', { priority: 4 })] }));
    expect(count('banner-unacknowledged')).toHaveTextContent('1');
    expect(screen.getByTestId('banner-first')).toHaveTextContent('LT-1');
    fireEvent.click(within(banner()).getByRole('button', { name: /Неквитированных/ }));
    expect(onOpen).toHaveBeenCalledTimes(1);
  });

  it('says a flood with its rate', () => {
    render(
      <AlarmBanner alarms={fakeAlarms([], { flood: true, rate: 37 }).client} onOpen={() => {}} />,
    );
    expect(screen.getByTestId('banner-flood')).toHaveTextContent('Лавина тревог: 37 за 10 мин');
  });

  it('silences a sounding horn without acknowledging, and hides the button when quiet', async () => {
    const { client, store } = fakeAlarms(alarms, { horn: 'sounding' });
    render(<AlarmBanner alarms={client} onOpen={() => {}} />);
    expect(screen.getByTestId('banner-horn')).toHaveTextContent('Звук тревоги');
    await act(async () => fireEvent.click(screen.getByRole('button', { name: 'Сбросить звук' })));
    expect(client.silence).toHaveBeenCalledTimes(1);
    expect(client.acknowledge).not.toHaveBeenCalled();
    act(() => store.apply({ status: { horn: 'quiet', audio: true, flood: false, rate: 0 } }));
    expect(screen.queryByRole('button', { name: 'Сбросить звук' })).toBeNull();
    expect(screen.queryByTestId('banner-horn')).toBeNull();
  });

  it('shows a refused silence beside the button', async () => {
    const { client } = fakeAlarms([], { horn: 'sounding' });
    client.silence.mockResolvedValue({ error: 'Нет права' });
    render(<AlarmBanner alarms={client} onOpen={() => {}} />);
    await act(async () => fireEvent.click(screen.getByRole('button', { name: 'Сбросить звук' })));
    expect(banner()).toHaveTextContent('Нет права');
  });

  it.each([
    [{ horn: 'off' as const }, ['Звук отключён']],
    [{ audio: false }, ['Нет звукового устройства']],
    [{ horn: 'sounding' as const, audio: false }, ['Звук тревоги', 'Нет звукового устройства']],
  ])('names the horn for %j', (status, words) => {
    render(<AlarmBanner alarms={fakeAlarms([], status).client} onOpen={() => {}} />);
    expect(screen.getAllByTestId('banner-horn').map((entry) => entry.textContent)).toEqual(words);
  });

  it('says who keeps the alarms in a plain browser', () => {
    render(<AlarmBanner alarms={fakeAlarms([], {}, false).client} onOpen={() => {}} />);
    expect(banner()).toHaveTextContent('Тревоги ведёт программа станции');
    expect(within(banner()).queryByRole('button')).toBeNull();
  });
});
