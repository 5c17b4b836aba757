import { afterEach, describe, expect, it, vi } from 'vitest';
import {
  COMMAND_ANSWER_MS,
  COMMAND_NOT_DONE_TEXT,
  commandsOver,
  NO_ANSWER_TEXT,
  readCommandAnswer,
  type CommandAnswer,
} from './commands';
import { fakeService } from './service.fixture';

afterEach(() => {
  vi.useRealTimers();
});

describe('readCommandAnswer', () => {
  it.each<[string, unknown, CommandAnswer]>([
    ['done', { outcome: 'done' }, { outcome: 'done' }],
    ['unconfirmed', { outcome: 'unconfirmed', extra: 1 }, { outcome: 'unconfirmed' }],
    ['a refusal', { error: 'Нет права на управление' }, { error: 'Нет права на управление' }],
    ['an unknown outcome', { outcome: 'maybe' }, { error: COMMAND_NOT_DONE_TEXT }],
    ['an empty reason', { error: '' }, { error: COMMAND_NOT_DONE_TEXT }],
    ['nothing', undefined, { error: COMMAND_NOT_DONE_TEXT }],
  ])('reads %s', (_name, value, expected) => {
    expect(readCommandAnswer(value)).toEqual(expected);
  });
});

function setup() {
  const plant = fakeService('plant', { command: null }, ['commanded']);
  return { ...plant, commands: commandsOver(plant.service) };
}

describe('commandsOver', () => {
  it('numbers the requests and settles each by its own answer, in any order', async () => {
    const { commands, calls, raise } = setup();
    const pump = commands.send('NS-101', false);
    const valve = commands.send('HV-305', 30);
    expect(calls).toEqual([
      ['command', 1, 'NS-101', false],
      ['command', 2, 'HV-305', 30],
    ]);
    raise('commanded', 2, { outcome: 'unconfirmed' });
    raise('commanded', 7, { outcome: 'done' });
    raise('commanded', '1', { outcome: 'done' });
    raise('commanded', 1, { error: 'Нет права на управление' });
    raise('commanded', 1, { outcome: 'done' });
    await expect(valve).resolves.toEqual({ outcome: 'unconfirmed' });
    await expect(pump).resolves.toEqual({ error: 'Нет права на управление' });
  });

  it('gives up on a request the station never answers, and ignores its late answer', async () => {
    vi.useFakeTimers();
    const { commands, raise } = setup();
    const settled = vi.fn();
    void commands.send('NS-101', true).then(settled);
    await vi.advanceTimersByTimeAsync(COMMAND_ANSWER_MS - 1);
    expect(settled).not.toHaveBeenCalled();
    await vi.advanceTimersByTimeAsync(1);
    expect(settled).toHaveBeenCalledWith({ error: NO_ANSWER_TEXT });
    raise('commanded', 1, { outcome: 'done' });
    await vi.advanceTimersByTimeAsync(0);
    expect(settled).toHaveBeenCalledOnce();
  });

  it('stops the wait once answered', async () => {
    vi.useFakeTimers();
    const { commands, raise } = setup();
    const answer = commands.send('NS-101', true);
    raise('commanded', 1, { outcome: 'done' });
    await expect(answer).resolves.toEqual({ outcome: 'done' });
    expect(vi.getTimerCount()).toBe(0);
  });

  it('fails a command the host could not take', async () => {
    const { service } = fakeService('plant', {}, ['commanded']);
    await expect(commandsOver(service).send('NS-101', true)).resolves.toEqual({
      error: COMMAND_NOT_DONE_TEXT,
    });
  });
});
