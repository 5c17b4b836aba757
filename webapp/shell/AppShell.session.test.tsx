import { act, fireEvent, render, screen, within } from '@testing-library/react';
import { vi } from 'vitest';

// jsdom draws no canvas: the card's trend stands in as nothing.
vi.mock('../trends/plot', () => ({
  createPlot: () => ({ update: () => {}, resize: () => {}, destroy: () => {} }),
}));
import type { DataSource } from '../data';
import type { Scheme } from '../scheme';
import {
  createSessionStore,
  OPEN_SESSION,
  type CommandClient,
  type SessionState,
} from '../station';
import { AppShell, EDIT_REFUSAL_MS } from './AppShell';
import { createSchemeRegistry } from './registry';

const pump: Scheme = {
  schemaVersion: 1,
  id: 'pump',
  name: 'Насосная станция',
  size: { width: 100, height: 50 },
  elements: [{ id: 'r', type: 'rect', x: 0, y: 0, width: 10, height: 10, style: {} }],
};
const registry = createSchemeRegistry([{ id: 'pump', name: 'Насосы', scheme: pump }]);
const source: DataSource = {
  subscribe: () => () => {},
  read: () => Promise.resolve([]),
  // The editor's point list waits for a catalogue that never comes.
  listPoints: () => new Promise(() => {}),
  writeCommand: () => Promise.resolve(),
  getHistory: () => Promise.resolve([]),
  subscribeEvents: () => () => {},
};

const NEEDS_ENGINEER = 'Редактировать схемы может инженер или администратор';
const nobody: SessionState = {
  configured: true,
  user: null,
  role: null,
  allowed: { alarms: false, commands: false, edit: false, outOfService: false },
  reasons: { alarms: 'Войдите', commands: 'Войдите', edit: 'Войдите', outOfService: 'Войдите' },
};
const signedIn = (role: 'operator' | 'engineer' | 'admin', user = 'ivanov'): SessionState => ({
  configured: true,
  user,
  role,
  allowed: { alarms: true, commands: true, edit: role !== 'operator', outOfService: false },
  reasons: role === 'operator' ? { edit: NEEDS_ENGINEER } : {},
});

function setup(state: SessionState) {
  const session = createSessionStore(state);
  const login = vi.spyOn(session, 'login');
  const logout = vi.spyOn(session, 'logout');
  render(<AppShell registry={registry} dataSource={source} session={session} />);
  return { session, login, logout };
}

const area = () => screen.getByLabelText('Пользователь');
const modeButton = (name: string) =>
  within(screen.getByRole('group', { name: 'Режим работы со схемой' })).getByRole('button', {
    name,
  });
const editorOpen = () => document.querySelector('.mnemo-editor') !== null;

describe('the header’s session area', () => {
  it('says that no login is set up, with nothing to press', () => {
    setup(OPEN_SESSION);
    expect(area()).toHaveTextContent('Вход не настроен: все действия разрешены');
    expect(within(area()).queryByRole('button')).toBeNull();
  });

  it('asks the station for its login dialog while nobody is in', () => {
    const { login } = setup(nobody);
    fireEvent.click(within(area()).getByRole('button', { name: 'Войти' }));
    expect(login).toHaveBeenCalledOnce();
  });

  it.each([
    ['operator', 'оператор'],
    ['engineer', 'инженер'],
    ['admin', 'администратор'],
  ] as const)('names the user and the role %s, and logs out', (role, label) => {
    const { logout } = setup(signedIn(role, 'petrov'));
    expect(area()).toHaveTextContent('petrov');
    expect(area()).toHaveTextContent(label);
    fireEvent.click(within(area()).getByRole('button', { name: 'Выйти' }));
    expect(logout).toHaveBeenCalledOnce();
  });

  it('follows the session as it changes', () => {
    const { session } = setup(nobody);
    act(() => session.set(signedIn('engineer')));
    expect(within(area()).getByRole('button', { name: 'Выйти' })).toBeInTheDocument();
    expect(area()).toHaveTextContent('инженер');
    act(() => session.set(nobody));
    expect(within(area()).getByRole('button', { name: 'Войти' })).toBeInTheDocument();
    expect(area()).not.toHaveTextContent('ivanov');
  });
});

