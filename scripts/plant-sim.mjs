#!/usr/bin/env node
// A stand-in plant for a broker set-up: publishes the emulator's point
// catalogue and its simulated values (the same simulation the emulator worker
// runs) to an MQTT broker, retained, every 500 ms.
//
//   npm run plant-sim -- --broker mqtt://127.0.0.1:1883 [--topic-prefix P]
//                        [--broker-user NAME] [--interval MS] [--ignore-commands]
//                        [--sparkplug GROUP [--edge-node NAME]]
//
// The password, when the broker needs one, comes from the environment
// variable CORVANE_BROKER_PASSWORD. Topics: PREFIX/$catalogue (the catalogue)
// and PREFIX/<point id> ({"value": …, "timestamp": …}). Ctrl+C stops it: the
// values are published once more with the status "bad", so that stations show
// that nobody keeps them up to date, and the connection is closed.
//
// The points the catalogue marks writable follow the station's commands on
// PREFIX/<point id>/set ({"value": …, "user": …, "station": …}): a value of
// the point's kind, and within an analog point's range, is published at once
// and held from then on; anything else is ignored. With --ignore-commands the
// plant never follows, as one that does not answer its controls.
//
// With --sparkplug the plain topics are left alone: the simulator is a
// Sparkplug B edge node of that group instead (plant-sim-sparkplug.mjs).
import { parseArgs } from 'node:util';
import { fileURLToPath } from 'node:url';
import mqtt from 'mqtt';
import { runnerImport } from 'vite';
import { runSparkplugNode } from './plant-sim-sparkplug.mjs';

const USAGE = `Usage: npm run plant-sim -- --broker URL [--topic-prefix PREFIX] [--broker-user NAME] [--interval MS]
                              [--sparkplug GROUP [--edge-node NAME] [--skip-seq-at N]]
  --broker URL           mqtt://, mqtts://, ws:// or wss:// address of the broker
  --topic-prefix PREFIX  topic prefix (default corvane/points)
  --broker-user NAME     user name; the password is read from CORVANE_BROKER_PASSWORD
  --interval MS          time between two publications (default 500)
  --sparkplug GROUP      be a Sparkplug B edge node of GROUP (spBv1.0/GROUP/...) instead of
                         publishing the plain topics
  --edge-node NAME       the edge node's id (default plant-sim)
  --skip-seq-at N        for tests: the Nth NDATA skips one seq number, once
  --ignore-commands      for tests: receive the station's commands but never follow them`;

function fail(message) {
  console.error(`plant-sim: ${message}\n${USAGE}`);
  process.exit(2);
}

