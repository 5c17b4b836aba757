// A real Debian mosquitto for the tests: started on free loopback ports with a
// generated configuration (an MQTT listener and a WebSocket listener), ready
// once every listener accepts connections, stopped and restarted on the same
// ports. With `users` it refuses anonymous clients and checks a password file.
// With `tls` it also listens with TLS, its certificates made by openssl for
// the test: an authority, the broker's certificate for 127.0.0.1 and
// localhost, a client certificate, and another authority that signed nothing.
//
//   const broker = await startBroker();            // anonymous
//   const locked = await startBroker({ users: { operator: 'secret' } });
//   const secure = await startBroker({ tls: true });
//   broker.mqttUrl   // "mqtt://127.0.0.1:PORT"
//   broker.wsUrl     // "ws://127.0.0.1:PORT"
//   secure.tls       // { mqttsUrl, wssUrl, clientCertUrl, ca, otherCa, cert, key }
//   await broker.stop(); await broker.start();     // same ports, retained values gone
//   await broker.close();                          // stops it and removes its folder

import { spawn, spawnSync, type ChildProcess } from 'node:child_process';
import { chmodSync, existsSync, mkdtempSync, rmSync, writeFileSync } from 'node:fs';
import { createConnection, createServer, type AddressInfo } from 'node:net';
import { tmpdir } from 'node:os';
import { join } from 'node:path';

export const MOSQUITTO = ['/usr/sbin/mosquitto', '/usr/bin/mosquitto'].find((path) =>
  existsSync(path),
);

export interface TestBroker {
  mqttPort: number;
  wsPort: number;
  mqttUrl: string;
  wsUrl: string;
  tls?: TlsListeners;
  /** The broker's output so far, for failure messages. */
  output(): string;
  running(): boolean;
  start(): Promise<void>;
  stop(): Promise<void>;
  close(): Promise<void>;
}

export interface TlsListeners {
  /** "mqtts://127.0.0.1:PORT": TLS, no client certificate asked. */
  mqttsUrl: string;
  /** "wss://127.0.0.1:PORT". */
  wssUrl: string;
  /** "mqtts://localhost:PORT": TLS that lets in only clients with a certificate of `ca`. */
  clientCertUrl: string;
  /** "mqtts://127.0.0.1:PORT" whose certificate, of `ca`, names another host. */
  wrongHostUrl: string;
  /** PEM files. */
  ca: string;
  otherCa: string;
  cert: string;
  key: string;
}

export interface BrokerOptions {
  /** User names and passwords; without them anonymous clients are allowed. */
  users?: Record<string, string>;
  /** TLS listeners beside the plain ones. */
  tls?: boolean;
}

function openssl(...args: string[]): void {
  const made = spawnSync('openssl', args, { encoding: 'utf8' });
  if (made.status !== 0) throw new Error(`openssl ${args[0]} failed: ${made.stderr}`);
}

/** An authority, a broker certificate signed by it, a client certificate, another authority. */
function makeCertificates(dir: string) {
  const file = (name: string) => join(dir, name);
  const key = ['-newkey', 'ec', '-pkeyopt', 'ec_paramgen_curve:prime256v1', '-nodes'];
  for (const [name, subject] of [
    ['ca', '/CN=Corvane test authority'],
    ['other', '/CN=Another test authority'],
  ]) {
    openssl(
      'req',
      '-x509',
      ...key,
      '-keyout',
      file(`${name}.key`),
      '-out',
      file(`${name}.pem`),
      '-days',
      '2',
      '-subj',
      subject,
    );
  }
  writeFileSync(file('server.ext'), 'subjectAltName=IP:127.0.0.1,DNS:localhost\n');
  writeFileSync(file('wrong.ext'), 'subjectAltName=DNS:another-host.invalid\n');
  for (const [name, subject, extra] of [
    ['server', '/CN=127.0.0.1', ['-extfile', file('server.ext')]],
    ['wrong', '/CN=another-host.invalid', ['-extfile', file('wrong.ext')]],
    ['client', '/CN=station', []],
  ] as const) {
    openssl(
      'req',
      ...key,
      '-keyout',
      file(`${name}.key`),
      '-out',
      file(`${name}.csr`),
      '-subj',
      subject,
    );
    openssl(
      'x509',
      '-req',
      '-in',
      file(`${name}.csr`),
      '-CA',
      file('ca.pem'),
      '-CAkey',
      file('ca.key'),
      '-CAcreateserial',
      '-out',
      file(`${name}.pem`),
      '-days',
      '2',
      ...extra,
    );
  }
  // The broker may read its key after it gave up root.
  for (const name of ['server.key', 'wrong.key', 'client.key']) chmodSync(file(name), 0o644);
  return {
    ca: file('ca.pem'),
    otherCa: file('other.pem'),
    serverCert: file('server.pem'),
    serverKey: file('server.key'),
    wrongCert: file('wrong.pem'),
    wrongKey: file('wrong.key'),
    cert: file('client.pem'),
    key: file('client.key'),
  };
}

async function freePort(): Promise<number> {
  const server = createServer();
  await new Promise<void>((resolve, reject) => {
    server.once('error', reject);
    server.listen(0, '127.0.0.1', () => resolve());
  });
  const { port } = server.address() as AddressInfo;
  await new Promise((resolve) => server.close(resolve));
  return port;
}

