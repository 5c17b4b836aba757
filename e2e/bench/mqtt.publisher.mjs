// The publisher of the broker benchmark, in a thread of its own so that the
// bench's driving of the browser does not hold it up. Asked for a rate and a
// duration, it publishes that many values per second, in turn to the points
// p1 to p2000 under its prefix, each stamped with its publish time, and
// answers with how many it sent, the newest stamp and the most bytes that
// waited in its connection's queue. When the connection cannot take more (the
// broker reads slower than asked), it sends less rather than queue: the answer
// tells the rate reached.
import { parentPort, workerData } from 'node:worker_threads';
import mqtt from 'mqtt';

const { url, prefix, points } = workerData;
const MAX_QUEUED_BYTES = 4 * 1024 * 1024;
const client = await mqtt.connectAsync(url, {
  reconnectPeriod: 0,
  clientId: `bench-${process.pid}`,
});
const now = () => performance.timeOrigin + performance.now();

parentPort.on('message', ({ rate, seconds }) => {
  const start = performance.now();
  let sent = 0;
  let newest = 0;
  let next = 0;
  let queued = 0;
  const tick = () => {
    const elapsed = performance.now() - start;
    queued = Math.max(queued, client.stream.writableLength);
    if (elapsed >= seconds * 1000) {
      parentPort.postMessage({ sent, seconds: elapsed / 1000, newest, queued });
      return;
    }
    const due = Math.floor((rate * elapsed) / 1000);
    while (sent < due && client.stream.writableLength < MAX_QUEUED_BYTES) {
      const stamp = now();
      next = (next % points) + 1;
      const value = (Math.random() * 100).toFixed(2);
      client.publish(`${prefix}/p${next}`, `{"value":${value},"timestamp":${stamp}}`, { qos: 0 });
      sent += 1;
      newest = stamp;
    }
    setTimeout(tick, 1);
  };
  tick();
});
parentPort.postMessage({ ready: true });
