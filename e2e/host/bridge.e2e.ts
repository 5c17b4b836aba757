// The station's bridge as the built-in application's page sees it: the
// program's services over Qt WebChannel, each call checked in the host.
import { afterAll, beforeAll, describe, expect, it } from 'vitest';
import { startAttacker, type AttackerServer } from './attacker';
import { speak } from './channel';
import { launchHost, type HostApp } from './harness';
import { canDrive, openUrl, useBuiltInApplication } from './operator';

describe('the station bridge', () => {
  let app: HostApp;

  beforeAll(async () => {
    app = await launchHost();
  });

  afterAll(async () => {
    await app?.close();
  });

  it('offers one thin object per service, without properties', async () => {
    const { objects } = await app.page.evaluate(speak, []);
    expect(Object.keys(objects).sort()).toEqual([
      'alarms',
      'history',
      'plant',
      'points',
      'session',
      'settings',
    ]);
    expect(objects.session).toEqual(expect.arrayContaining(['state', 'login', 'logout']));
    expect(objects.alarms).toEqual(
      expect.arrayContaining(['list', 'acknowledge', 'shelve', 'unshelve', 'reset', 'silence', 'journal']),
    );
    expect(objects.history).toEqual(expect.arrayContaining(['query', 'recording']));
    expect(objects.points).toEqual(expect.arrayContaining(['forward', 'describe']));
    expect(objects.settings).toEqual(expect.arrayContaining(['value', 'setValue']));
    expect(objects.plant).toEqual(
      expect.arrayContaining(['state', 'follow', 'applied', 'read', 'list', 'write', 'command']),
    );
  });

  it('says the emulator is the source without a broker, and checks what the page asks of the plant', async () => {
    const { results } = await app.page.evaluate(speak, [
      { object: 'plant', method: 'state', args: [] },
      { object: 'plant', method: 'follow', args: ['LT-101'] },
      { object: 'plant', method: 'follow', args: [[42]] },
      { object: 'plant', method: 'read', args: [{ ids: [] }] },
      { object: 'plant', method: 'write', args: ['LT-101', { value: 1 }] },
      { object: 'plant', method: 'write', args: ['SP-1', 5] },
    ]);
    expect(results).toEqual([
      { source: 'emulator' },
      false,
      false,
      [],
      { error: 'refused' },
      { error: 'Точка «SP-1» не найдена' },
    ]);
  });

  it('says that history is being recorded', async () => {
    await expect
      .poll(
        async () =>
          (
            await app.page.evaluate(speak, [{ object: 'history', method: 'recording', args: [] }])
          ).results[0],
        { timeout: 10_000 },
      )
      .toBe('on');
    expect(await app.page.getByTestId('recording-notice').count()).toBe(0);
  });

  it('keeps the settings the page gives it and refuses what is not a record', async () => {
    const settings = { pens: ['LT-101', 'PT-102'], range: '1 ч' };
    const { results } = await app.page.evaluate(speak, [
      // A page cannot end a service either.
      { object: 'settings', method: 'deleteLater', args: [] },
      { object: 'settings', method: 'setValue', args: ['trends', settings] },
      { object: 'settings', method: 'value', args: ['trends'] },
      { object: 'settings', method: 'setValue', args: ['trends', 'x'.repeat(100)] },
      { object: 'settings', method: 'setValue', args: ['trends', { huge: 'x'.repeat(70_000) }] },
      { object: 'settings', method: 'setValue', args: ['../../etc/passwd', settings] },
      { object: 'settings', method: 'value', args: ['users'] },
      { object: 'settings', method: 'value', args: ['trends'] },
    ]);
    expect(results.slice(1)).toEqual([true, settings, false, false, false, {}, settings]);
  });

  it('checks every argument of a history query and answers a refusal as such', async () => {
    const { results, signals } = await app.page.evaluate(speak, [
      { object: 'history', method: 'query', args: [1, ['LT-101'], 0, 1000, 100] },
      { object: 'history', method: 'query', args: [2, 'LT-101', 0, 1000, 100] },
      { object: 'history', method: 'query', args: [3, ['LT-101'], 1000, 0, 100] },
      { object: 'history', method: 'query', args: [4, ['LT-101'], 0, 1000, 1e9] },
      { object: 'points', method: 'forward', args: [[{ id: 'LT-101', value: 'high' }]] },
      { object: 'points', method: 'forward', args: [[]] },
    ]);
    expect(results.slice(4)).toEqual([false, true]);
    const answers = new Map((signals as [number, unknown][]).map(([request, answer]) => [request, answer]));
    expect(answers.get(1)).not.toEqual({ error: 'refused' });
    for (const request of [2, 3, 4]) expect(answers.get(request)).toEqual({ error: 'refused' });
    // The program is still there and answers.
    expect(await app.page.evaluate(() => document.title.length >= 0)).toBe(true);
  });

  it.skipIf(!canDrive)(
    'is not there for a web page, right after the built-in page nor after a reload',
    async () => {
      let server: AttackerServer | undefined;
      try {
        server = await startAttacker({
          '/probe': {
            body: `<!doctype html><title>probe</title><script>
              window.seen = [typeof qt, typeof QWebChannel];
            </script>`,
          },
        });
        const address = `${server.origin}/probe`;
        await openUrl(address);
        const web = await app.pageAt(address);
        const probe = () => web.evaluate(() => (window as unknown as { seen: string[] }).seen);
        await expect.poll(probe, { timeout: 15_000 }).toEqual(['undefined', 'undefined']);
        await web.reload();
        await expect.poll(probe, { timeout: 15_000 }).toEqual(['undefined', 'undefined']);
        // The built-in page keeps its own, as it was left.
        await useBuiltInApplication();
        expect(
          await app.page.evaluate(() => typeof (window as unknown as { qt?: unknown }).qt),
        ).toBe('object');
      } finally {
        await server?.close();
      }
    },
  );
});
