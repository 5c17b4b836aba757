// The connection state of the page's data source, for the application header.
// The emulator is always "online"; a broker source follows the program's
// connection to the plant.

/** Where the program stands with its broker. */
export type BrokerConnectionState =
  'connecting' | 'online' | 'offline' | 'login-refused' | 'certificate-refused';

export interface ConnectionStatus {
  state: BrokerConnectionState;
  /** Address of the data server, shown with a problem; empty for the emulator. */
  broker: string;
  /** A problem found before connecting (an unusable address): shown as it is. */
  problem?: string;
}

export interface ConnectionMonitor {
  current(): ConnectionStatus;
  /** `listener` is called after every change; the result ends the subscription. */
  subscribe(listener: () => void): () => void;
}

export interface ConnectionStore extends ConnectionMonitor {
  set(status: ConnectionStatus): void;
}

export const NO_CONNECTION_TEXT = 'Нет связи с сервером данных';
export const LOGIN_REFUSED_TEXT = 'Сервер данных отклонил имя пользователя или пароль';
export const CERTIFICATE_REFUSED_TEXT = 'Сертификат сервера данных не прошёл проверку';

export function createConnectionStore(initial: ConnectionStatus): ConnectionStore {
  let status = initial;
  const listeners = new Set<() => void>();
  return {
    current: () => status,
    subscribe(listener) {
      listeners.add(listener);
      return () => {
        listeners.delete(listener);
      };
    },
    set(next) {
      if (
        next.state === status.state &&
        next.broker === status.broker &&
        next.problem === status.problem
      ) {
        return;
      }
      status = next;
      for (const listener of [...listeners]) listener();
    },
  };
}

/** What the header says about the connection, or nothing while all is well. */
export function connectionMessage(status: ConnectionStatus): string | undefined {
  if (status.problem !== undefined) return status.problem;
  switch (status.state) {
    case 'offline':
      return `${NO_CONNECTION_TEXT}: ${status.broker}`;
    case 'login-refused':
      return `${LOGIN_REFUSED_TEXT}: ${status.broker}`;
    case 'certificate-refused':
      return `${CERTIFICATE_REFUSED_TEXT}: ${status.broker}`;
    default:
      return undefined;
  }
}
