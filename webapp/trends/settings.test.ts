import { describe, expect, it } from 'vitest';
import { createLocalTrendSettingsStore, parseTrendSettings, type TrendSettings } from './settings';

const settings: TrendSettings = {
  pens: [
    { id: 'LT-101', color: '#1c64d1' },
    { id: 'NS-101', color: '#d1242f' },
  ],
  range: { kind: 'preset', preset: '8h' },
};

function memoryStorage() {
  const items = new Map<string, string>();
  return {
    getItem: (key: string) => items.get(key) ?? null,
    setItem: (key: string, value: string) => void items.set(key, value),
  };
}

describe('trend settings', () => {
  it('survives a save and a load', async () => {
    const storage = memoryStorage();
    createLocalTrendSettingsStore(storage, 8).save(settings);
    await expect(createLocalTrendSettingsStore(storage, 8).load()).resolves.toEqual(settings);
  });

  it('loads nothing from an empty or broken storage', async () => {
    const storage = memoryStorage();
    await expect(createLocalTrendSettingsStore(storage, 8).load()).resolves.toBeNull();
    storage.setItem('orvo-trend-settings', '{not json');
    await expect(createLocalTrendSettingsStore(storage, 8).load()).resolves.toBeNull();
  });

  it.each([
    ['not an object', 3],
    ['no range', { pens: [] }],
    ['an unknown preset', { pens: [], range: { kind: 'preset', preset: '2h' } }],
    [
      'a custom range ending before it starts',
      { pens: [], range: { kind: 'custom', from: 5, to: 1 } },
    ],
  ])('refuses %s', (_name, value) => {
    expect(parseTrendSettings(value, 8)).toBeNull();
  });

  it('drops broken and repeated pens and keeps at most the allowed number', () => {
    const pens = [
      { id: 'a', color: '#111111' },
      { id: 'a', color: '#222222' },
      { id: '', color: '#333333' },
      { id: 'b' },
      ...['c', 'd', 'e'].map((id) => ({ id, color: '#444444' })),
    ];
    const parsed = parseTrendSettings({ pens, range: { kind: 'custom', from: 1, to: 2 } }, 3);
    expect(parsed?.pens.map((pen) => pen.id)).toEqual(['a', 'c', 'd']);
    expect(parsed?.pens[0].color).toBe('#111111');
  });
});
