// The header's word on who works at the station: that no login is set up, a
// login button while nobody is in, or the user's name and role with a logout.
import { useSyncExternalStore } from 'react';
import type { Role, SessionClient, SessionState } from '../station';

export const SESSION_LABEL = 'Пользователь';
export const NO_LOGIN_TEXT = 'Вход не настроен: все действия разрешены';
export const LOGIN_LABEL = 'Войти';
export const LOGOUT_LABEL = 'Выйти';

export const ROLE_LABELS: Readonly<Record<Role, string>> = {
  operator: 'оператор',
  engineer: 'инженер',
  admin: 'администратор',
};

/** The session's state, drawn again on each change. */
export function useSessionState(session: SessionClient): SessionState {
  return useSyncExternalStore(session.subscribe, session.current);
}

export interface SessionAreaProps {
  session: SessionClient;
}

export function SessionArea({ session }: SessionAreaProps) {
  const state = useSessionState(session);
  if (!state.configured) {
    return (
      <div className="app__session" aria-label={SESSION_LABEL} data-testid="session">
        <span className="app__session-note">{NO_LOGIN_TEXT}</span>
      </div>
    );
  }
  return (
    <div className="app__session" aria-label={SESSION_LABEL} data-testid="session">
      {state.user !== null && (
        <span className="app__session-user" data-testid="session-user">
          <strong>{state.user}</strong>
          {state.role && <span className="app__session-role">{ROLE_LABELS[state.role]}</span>}
        </span>
      )}
      <button
        type="button"
        className="orvo-btn orvo-btn--sm"
        onClick={() => (state.user === null ? session.login() : session.logout())}
      >
        {state.user === null ? LOGIN_LABEL : LOGOUT_LABEL}
      </button>
    </div>
  );
}