function accepts(port: number): Promise<boolean> {
  return new Promise((resolve) => {
    const socket = createConnection({ host: '127.0.0.1', port });
    socket.once('connect', () => {
      socket.destroy();
      resolve(true);
    });
    socket.once('error', () => resolve(false));
  });
}

const sleep = (ms: number) => new Promise((resolve) => setTimeout(resolve, ms));

export async function startBroker(options: BrokerOptions = {}): Promise<TestBroker> {
  if (!MOSQUITTO) throw new Error('mosquitto is not installed (apt-get install mosquitto)');
  const dir = mkdtempSync(join(tmpdir(), 'corvane-mosquitto-'));
  const mqttPort = await freePort();
  let wsPort = await freePort();
  while (wsPort === mqttPort) wsPort = await freePort();

  const lines = ['per_listener_settings false', 'persistence false', 'log_dest stderr'];
  lines.push('log_type error', 'log_type warning', 'log_type notice');
  if (process.getuid?.() === 0) lines.push('user root');
  if (options.users) {
    const passwords = join(dir, 'passwords');
    writeFileSync(passwords, '');
    for (const [user, password] of Object.entries(options.users)) {
      const made = spawnSync('mosquitto_passwd', ['-b', passwords, user, password]);
      if (made.status !== 0) {
        throw new Error(`mosquitto_passwd failed: ${made.stderr.toString()}`);
      }
    }
    lines.push('allow_anonymous false', `password_file ${passwords}`);
  } else {
    lines.push('allow_anonymous true');
  }
  lines.push(`listener ${mqttPort} 127.0.0.1`, 'protocol mqtt');
  lines.push(`listener ${wsPort} 127.0.0.1`, 'protocol websockets');
  const ports = [mqttPort, wsPort];
  let tls: TlsListeners | undefined;
  if (options.tls) {
    const made = makeCertificates(dir);
    const [mqttsPort, wssPort, clientPort, wrongPort] = [
      await freePort(),
      await freePort(),
      await freePort(),
      await freePort(),
    ];
    const files = [`cafile ${made.ca}`, `certfile ${made.serverCert}`, `keyfile ${made.serverKey}`];
    lines.push(`listener ${mqttsPort} 127.0.0.1`, 'protocol mqtt', ...files);
    lines.push(`listener ${wssPort} 127.0.0.1`, 'protocol websockets', ...files);
    lines.push(`listener ${clientPort} 127.0.0.1`, 'protocol mqtt', ...files);
    lines.push('require_certificate true');
    lines.push(`listener ${wrongPort} 127.0.0.1`, 'protocol mqtt', `cafile ${made.ca}`);
    lines.push(`certfile ${made.wrongCert}`, `keyfile ${made.wrongKey}`);
    ports.push(mqttsPort, wssPort, clientPort, wrongPort);
    tls = {
      mqttsUrl: `mqtts://127.0.0.1:${mqttsPort}`,
      wssUrl: `wss://127.0.0.1:${wssPort}`,
      clientCertUrl: `mqtts://localhost:${clientPort}`,
      wrongHostUrl: `mqtts://127.0.0.1:${wrongPort}`,
      ca: made.ca,
      otherCa: made.otherCa,
      cert: made.cert,
      key: made.key,
    };
  }
  const config = join(dir, 'mosquitto.conf');
  writeFileSync(config, `${lines.join('\n')}\n`);

  let child: ChildProcess | undefined;
  let exited: Promise<void> = Promise.resolve();
  let log = '';

  const start = async () => {
    if (child) return;
    const started = spawn(MOSQUITTO, ['-c', config], { stdio: ['ignore', 'pipe', 'pipe'] });
    child = started;
    started.stdout?.on('data', (chunk: Buffer) => (log += chunk.toString()));
    started.stderr?.on('data', (chunk: Buffer) => (log += chunk.toString()));
    exited = new Promise((resolve) =>
      started.once('exit', () => {
        if (child === started) child = undefined;
        resolve();
      }),
    );
    const deadline = Date.now() + 15_000;
    while (Date.now() < deadline) {
      if (child !== started) break;
      const open = await Promise.all(ports.map((port) => accepts(port)));
      if (open.every(Boolean)) return;
      await sleep(50);
    }
    await stop();
    throw new Error(`mosquitto did not start on ${ports.join('/')}:\n${log}`);
  };

  const stop = async () => {
    const running = child;
    if (!running) return;
    running.kill('SIGTERM');
    const killer = setTimeout(() => running.kill('SIGKILL'), 5_000);
    await exited;
    clearTimeout(killer);
    child = undefined;
  };

  try {
    await start();
  } catch (error) {
    rmSync(dir, { recursive: true, force: true });
    throw error;
  }

  return {
    mqttPort,
    wsPort,
    mqttUrl: `mqtt://127.0.0.1:${mqttPort}`,
    wsUrl: `ws://127.0.0.1:${wsPort}`,
    tls,
    output: () => log,
    running: () => child !== undefined,
    start,
    stop,
    async close() {
      await stop();
      rmSync(dir, { recursive: true, force: true });
    },
  };
}
