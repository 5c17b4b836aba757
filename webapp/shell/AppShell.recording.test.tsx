import { act, render, screen } from '@testing-library/react';
import { createSilentDataSource } from '../data';
import type { RecordingMonitor, RecordingState } from '../station';
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

function monitor(initial: RecordingState) {
  const listeners = new Set<(state: RecordingState) => void>();
  const recording: RecordingMonitor = {
    current: () => Promise.resolve(initial),
    subscribe(listener) {
      listeners.add(listener);
      return () => listeners.delete(listener);
    },
  };
  const set = (state: RecordingState) =>
    act(() => listeners.forEach((listener) => listener(state)));
  return { recording, set };
}

describe('the recording notice', () => {
  it('says in the header while history is not recorded, and goes when recording resumes', async () => {
    const { recording, set } = monitor('paused-disk-full');
    render(
      <AppShell registry={registry} dataSource={createSilentDataSource()} recording={recording} />,
    );
    await act(async () => {});
    expect(screen.getByTestId('recording-notice')).toHaveTextContent(
      'Запись истории приостановлена: диск заполнен',
    );
    expect(screen.getByRole('banner')).toContainElement(screen.getByTestId('recording-notice'));
    set('on');
    expect(screen.queryByTestId('recording-notice')).toBeNull();
    set('unavailable');
    expect(screen.getByTestId('recording-notice')).toHaveTextContent(
      'История не записывается: файл истории недоступен',
    );
  });

  it('shows nothing without the program or while recording', async () => {
    render(<AppShell registry={registry} dataSource={createSilentDataSource()} />);
    render(
      <AppShell
        registry={registry}
        dataSource={createSilentDataSource()}
        recording={monitor('on').recording}
      />,
    );
    await act(async () => {});
    expect(screen.queryByTestId('recording-notice')).toBeNull();
  });
});