describe('editing and the right to it', () => {
  it('keeps the view and says why, beside the switch, for a user who may not edit', () => {
    const { session } = setup(signedIn('operator'));
    fireEvent.click(modeButton('Редактирование'));
    expect(editorOpen()).toBe(false);
    expect(modeButton('Просмотр')).toHaveAttribute('aria-pressed', 'true');
    expect(screen.getByTestId('runtime')).toBeInTheDocument();
    const refusal = screen.getByRole('alert');
    expect(refusal).toHaveTextContent(NEEDS_ENGINEER);
    expect(refusal.previousElementSibling).toBe(
      screen.getByRole('group', { name: 'Режим работы со схемой' }),
    );

    // The right given, the reason goes and the editor opens.
    act(() => session.set(signedIn('engineer')));
    expect(screen.queryByRole('alert')).toBeNull();
    fireEvent.click(modeButton('Редактирование'));
    expect(editorOpen()).toBe(true);
  });

  it('lets the reason go after a while', () => {
    vi.useFakeTimers();
    try {
      setup(signedIn('operator'));
      fireEvent.click(modeButton('Редактирование'));
      act(() => vi.advanceTimersByTime(EDIT_REFUSAL_MS - 1));
      expect(screen.getByRole('alert')).toHaveTextContent(NEEDS_ENGINEER);
      act(() => vi.advanceTimersByTime(1));
      expect(screen.queryByRole('alert')).toBeNull();
    } finally {
      vi.useRealTimers();
    }
  });

  it('leaves an open editor open when the right goes', () => {
    const { session } = setup(signedIn('engineer'));
    fireEvent.click(modeButton('Редактирование'));
    act(() => session.set(nobody));
    expect(editorOpen()).toBe(true);
    expect(modeButton('Редактирование')).toHaveAttribute('aria-pressed', 'true');
    // Back to viewing works; opening again does not.
    fireEvent.click(modeButton('Просмотр'));
    fireEvent.click(modeButton('Редактирование'));
    expect(editorOpen()).toBe(false);
    expect(screen.getByRole('alert')).toHaveTextContent('Войдите');
  });
});

describe('commands from the card in the shell', () => {
  it('offers the station’s commands to a user allowed them, and says why not to one who is not', async () => {
    const valve: Scheme = {
      ...pump,
      elements: [
        { id: 'v', type: 'rect', x: 0, y: 0, width: 10, height: 10, style: {}, pointId: 'HV-305' },
      ],
    };
    const session = createSessionStore(signedIn('operator'));
    const send = vi.fn<CommandClient['send']>(() => Promise.resolve({ outcome: 'done' }));
    render(
      <AppShell
        registry={createSchemeRegistry([{ id: 'valve', name: 'Клапан', scheme: valve }])}
        dataSource={{
          ...source,
          listPoints: () =>
            Promise.resolve([
              { id: 'HV-305', kind: 'analog', writable: true, min: 0, max: 100 } as const,
            ]),
        }}
        session={session}
        commands={{ available: true, send }}
      />,
    );
    fireEvent.click(document.querySelector('[data-element-id="v"]') as Element);
    const section = await screen.findByRole('region', { name: 'Управление' });
    fireEvent.change(within(section).getByLabelText('Новое значение'), {
      target: { value: '30' },
    });
    fireEvent.click(within(section).getByRole('button', { name: 'Задать' }));
    await act(async () =>
      fireEvent.click(within(section).getByRole('button', { name: 'Подтвердить' })),
    );
    expect(send).toHaveBeenCalledExactlyOnceWith('HV-305', 30);
    expect(within(section).getByRole('status')).toHaveTextContent('Выполнено');

    act(() => session.set(nobody));
    expect(within(section).getByRole('status')).toHaveTextContent('Войдите');
    expect(within(section).queryByRole('button')).toBeNull();
  });
});
