// @vitest-environment node
import { describe, expect, it, vi } from 'vitest';
import { LOGIN_REFUSED_TEXT, NO_CONNECTION_TEXT, connectionMessage } from './connection';
import { createPageDataSource, settingsQuery } from './page-source';
import { DEFAULT_TOPIC_PREFIX, chooseDataSource } from './settings';

describe('chooseDataSource', () => {
  it.each<[string, unknown, string, unknown]>([
    ['nothing', undefined, '', { kind: 'emulator', warnings: [] }],
    ['an empty query broker', undefined, '?broker=', { kind: 'emulator', warnings: [] }],
    [
      'injected settings without a broker',
      {},
      '?broker=ws://ignored',
      { kind: 'emulator', warnings: [] },
    ],
    [
      'a query broker with the default prefix',
      undefined,
      '?broker=ws%3A%2F%2F127.0.0.1%3A9001%2Fmqtt',
      {
        kind: 'broker',
        settings: { broker: 'ws://127.0.0.1:9001/mqtt', topicPrefix: DEFAULT_TOPIC_PREFIX },
        warnings: [],
      },
    ],
    [
      'a query with prefix and user',
      undefined,
      '?broker=wss://plant.example:443&topic-prefix=site%2Fa%2F&broker-user=op',
      {
        kind: 'broker',
        settings: { broker: 'wss://plant.example:443', topicPrefix: 'site/a', user: 'op' },
        warnings: [],
      },
    ],
    [
      'injected settings with a password, taking precedence over the query',
      { broker: ' ws://10.0.0.5:8080 ', topicPrefix: 'p', user: 'op', password: 'secret' },
      '?broker=ws://elsewhere',
      {
        kind: 'broker',
        settings: {
          broker: 'ws://10.0.0.5:8080',
          topicPrefix: 'p',
          user: 'op',
          password: 'secret',
        },
        warnings: [],
      },
    ],
  ])('chooses from %s', (_name, injected, search, expected) => {
    expect(chooseDataSource(injected, search)).toEqual(expected);
  });

  it('never takes a password from the address, and says so', () => {
    const choice = chooseDataSource(undefined, '?broker=ws://h:1&password=secret');
    expect(choice).toMatchObject({ kind: 'broker', settings: { broker: 'ws://h:1' } });
    expect(choice.kind === 'broker' && choice.settings.password).toBeFalsy();
    expect(choice.warnings).toEqual([
      'The "password" query parameter is ignored: a password is never taken from the page address.',
    ]);
  });

  it.each<[string, unknown, string, string, string]>([
    [
      'an http address',
      undefined,
      '?broker=http://h:1',
      'http://h:1',
      'Адрес сервера данных должен начинаться с ws:// или wss://: http://h:1',
    ],
    [
      'an mqtt address',
      { broker: 'mqtt://h:1883' },
      '',
      'mqtt://h:1883',
      'Адрес сервера данных должен начинаться с ws:// или wss://: mqtt://h:1883',
    ],
    [
      'an unreadable address',
      { broker: 'not an address' },
      '',
      'not an address',
      'Адрес сервера данных не читается: not an address',
    ],
    [
      'an unreadable address holding credentials, without echoing it',
      { broker: 'ws://op:secret@h:99999/m' },
      '',
      '',
      'Адрес сервера данных не читается',
    ],
    [
      'credentials in the address',
      { broker: 'ws://op:secret@h:1/m' },
      '',
      'ws://h:1/m',
      'Адрес сервера данных не должен содержать имя пользователя и пароль',
    ],
    [
      'a wildcard in the prefix',
      { broker: 'ws://h:1', topicPrefix: 'a/#' },
      '',
      'ws://h:1',
      'Префикс тем не может содержать «+», «#»: a/#',
    ],
    ['a broker that is not text', { broker: 42 }, '', '', 'Адрес сервера данных не читается'],
  ])('refuses %s', (_name, injected, search, broker, problem) => {
    expect(chooseDataSource(injected, search)).toMatchObject({ kind: 'refused', broker, problem });
  });

  it('refuses injected settings that are not a record', () => {
    expect(chooseDataSource('ws://h:1', '').kind).toBe('refused');
  });
});

describe('connectionMessage', () => {
  it('speaks only of problems, with the address', () => {
    const broker = 'ws://h:1';
    expect(connectionMessage({ state: 'online', broker })).toBeUndefined();
    expect(connectionMessage({ state: 'connecting', broker })).toBeUndefined();
    expect(connectionMessage({ state: 'offline', broker })).toBe(`${NO_CONNECTION_TEXT}: ws://h:1`);
    expect(connectionMessage({ state: 'login-refused', broker })).toBe(
      `${LOGIN_REFUSED_TEXT}: ws://h:1`,
    );
    expect(connectionMessage({ state: 'offline', broker, problem: 'Плохой адрес' })).toBe(
      'Плохой адрес',
    );
  });
});

describe('createPageDataSource', () => {
  it('takes the injected settings out of the page and delivers nothing for unusable ones', async () => {
    const scope: Record<string, unknown> = {
      corvaneDataSettings: { broker: 'http://h:1', password: 'secret' },
    };
    const log = { warn: vi.fn() };
    const { dataSource, connection } = createPageDataSource(scope, '', log);
    expect('corvaneDataSettings' in scope).toBe(false);
    expect(connectionMessage(connection.current())).toBe(
      'Адрес сервера данных должен начинаться с ws:// или wss://: http://h:1',
    );
    expect(log.warn).toHaveBeenCalledWith(
      'Data server not used: Адрес сервера данных должен начинаться с ws:// или wss://: http://h:1',
    );
    expect(JSON.stringify(log.warn.mock.calls)).not.toContain('secret');
    const callback = vi.fn();
    dataSource.subscribe(['LT-101'], callback)();
    await expect(dataSource.read(['LT-101'])).resolves.toEqual([]);
    await expect(dataSource.listPoints()).resolves.toEqual([]);
    expect(callback).not.toHaveBeenCalled();
  });

  it.each<[string, string, string]>([
    ["the program's built-in page", 'qrc:', 'emulator'],
    ['a page in a browser', 'http:', 'broker'],
    ['a secure page in a browser', 'https:', 'broker'],
  ])('takes a broker from the address of %s only outside the program', (_name, protocol, kind) => {
    const search = settingsQuery({ protocol, search: '?broker=ws://elsewhere:9001' });
    expect(chooseDataSource(undefined, search).kind).toBe(kind);
  });
});
