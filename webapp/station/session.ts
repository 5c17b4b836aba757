// Who works at the station and what they may do. The host keeps the users and
// opens its own login dialog: the page never sees a password, it asks for the
// dialog and hears the outcome through `changed`. Where no users are set up,
// and outside the program, every action is allowed.

import type { Unsubscribe } from '../data';
import type { ChannelObject } from './channel';

export type Role = 'operator' | 'engineer' | 'admin';

/** What a user may be refused: alarm actions, commands, editing schemes, taking alarms out of service. */
export type Permission = 'alarms' | 'commands' | 'edit' | 'outOfService';

export const PERMISSIONS: readonly Permission[] = ['alarms', 'commands', 'edit', 'outOfService'];
const ROLES: readonly Role[] = ['operator', 'engineer', 'admin'];

export interface SessionState {
  /** False when the station has no users: everything is allowed. */
  configured: boolean;
  user: string | null;
  role: Role | null;
  allowed: Readonly<Record<Permission, boolean>>;
  /** The host's words for each permission refused. */
  reasons: Readonly<Partial<Record<Permission, string>>>;
}

export const OPEN_SESSION: SessionState = {
  configured: false,
  user: null,
  role: null,
  allowed: { alarms: true, commands: true, edit: true, outOfService: true },
  reasons: {},
};

function isRecord(value: unknown): value is Record<string, unknown> {
  return typeof value === 'object' && value !== null && !Array.isArray(value);
}

/**
 * The host's word as a closed record. Without users everything is allowed;
 * with users only what the host says is allowed is, so that a malformed answer
 * refuses rather than lets through.
 */
export function readSessionState(value: unknown): SessionState {
  if (!isRecord(value) || value.configured !== true) return OPEN_SESSION;
  const allowedIn = isRecord(value.allowed) ? value.allowed : {};
  const reasonsIn = isRecord(value.reasons) ? value.reasons : {};
  const allowed = { alarms: false, commands: false, edit: false, outOfService: false };
  const reasons: Partial<Record<Permission, string>> = {};
  for (const permission of PERMISSIONS) {
    allowed[permission] = allowedIn[permission] === true;
    const reason = reasonsIn[permission];
    if (!allowed[permission] && typeof reason === 'string' && reason !== '') {
      reasons[permission] = reason;
    }
  }
  const user = typeof value.user === 'string' && value.user !== '' ? value.user : null;
  const role = ROLES.find((known) => known === value.role) ?? null;
  return { configured: true, user, role: user ? role : null, allowed, reasons };
}

export interface SessionClient {
  current(): SessionState;
  /** Called after every change of the state. */
  subscribe(listener: () => void): Unsubscribe;
  /** Opens the host's login dialog; the outcome comes as a change of the state. */
  login(): void;
  logout(): void;
}

/** The session where there is no program: no users, everything allowed. */
export const NO_SESSION: SessionClient = {
  current: () => OPEN_SESSION,
  subscribe: () => () => {},
  login: () => {},
  logout: () => {},
};

export interface SessionStore extends SessionClient {
  set(state: SessionState): void;
}

/** A session held by the page: the host's, or one a test sets; login and logout do nothing. */
export function createSessionStore(initial: SessionState = OPEN_SESSION): SessionStore {
  let state = initial;
  const listeners = new Set<() => void>();
  return {
    current: () => state,
    subscribe(listener) {
      listeners.add(listener);
      return () => {
        listeners.delete(listener);
      };
    },
    login: () => {},
    logout: () => {},
    set(next) {
      state = next;
      for (const listener of [...listeners]) listener();
    },
  };
}

/** The session over the host's `session` service, once its first state is known. */
export async function sessionOver(service: ChannelObject): Promise<SessionClient> {
  const store = createSessionStore();
  const take = (value: unknown) => store.set(readSessionState(value));
  // Heard before asking, so that no change between the answer and the
  // connection is lost; the answer, sent after any change before it, is the newest.
  service.on('changed', take);
  take(await service.invoke('state'));
  return {
    current: store.current,
    subscribe: store.subscribe,
    login: () => void service.invoke('login').catch(() => undefined),
    logout: () => void service.invoke('logout').catch(() => undefined),
  };
}
