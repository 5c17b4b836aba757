import { describe, expect, it, vi } from 'vitest';
import { fakeService } from './service.fixture';
import { OPEN_SESSION, readSessionState, sessionOver, type SessionState } from './session';

const NOBODY = 'Войдите, чтобы управлять';

const operator = {
  configured: true,
  user: 'ivanov',
  role: 'operator',
  allowed: { alarms: true, commands: true, edit: false, outOfService: false },
  reasons: { edit: 'Нужна роль «инженер»', outOfService: 'Нужна роль «инженер»' },
};

describe('readSessionState', () => {
  it.each<[string, unknown, SessionState]>([
    ['no answer', null, OPEN_SESSION],
    [
      'a station without users, whatever else it says',
      { configured: false, user: 'x', allowed: { edit: false } },
      OPEN_SESSION,
    ],
    [
      'a logged-in operator',
      operator,
      {
        configured: true,
        user: 'ivanov',
        role: 'operator',
        allowed: { alarms: true, commands: true, edit: false, outOfService: false },
        reasons: { edit: 'Нужна роль «инженер»', outOfService: 'Нужна роль «инженер»' },
      },
    ],
    [
      'nobody logged in, rights missing or not flags, a reason for an allowed right dropped',
      {
        configured: true,
        user: null,
        role: 'admin',
        allowed: { alarms: 'yes', edit: true },
        reasons: { alarms: NOBODY, commands: 7, edit: 'stale' },
      },
      {
        configured: true,
        user: null,
        role: null,
        allowed: { alarms: false, commands: false, edit: true, outOfService: false },
        reasons: { alarms: NOBODY },
      },
    ],
    [
      'an unknown role',
      { ...operator, role: 'root' },
      { ...readSessionState(operator), role: null },
    ],
  ])('reads %s', (_name, value, expected) => {
    expect(readSessionState(value)).toEqual(expected);
  });
});

describe('sessionOver', () => {
  it('starts from the host’s state, follows its changes and tells its listeners', async () => {
    const { service, calls, raise, listening } = fakeService(
      'session',
      { state: operator, login: { ok: true }, logout: { ok: true } },
      ['changed'],
    );
    const session = await sessionOver(service);
    expect(session.current().user).toBe('ivanov');
    const listener = vi.fn();
    const stop = session.subscribe(listener);
    raise('changed', { configured: true, user: null, allowed: {}, reasons: {} });
    expect(listener).toHaveBeenCalledOnce();
    expect(session.current()).toMatchObject({ user: null, allowed: { alarms: false } });
    stop();
    raise('changed', operator);
    expect(listener).toHaveBeenCalledOnce();
    expect(session.current().role).toBe('operator');
    session.login();
    session.logout();
    expect(calls.map(([method]) => method)).toEqual(['state', 'login', 'logout']);
    expect(listening('changed')).toBe(1);
  });

  it('hears changes before it asks, and takes the answer as the newest', async () => {
    let answer: (value: unknown) => void = () => {};
    let heardFirst = false;
    const { service, raise, listening } = fakeService(
      'session',
      {
        state: () => {
          heardFirst = listening('changed') === 1;
          return new Promise((resolve) => (answer = resolve));
        },
      },
      ['changed'],
    );
    const started = sessionOver(service);
    expect(heardFirst).toBe(true);
    raise('changed', operator);
    answer({ ...operator, user: 'petrov' });
    expect((await started).current().user).toBe('petrov');
  });

  it('does not throw when the host has no login', async () => {
    const { service } = fakeService('session', { state: operator }, ['changed']);
    const session = await sessionOver(service);
    expect(() => session.login()).not.toThrow();
    await new Promise((resolve) => setTimeout(resolve, 0));
  });
});
