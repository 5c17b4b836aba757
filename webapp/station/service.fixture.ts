// A host service for the tests: records every call, answers from a table (or
// a function), and raises its signals on demand.
import type { ChannelObject } from './channel';

export function fakeService(
  name: string,
  answers: Record<string, unknown | ((...args: unknown[]) => unknown)> = {},
  signals: readonly string[] = [],
) {
  const calls: [string, ...unknown[]][] = [];
  const listeners = new Map<string, Set<(...args: unknown[]) => void>>();
  const service: ChannelObject = {
    name,
    methods: new Set(Object.keys(answers)),
    invoke(method, ...args) {
      calls.push([method, ...args]);
      const answer = answers[method];
      if (answer === undefined) return Promise.reject(new Error(`${name} has no method ${method}`));
      return Promise.resolve(typeof answer === 'function' ? answer(...args) : answer);
    },
    on(signal, listener) {
      if (!signals.includes(signal)) throw new Error(`${name} has no signal ${signal}`);
      const set = listeners.get(signal) ?? new Set();
      listeners.set(signal, set);
      set.add(listener);
      return () => set.delete(listener);
    },
  };
  const raise = (signal: string, ...args: unknown[]) => {
    for (const listener of [...(listeners.get(signal) ?? [])]) listener(...args);
  };
  return { service, calls, raise, listening: (signal: string) => listeners.get(signal)?.size ?? 0 };
}
