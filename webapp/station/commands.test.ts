import { afterEach, describe, expect, it, vi } from 'vitest';
import type { DataSource, PointInfo, PointValue } from '../data';
import {
  COMMAND_ANSWER_MS,
  COMMAND_CONFIRM_MS,
  COMMAND_NOT_DONE_TEXT,
  commandsOver,
  emulatorCommands,
  followsCommand,
  NO_ANSWER_TEXT,
  NOT_WRITABLE_TEXT,
  readCommandAnswer,
  UNFIT_VALUE_TEXT,
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

describe('followsCommand', () => {
  const valve = { min: 0, max: 200 };
  it.each<[string, { min?: number; max?: number }, unknown, boolean | number, boolean]>([
    ['a flag equal to the command', {}, false, false, true],
    ['a flag that stayed', {}, true, false, false],
    ['a number for a flag', {}, 0, false, false],
    ['a number within 1 % of the range', valve, 32, 30, true],
    ['a number just outside it', valve, 32.01, 30, false],
    ['a number below, within it', valve, 28, 30, true],
    ['a number without a range, exactly', {}, 30, 30, true],
    ['a number without a range, close', { min: 0 }, 30.001, 30, false],
    ['a flag for a number', valve, true, 30, false],
  ])('%s', (_name, point, value, target, expected) => {
    expect(followsCommand(point, value, target)).toBe(expected);
  });
});

describe('emulatorCommands', () => {
  const catalogue: PointInfo[] = [
    { id: 'NS-101', kind: 'discrete', writable: true },
    { id: 'HV-305', kind: 'analog', writable: true, min: 0, max: 100 },
    { id: 'LT-101', kind: 'analog', min: 0, max: 100 },
  ];

  /** An emulator that follows a command with `follow` (or not at all). */
  function setup(follow?: (id: string, value: boolean | number) => boolean | number) {
    const subscribers = new Set<(values: PointValue[]) => void>();
    const source = {
      listPoints: () => Promise.resolve(catalogue),
      subscribe: (_ids: readonly string[], callback: (values: PointValue[]) => void) => {
        subscribers.add(callback);
        return () => subscribers.delete(callback);
      },
    } as unknown as DataSource;
    const command = vi.fn((id: string, value: boolean | number) => {
      if (!follow) return;
      const point: PointValue = { id, value: follow(id, value), status: 'good', timestamp: 1 };
      for (const subscriber of [...subscribers]) subscriber([point]);
    });
    return { commands: emulatorCommands(source, command), command, subscribers };
  }

  it('hands the emulator the command and says done once the point follows', async () => {
    const { commands, command, subscribers } = setup((_id, value) => value);
    await expect(commands.send('HV-305', 30)).resolves.toEqual({ outcome: 'done' });
    expect(command).toHaveBeenCalledExactlyOnceWith('HV-305', 30);
    expect(subscribers.size).toBe(0);
  });

  it('says unconfirmed when the point does not follow in time', async () => {
    vi.useFakeTimers();
    const { commands, subscribers } = setup(() => 99);
    const answer = vi.fn();
    void commands.send('HV-305', 30).then(answer);
    await vi.advanceTimersByTimeAsync(COMMAND_CONFIRM_MS - 1);
    expect(answer).not.toHaveBeenCalled();
    await vi.advanceTimersByTimeAsync(1);
    expect(answer).toHaveBeenCalledWith({ outcome: 'unconfirmed' });
    expect(subscribers.size).toBe(0);
  });

  it.each<[string, string, boolean | number, string]>([
    ['a point that takes no commands', 'LT-101', 30, NOT_WRITABLE_TEXT],
    ['an unknown point', 'XX-1', true, NOT_WRITABLE_TEXT],
    ['a value out of range', 'HV-305', 101, UNFIT_VALUE_TEXT],
    ['a flag for an analog point', 'HV-305', true, UNFIT_VALUE_TEXT],
    ['a number for a discrete point', 'NS-101', 1, UNFIT_VALUE_TEXT],
  ])('refuses %s without sending', async (_name, id, value, error) => {
    const { commands, command } = setup((_id, sent) => sent);
    await expect(commands.send(id, value)).resolves.toEqual({ error });
    expect(command).not.toHaveBeenCalled();
  });
});
