// The station's bridge spoken to from inside the built-in application's page,
// over the program's transport, as a script in the page could: init, then the
// calls given, collecting the answers and the signals heard meanwhile. It
// takes the transport over from the application's own client.

/** Runs in the page (page.evaluate): the objects' methods, each call's answer, the signals. */
export const speak = (calls: { object: string; method: string; args: unknown[] }[]) =>
  new Promise<{ objects: Record<string, string[]>; results: unknown[]; signals: unknown[] }>(
    (resolve, reject) => {
      const transport = (
        window as unknown as {
          qt?: {
            webChannelTransport?: {
              send(m: string): void;
              onmessage: ((m: { data: unknown }) => void) | null;
            };
          };
        }
      ).qt?.webChannelTransport;
      if (!transport) {
        reject(new Error('no transport'));
        return;
      }
      let id = 1;
      const waiting = new Map<number, (data: unknown) => void>();
      const signals: unknown[] = [];
      transport.onmessage = (message) => {
        const data = JSON.parse(String(message.data)) as {
          type: number;
          id?: number;
          data?: unknown;
          args?: unknown[];
        };
        if (data.type === 10 && data.id !== undefined) waiting.get(data.id)?.(data.data);
        if (data.type === 1) signals.push(data.args);
      };
      const request = (message: Record<string, unknown>) =>
        new Promise<unknown>((done) => {
          const own = id++;
          waiting.set(own, done);
          transport.send(JSON.stringify({ ...message, id: own }));
        });
      void (async () => {
        const described = (await request({ type: 3 })) as Record<
          string,
          { methods: [string, number][]; signals: [string, number][] }
        >;
        transport.send(JSON.stringify({ type: 4 }));
        const objects: Record<string, string[]> = {};
        for (const [name, description] of Object.entries(described)) {
          objects[name] = description.methods.map(([method]) => method);
          for (const [, index] of description.signals) {
            transport.send(JSON.stringify({ type: 7, object: name, signal: index }));
          }
        }
        const results: unknown[] = [];
        for (const call of calls) {
          const method = described[call.object]?.methods.find(([name]) => name === call.method);
          if (!method) {
            results.push('no such method');
            continue;
          }
          results.push(
            await request({ type: 6, object: call.object, method: method[1], args: call.args }),
          );
        }
        await new Promise((done) => setTimeout(done, 300));
        resolve({ objects, results, signals });
      })();
    },
  );