let options;
try {
  options = parseArgs({
    options: {
      broker: { type: 'string' },
      'topic-prefix': { type: 'string', default: 'corvane/points' },
      'broker-user': { type: 'string' },
      interval: { type: 'string', default: '500' },
      sparkplug: { type: 'string' },
      'edge-node': { type: 'string', default: 'plant-sim' },
      'skip-seq-at': { type: 'string' },
      'ignore-commands': { type: 'boolean', default: false },
      help: { type: 'boolean', short: 'h' },
    },
  }).values;
} catch (error) {
  fail(error.message);
}
if (options.help) {
  console.log(USAGE);
  process.exit(0);
}
if (!options.broker) fail('--broker is required');
if (!/^(mqtts?|wss?):\/\//.test(options.broker)) fail(`not a broker address: ${options.broker}`);
const prefix = options['topic-prefix'].replace(/\/+$/, '');
if (prefix === '' || /[+#]/.test(prefix)) fail(`not a topic prefix: ${options['topic-prefix']}`);
const interval = Number(options.interval);
if (!Number.isFinite(interval) || interval < 10) fail(`not an interval: ${options.interval}`);
// Sparkplug ids are single topic levels.
const sparkplugId = (text) => /^[^/+#]+$/.test(text);
if (options.sparkplug !== undefined && !sparkplugId(options.sparkplug)) {
  fail(`not a Sparkplug group id: ${options.sparkplug}`);
}
if (!sparkplugId(options['edge-node'])) fail(`not an edge node id: ${options['edge-node']}`);
const skipSeqAt = options['skip-seq-at'] === undefined ? undefined : Number(options['skip-seq-at']);
if (skipSeqAt !== undefined && !(Number.isInteger(skipSeqAt) && skipSeqAt > 0)) {
  fail(`not a message number: ${options['skip-seq-at']}`);
}
if (
  options.sparkplug === undefined &&
  (skipSeqAt !== undefined || options['edge-node'] !== 'plant-sim')
) {
  fail('--edge-node and --skip-seq-at go with --sparkplug');
}

// The simulation is the application's own TypeScript module, loaded through Vite.
const root = fileURLToPath(new URL('..', import.meta.url));
const { module: emulator } = await runnerImport(
  fileURLToPath(new URL('../webapp/emulator/index.ts', import.meta.url)),
  { configFile: false, root, logLevel: 'error' },
);
const simulator = emulator.createSimulator(emulator.pointCatalogue);
const connectOptions = {
  username: options['broker-user'],
  password: process.env.CORVANE_BROKER_PASSWORD || undefined,
  clientId: `corvane-plant-sim-${process.pid}`,
  reconnectPeriod: 1000,
  // Values missed while away are not worth sending late: the next tick has newer ones.
  queueQoSZero: false,
};

if (options.sparkplug !== undefined) {
  await runSparkplugNode({
    broker: options.broker,
    connectOptions,
    group: options.sparkplug,
    edgeNode: options['edge-node'],
    interval,
    skipSeqAt,
    ignoreCommands: options['ignore-commands'],
    points: emulator.pointCatalogue,
    simulator,
  });
} else {
  publishPlainTopics();
}

function publishPlainTopics() {
  const catalogue = JSON.stringify(simulator.catalog());
  const client = mqtt.connect(options.broker, connectOptions);

  const retained = { qos: 0, retain: true };
  const publishValues = (values, status) => {
    for (const point of values) {
      const payload = status
        ? { value: point.value, status, timestamp: point.timestamp }
        : { value: point.value, timestamp: point.timestamp };
      client.publish(`${prefix}/${point.id}`, JSON.stringify(payload), retained);
    }
  };

  const commandTopic = `${prefix}/+/set`;
  /** The point a command topic names, if it is one: PREFIX/<id>/set. */
  const commandedId = (topic) => {
    if (!topic.startsWith(`${prefix}/`) || !topic.endsWith('/set')) return undefined;
    const id = topic.slice(prefix.length + 1, -'/set'.length);
    return id !== '' && !id.includes('/') ? id : undefined;
  };
  const command = (topic, message) => {
    const id = commandedId(topic);
    if (id === undefined) return;
    let value;
    try {
      value = JSON.parse(message.toString()).value;
    } catch {
      console.error(`plant-sim: a command for ${id} that is not JSON`);
      return;
    }
    if (options['ignore-commands']) {
      console.log(`plant-sim: ignored the command ${id} = ${JSON.stringify(value)}`);
      return;
    }
    if (typeof value !== 'boolean' && typeof value !== 'number') value = undefined;
    if (value === undefined || !simulator.command(id, value, Date.now())) {
      console.error(`plant-sim: ${id} does not take the command ${message.toString()}`);
      return;
    }
    if (client.connected) publishValues(simulator.snapshot([id]));
  };

  let lastProblem = '';
  client.on('connect', () => {
    lastProblem = '';
    console.log(
      `plant-sim: publishing ${emulator.pointCatalogue.length} points to ${options.broker} under ${prefix}/ every ${interval} ms (Ctrl+C stops)`,
    );
    client.subscribe(commandTopic, { qos: 1 }, (error) => {
      if (error) console.error(`plant-sim: cannot subscribe to ${commandTopic}: ${error.message}`);
    });
    client.publish(`${prefix}/$catalogue`, catalogue, { qos: 1, retain: true });
    publishValues(simulator.snapshot());
  });
  client.on('message', command);
  client.on('error', (error) => {
    if (error.message !== lastProblem) console.error(`plant-sim: ${error.message}`);
    lastProblem = error.message;
  });
  client.on('offline', () => {
    if (lastProblem === '') console.error('plant-sim: connection lost, reconnecting');
    lastProblem ||= 'offline';
  });

  const timer = setInterval(() => {
    const values = simulator.tick(Date.now());
    if (client.connected) publishValues(values);
  }, interval);

  let stopping = false;
  function stop() {
    if (stopping) process.exit(1);
    stopping = true;
    clearInterval(timer);
    const close = () => client.end(false, {}, () => process.exit(0));
    if (client.connected) {
      publishValues(simulator.snapshot(), 'bad');
      // A last QoS 1 message is acknowledged after the QoS 0 ones before it went out.
      client.publish(`${prefix}/$catalogue`, catalogue, { qos: 1, retain: true }, close);
    } else {
      client.end(true, {}, () => process.exit(0));
    }
    setTimeout(() => process.exit(0), 3000).unref();
  }
  process.on('SIGINT', stop);
  process.on('SIGTERM', stop);
}
