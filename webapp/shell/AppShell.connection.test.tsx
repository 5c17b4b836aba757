import { act, render, screen } from '@testing-library/react';
import { createConnectionStore, createSilentDataSource } from '../data';
import { AppShell } from './AppShell';
import { createSchemeRegistry } from './registry';

const registry = createSchemeRegistry([
  {
    id: 'a',
    name: 'Схема А',
    scheme: {
      schemaVersion: 1,
      id: 'a',
      name: 'Схема А',
      size: { width: 10, height: 10 },
      elements: [],
    },
  },
]);

describe('AppShell connection message', () => {
  it('shows a lost or refused connection in the header, in place, and nothing while connected', () => {
    const connection = createConnectionStore({ state: 'connecting', broker: 'ws://h:1/mqtt' });
    render(
      <AppShell
        registry={registry}
        dataSource={createSilentDataSource()}
        connection={connection}
      />,
    );
    expect(screen.queryByTestId('data-connection')).toBeNull();

    act(() => connection.set({ state: 'offline', broker: 'ws://h:1/mqtt' }));
    const message = screen.getByRole('alert');
    expect(message).toHaveTextContent('Нет связи с сервером данных: ws://h:1/mqtt');
    expect(screen.getByRole('banner')).toContainElement(message);

    act(() => connection.set({ state: 'login-refused', broker: 'ws://h:1/mqtt' }));
    expect(screen.getByTestId('data-connection')).toHaveTextContent(
      'Сервер данных отклонил имя пользователя или пароль: ws://h:1/mqtt',
    );

    act(() => connection.set({ state: 'certificate-refused', broker: 'mqtts://h:8883' }));
    expect(screen.getByTestId('data-connection')).toHaveTextContent(
      'Сертификат сервера данных не прошёл проверку: mqtts://h:8883',
    );

    act(() => connection.set({ state: 'online', broker: 'ws://h:1/mqtt' }));
    expect(screen.queryByTestId('data-connection')).toBeNull();
  });

  it('shows nothing without a connection to watch', () => {
    render(<AppShell registry={registry} dataSource={createSilentDataSource()} />);
    expect(screen.queryByTestId('data-connection')).toBeNull();
  });
});
