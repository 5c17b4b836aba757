// The plant simulator as a Sparkplug B edge node: every point is a metric of
// the node itself (no devices). The will is the node's death certificate, so
// the broker announces the death when the simulator vanishes; its bdSeq goes
// up with each connection, so that a late will of an earlier one is known
// for what it is.
import { fileURLToPath } from 'node:url';
import mqtt from 'mqtt';
import protobuf from 'protobufjs';

const INT64 = 4;
const DOUBLE = 10;
const BOOLEAN = 11;
const STRING = 12;
const REBIRTH = 'Node Control/Rebirth';

/**
 * Runs the edge node until SIGINT or SIGTERM.
 * @param {object} settings
 * @param {string} settings.broker
 * @param {object} settings.connectOptions  mqtt.connect options other than the will
 * @param {string} settings.group
 * @param {string} settings.edgeNode
 * @param {number} settings.interval
 * @param {number} [settings.skipSeqAt]  the NDATA (counted from 1) that skips a seq number, once
 * @param {boolean} [settings.ignoreCommands]  receive NCMD values but never follow them
 * @param {readonly object[]} settings.points  the emulator's point definitions
 * @param {object} settings.simulator
 */
export async function runSparkplugNode(settings) {
  const { broker, group, edgeNode, interval, points, simulator } = settings;
  const root = await protobuf.load(
    fileURLToPath(new URL('../host/station/sparkplug_b.proto', import.meta.url)),
  );
  const Payload = root.lookupType('org.eclipse.tahu.protobuf.Payload');
  const encode = (payload) => Payload.encode(Payload.create(payload)).finish();
  const topic = (type) => `spBv1.0/${group}/${type}/${edgeNode}`;

  const definitions = new Map(points.map((point) => [point.id, point]));
  const aliases = new Map(points.map((point, index) => [point.id, index + 1]));
  const byAlias = new Map(points.map((point, index) => [index + 1, point]));
  const valueOf = (point, value) =>
    point.kind === 'discrete'
      ? { datatype: BOOLEAN, booleanValue: value }
      : { datatype: DOUBLE, doubleValue: value };

  let nextBdSeq = 0;
  let bdSeq = 0; // of the connection under way
  let seq = 0;
  let born = false;
  let dataCount = 0;
  let skipped = false;
  const sent = new Map(); // point id → last value published

  const will = (number) => ({
    topic: topic('NDEATH'),
    payload: Buffer.from(death(number)),
    qos: 1,
    retain: false,
  });
  function death(number) {
    return encode({
      timestamp: Date.now(),
      metrics: [{ name: 'bdSeq', datatype: INT64, longValue: number }],
    });
  }

  const client = mqtt.connect(broker, { ...settings.connectOptions, will: will(nextBdSeq) });

  function birth() {
    const now = Date.now();
    const metrics = [
      { name: 'bdSeq', timestamp: now, datatype: INT64, longValue: bdSeq },
      { name: REBIRTH, timestamp: now, datatype: BOOLEAN, booleanValue: false },
    ];
    for (const value of simulator.snapshot()) {
      const point = definitions.get(value.id);
      const metric = {
        name: value.id,
        alias: aliases.get(value.id),
        timestamp: value.timestamp || now,
        ...valueOf(point, value.value),
      };
      const properties = { keys: [], values: [] };
      const property = (key, value) => {
        properties.keys.push(key);
        properties.values.push(value);
      };
      if (point.unit !== undefined) property('engUnit', { type: STRING, stringValue: point.unit });
      // A writable metric says so, with the range of its commanded values.
      if (point.writable) {
        property('writable', { type: BOOLEAN, booleanValue: true });
        if (point.kind !== 'discrete') {
          property('min', { type: DOUBLE, doubleValue: point.min ?? 0 });
          property('max', { type: DOUBLE, doubleValue: point.max ?? 100 });
        }
      }
      if (properties.keys.length > 0) metric.properties = properties;
      metrics.push(metric);
      sent.set(value.id, value.value);
    }
    seq = 0;
    born = true;
    client.publish(topic('NBIRTH'), Buffer.from(encode({ timestamp: now, seq, metrics })), {
      qos: 0,
      retain: false,
    });
  }

  function data(values, now) {
    if (values.length === 0) return;
    dataCount += 1;
    seq = (seq + 1) % 256;
    if (settings.skipSeqAt === dataCount && !skipped) {
      skipped = true;
      seq = (seq + 1) % 256;
    }
    const metrics = values.map((value) => ({
      alias: aliases.get(value.id),
      timestamp: value.timestamp,
      ...valueOf(definitions.get(value.id), value.value),
    }));
    for (const value of values) sent.set(value.id, value.value);
    client.publish(topic('NDATA'), Buffer.from(encode({ timestamp: now, seq, metrics })), {
      qos: 0,
      retain: false,
    });
  }

  function command(message) {
    let payload;
    try {
      payload = Payload.toObject(Payload.decode(message), { longs: Number, oneofs: true });
    } catch (error) {
      console.error(`plant-sim: an NCMD that is not a Sparkplug B payload: ${error.message}`);
      return;
    }
    const now = Date.now();
    let rebirth = false;
    const changed = [];
    for (const metric of payload.metrics ?? []) {
      if (metric.name === REBIRTH) {
        rebirth ||= metric.booleanValue === true;
        continue;
      }
      const point =
        metric.alias !== undefined ? byAlias.get(metric.alias) : definitions.get(metric.name);
      const value = metric.value === undefined ? undefined : metric[metric.value];
      const name = metric.name ?? `alias ${metric.alias}`;
      if (point === undefined) {
        console.error(`plant-sim: an NCMD for ${name}, which is no metric of this node`);
      } else if (settings.ignoreCommands) {
        console.log(`plant-sim: ignored the NCMD ${point.id} = ${value}`);
      } else if (!simulator.command(point.id, value, now)) {
        console.error(`plant-sim: ${point.id} does not take the NCMD value ${value}`);
      } else {
        changed.push(simulator.snapshot([point.id])[0]);
      }
    }
    if (rebirth) birth();
    else if (born) data(changed, now);
  }

  let lastProblem = '';
  client.on('connect', () => {
    lastProblem = '';
    bdSeq = nextBdSeq;
    // The next connection leaves a will of the next number.
    nextBdSeq = (nextBdSeq + 1) % 256;
    client.options.will = will(nextBdSeq);
    born = false;
    client.subscribe(topic('NCMD'), { qos: 0 }, (error) => {
      if (error) console.error(`plant-sim: cannot subscribe to ${topic('NCMD')}: ${error.message}`);
      if (!client.connected) return;
      birth();
      console.log(
        `plant-sim: Sparkplug B edge node ${group}/${edgeNode} on ${broker}: ${points.length} points (bdSeq ${bdSeq}), data every ${interval} ms (Ctrl+C stops)`,
      );
    });
  });
  client.on('message', (receivedTopic, message) => {
    if (receivedTopic === topic('NCMD')) command(message);
  });
  client.on('error', (error) => {
    if (error.message !== lastProblem) console.error(`plant-sim: ${error.message}`);
    lastProblem = error.message;
  });
  client.on('offline', () => {
    born = false;
    if (lastProblem === '') console.error('plant-sim: connection lost, reconnecting');
    lastProblem ||= 'offline';
  });

  const timer = setInterval(() => {
    const now = Date.now();
    const values = simulator.tick(now);
    if (client.connected && born)
      data(
        values.filter((v) => sent.get(v.id) !== v.value),
        now,
      );
  }, interval);

  let stopping = false;
  function stop() {
    if (stopping) process.exit(1);
    stopping = true;
    clearInterval(timer);
    if (client.connected) {
      // Said in words of our own, the will is not needed: the broker drops it on a clean end.
      client.publish(topic('NDEATH'), Buffer.from(death(bdSeq)), { qos: 1, retain: false }, () =>
        client.end(false, {}, () => process.exit(0)),
      );
    } else {
      client.end(true, {}, () => process.exit(0));
    }
    setTimeout(() => process.exit(0), 3000).unref();
  }
  process.on('SIGINT', stop);
  process.on('SIGTERM', stop);
}
