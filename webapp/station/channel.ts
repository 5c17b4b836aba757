// A small typed client of the Qt WebChannel protocol, over the transport the
// program gives the built-in application's page alone (`qt.webChannelTransport`).
// The protocol is a handful of JSON messages: the page asks for the objects
// once (init), then invokes their methods by index and hears their signals.
// Only what the station's services use is implemented: no properties are
// read or written, and no object is ever handed back.

export const CHANNEL_MESSAGE = {
  signal: 1,
  propertyUpdate: 2,
  init: 3,
  idle: 4,
  debug: 5,
  invokeMethod: 6,
  connectToSignal: 7,
  disconnectFromSignal: 8,
  setProperty: 9,
  response: 10,
} as const;

/** The transport Qt puts into the page. */
export interface ChannelTransport {
  send(message: string): void;
  onmessage: ((message: { data: unknown }) => void) | null;
}

/** What the host says of one object at init: method and signal names with their indexes. */
interface ObjectDescription {
  methods?: [string, number][];
  signals?: [string, number][];
}

type SignalListener = (...args: unknown[]) => void;

/** One of the host's service objects: methods to call, signals to hear. */
export interface ChannelObject {
  readonly name: string;
  readonly methods: ReadonlySet<string>;
  invoke(method: string, ...args: unknown[]): Promise<unknown>;
  on(signal: string, listener: SignalListener): () => void;
}

export interface Channel {
  objects: Record<string, ChannelObject>;
}

/** The program's transport in this page, if there is one. */
export function findTransport(
  scope: Record<string, unknown> = globalThis as unknown as Record<string, unknown>,
): ChannelTransport | null {
  const qt = scope.qt as { webChannelTransport?: unknown } | undefined;
  const transport = qt?.webChannelTransport as Partial<ChannelTransport> | undefined;
  return transport && typeof transport.send === 'function' ? (transport as ChannelTransport) : null;
}

function parse(data: unknown): Record<string, unknown> | null {
  let value: unknown = data;
  if (typeof data === 'string') {
    try {
      value = JSON.parse(data);
    } catch {
      return null;
    }
  }
  return typeof value === 'object' && value !== null ? (value as Record<string, unknown>) : null;
}

/** Opens the channel: resolves once the host has described its objects. */
export function openChannel(transport: ChannelTransport): Promise<Channel> {
  let nextId = 1;
  const pending = new Map<number, (data: unknown) => void>();
  const listeners = new Map<string, Map<number, Set<SignalListener>>>();
  const send = (message: Record<string, unknown>) => transport.send(JSON.stringify(message));
  const request = (message: Record<string, unknown>) =>
    new Promise<unknown>((resolve) => {
      const id = nextId++;
      pending.set(id, resolve);
      send({ ...message, id });
    });

  transport.onmessage = (message) => {
    const data = parse(message.data);
    if (!data) return;
    switch (data.type) {
      case CHANNEL_MESSAGE.response: {
        const id = typeof data.id === 'number' ? data.id : -1;
        const resolve = pending.get(id);
        if (!resolve) return;
        pending.delete(id);
        resolve(data.data);
        return;
      }
      case CHANNEL_MESSAGE.signal: {
        const object = typeof data.object === 'string' ? data.object : '';
        const signal = typeof data.signal === 'number' ? data.signal : -1;
        const args = Array.isArray(data.args) ? (data.args as unknown[]) : [];
        for (const listener of listeners.get(object)?.get(signal) ?? []) listener(...args);
        return;
      }
      case CHANNEL_MESSAGE.propertyUpdate:
        // The services have no properties; the host still waits to hear the page is idle.
        send({ type: CHANNEL_MESSAGE.idle });
        return;
      default:
        return;
    }
  };

  return request({ type: CHANNEL_MESSAGE.init }).then((described) => {
    const objects: Record<string, ChannelObject> = {};
    const descriptions =
      typeof described === 'object' && described !== null
        ? (described as Record<string, ObjectDescription>)
        : {};
    for (const [name, description] of Object.entries(descriptions)) {
      const methods = new Map<string, number>();
      for (const [method, index] of description.methods ?? []) {
        // Overloads carry their signature as well; the plain name takes the first.
        if (!methods.has(method)) methods.set(method, index);
      }
      const signals = new Map<string, number>();
      for (const [signal, index] of description.signals ?? []) signals.set(signal, index);
      const objectListeners = new Map<number, Set<SignalListener>>();
      listeners.set(name, objectListeners);
      objects[name] = {
        name,
        methods: new Set(methods.keys()),
        invoke(method, ...args) {
          const index = methods.get(method);
          if (index === undefined) {
            return Promise.reject(new Error(`${name} has no method ${method}`));
          }
          return request({ type: CHANNEL_MESSAGE.invokeMethod, object: name, method: index, args });
        },
        on(signal, listener) {
          const index = signals.get(signal);
          if (index === undefined) throw new Error(`${name} has no signal ${signal}`);
          let set = objectListeners.get(index);
          if (!set) {
            set = new Set();
            objectListeners.set(index, set);
            send({ type: CHANNEL_MESSAGE.connectToSignal, object: name, signal: index });
          }
          set.add(listener);
          return () => {
            set?.delete(listener);
          };
        },
      };
    }
    send({ type: CHANNEL_MESSAGE.idle });
    return { objects };
  });
}
