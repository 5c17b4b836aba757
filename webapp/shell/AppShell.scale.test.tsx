import { act, fireEvent, render, screen } from '@testing-library/react';
import { createSilentDataSource } from '../data';
import type { SettingsStore } from '../station';
import { AppShell } from './AppShell';
import { createSchemeRegistry } from './registry';
import { readStageScale } from './stageScale';

const registry = createSchemeRegistry([
  {
    id: 'a',
    name: 'Схема А',
    scheme: {
      schemaVersion: 1,
      id: 'a',
      name: 'Схема А',
      size: { width: 640, height: 360 },
      elements: [],
    },
  },
]);

function memoryStore(initial: Record<string, unknown> | null) {
  const saved: Record<string, unknown>[] = [];
  const store: SettingsStore = {
    load: () => Promise.resolve(initial),
    save: (value) => saved.push(value),
  };
  return { store, saved };
}

describe('the scheme scale', () => {
  it.each([
    [null, 'actual'],
    [{ scale: 'fit' }, 'fit'],
    [{ scale: 'actual' }, 'actual'],
    [{ scale: 'huge' }, 'actual'],
  ] as const)('reads %j as %s', (settings, scale) => {
    expect(readStageScale(settings)).toBe(scale);
  });

  it('starts at 1:1, fits the stage when asked, keeps the choice and takes the kept one', async () => {
    const { store, saved } = memoryStore(null);
    const view = render(
      <AppShell registry={registry} dataSource={createSilentDataSource()} viewSettings={store} />,
    );
    await act(async () => {});
    const runtime = screen.getByTestId('runtime');
    expect(runtime).toHaveAttribute('data-scale', 'actual');
    expect(runtime).toHaveStyle({ width: '640px', height: '360px' });

    fireEvent.click(screen.getByRole('button', { name: 'По размеру окна' }));
    expect(screen.getByTestId('runtime')).toHaveAttribute('data-scale', 'fit');
    expect(screen.getByTestId('runtime')).toHaveStyle({ width: '100%', height: '100%' });
    expect(saved).toEqual([{ scale: 'fit' }]);
    view.unmount();

    render(
      <AppShell
        registry={registry}
        dataSource={createSilentDataSource()}
        viewSettings={memoryStore({ scale: 'fit' }).store}
      />,
    );
    await act(async () => {});
    expect(screen.getByTestId('runtime')).toHaveAttribute('data-scale', 'fit');
  });

  it('is offered in viewing only', () => {
    render(<AppShell registry={registry} dataSource={createSilentDataSource()} />);
    expect(screen.getByRole('group', { name: 'Масштаб схемы' })).toBeInTheDocument();
    fireEvent.click(screen.getByRole('button', { name: 'Редактирование' }));
    expect(screen.queryByRole('group', { name: 'Масштаб схемы' })).toBeNull();
  });
});
