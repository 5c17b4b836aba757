// Where the page takes its values from. Without settings it runs the built-in
// emulator. A broker is named either by the desktop program, which defines the
// global `corvaneDataSettings` in the built-in page before the application's
// module runs (the only way a password reaches the page), or, in a browser, by
// the page address's query: ?broker=ws://…&topic-prefix=…&broker-user=….

import type { BrokerSettings } from './broker-protocol';

/** Name of the global through which the desktop program hands the settings over. */
export const DATA_SETTINGS_GLOBAL = 'corvaneDataSettings';
export const DEFAULT_TOPIC_PREFIX = 'corvane/points';

/** Query parameters, named as the program's command-line options. */
export const QUERY_BROKER = 'broker';
export const QUERY_TOPIC_PREFIX = 'topic-prefix';
export const QUERY_BROKER_USER = 'broker-user';

export type DataSourceChoice =
  | { kind: 'emulator'; warnings: string[] }
  | { kind: 'broker'; settings: BrokerSettings; warnings: string[] }
  /** Settings that cannot be used: no values at all rather than another source's. */
  | { kind: 'refused'; broker: string; problem: string; warnings: string[] };

interface RawSettings {
  broker?: unknown;
  topicPrefix?: unknown;
  user?: unknown;
  password?: unknown;
}

function isRecord(value: unknown): value is Record<string, unknown> {
  return typeof value === 'object' && value !== null && !Array.isArray(value);
}

/** The address without user name and password, for messages. */
function withoutCredentials(url: URL): string {
  return `${url.protocol}//${url.host}${url.pathname}${url.search}`;
}

function fromQuery(search: string, warnings: string[]): RawSettings {
  const query = new URLSearchParams(search);
  for (const name of ['password', 'broker-password']) {
    if (query.has(name)) {
      warnings.push(
        `The "${name}" query parameter is ignored: a password is never taken from the page address.`,
      );
    }
  }
  return {
    broker: query.get(QUERY_BROKER) ?? undefined,
    topicPrefix: query.get(QUERY_TOPIC_PREFIX) ?? undefined,
    user: query.get(QUERY_BROKER_USER) ?? undefined,
  };
}

/**
 * Chooses the data source from the injected settings (when the global is
 * defined) or else from the page address's query. Only the injected settings
 * may carry a password.
 */
export function chooseDataSource(injected: unknown, search: string): DataSourceChoice {
  const warnings: string[] = [];
  let raw: RawSettings;
  if (injected === undefined || injected === null) {
    raw = fromQuery(search, warnings);
  } else if (isRecord(injected)) {
    raw = injected;
  } else {
    return {
      kind: 'refused',
      broker: '',
      problem: 'Настройки сервера данных не читаются',
      warnings: ['The data server settings handed to the page are not a record.'],
    };
  }

  if (raw.broker === undefined || raw.broker === null || raw.broker === '') {
    return { kind: 'emulator', warnings };
  }
  const refuse = (broker: string, problem: string): DataSourceChoice => ({
    kind: 'refused',
    broker,
    problem,
    warnings,
  });
  if (typeof raw.broker !== 'string') return refuse('', 'Адрес сервера данных не читается');
  const text = raw.broker.trim();
  let url: URL;
  try {
    url = new URL(text);
  } catch {
    // An address that cannot be read may still hold a user name and password.
    if (text.includes('@')) return refuse('', 'Адрес сервера данных не читается');
    return refuse(text, `Адрес сервера данных не читается: ${text}`);
  }
  if (url.username !== '' || url.password !== '') {
    // Never echo the address: it holds a secret.
    return refuse(
      withoutCredentials(url),
      'Адрес сервера данных не должен содержать имя пользователя и пароль',
    );
  }
  if (url.protocol !== 'ws:' && url.protocol !== 'wss:') {
    return refuse(text, `Адрес сервера данных должен начинаться с ws:// или wss://: ${text}`);
  }

  let topicPrefix = DEFAULT_TOPIC_PREFIX;
  if (raw.topicPrefix !== undefined && raw.topicPrefix !== null) {
    if (typeof raw.topicPrefix !== 'string') {
      return refuse(text, 'Префикс тем сервера данных не читается');
    }
    const prefix = raw.topicPrefix.trim().replace(/\/+$/, '');
    if (/[+#\0]/.test(prefix)) {
      return refuse(text, `Префикс тем не может содержать «+», «#»: ${prefix}`);
    }
    if (prefix !== '') topicPrefix = prefix;
  }

  const settings: BrokerSettings = { broker: text, topicPrefix };
  if (typeof raw.user === 'string' && raw.user !== '') settings.user = raw.user;
  if (typeof raw.password === 'string' && raw.password !== '') settings.password = raw.password;
  return { kind: 'broker', settings, warnings };
}
