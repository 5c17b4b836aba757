// The page of the broker benchmark: a load scheme of 2000 rectangles bound to
// 2000 distinct points, drawn by the real runtime view and bound by the real
// binder to the real broker data source (its shared worker connecting to the
// broker named in the page address's query). Every value the binder receives
// carries the time it was published (its "timestamp"); the page notes, for
// each, the next animation frame after the binder wrote it: the moment it
// reaches the screen.
import { createRoot } from 'react-dom/client';
import { generateLoadScheme } from '../../webapp/content/load';
import { chooseDataSource, createBrokerDataSource, type DataSource } from '../../webapp/data';
import { RuntimeView } from '../../webapp/shell';

export interface Taken {
  /** Publish-to-frame latencies of the values shown since the last take, ms. */
  latencies: number[];
  /** Newest publish time shown so far (ms since the epoch), and the frame that showed it. */
  newest: number;
  newestShown: number;
  deliveries: number;
  values: number;
  state: string;
}

declare global {
  interface Window {
    mqttBench: { take(): Taken; bound(): number };
  }
}

const POINTS = 2000;
const now = () => performance.timeOrigin + performance.now();

const choice = chooseDataSource(undefined, location.search);
if (choice.kind !== 'broker') throw new Error('the bench page needs ?broker=ws://…');
const { dataSource: source, connection } = createBrokerDataSource(choice.settings);

let waiting: number[] = [];
let latencies: number[] = [];
let newest = 0;
let newestShown = 0;
let deliveries = 0;
let values = 0;
let frameAsked = false;

const frame = () => {
  frameAsked = false;
  const shown = now();
  for (const stamp of waiting) {
    latencies.push(shown - stamp);
    if (stamp > newest) {
      newest = stamp;
      newestShown = shown;
    }
  }
  waiting = [];
};

const measured: DataSource = {
  ...source,
  subscribe(ids, callback) {
    return source.subscribe(ids, (delivered) => {
      callback(delivered);
      deliveries += 1;
      values += delivered.length;
      for (const value of delivered) {
        if (value.status !== 'good') continue;
        waiting.push(value.timestamp);
      }
      if (!frameAsked) {
        frameAsked = true;
        requestAnimationFrame(frame);
      }
    });
  },
};

const scheme = generateLoadScheme(POINTS, POINTS);
const container = document.getElementById('view');
if (container) {
  container.style.width = `${scheme.size.width}px`;
  container.style.height = `${scheme.size.height}px`;
  createRoot(container).render(<RuntimeView scheme={scheme} dataSource={measured} />);
}

window.mqttBench = {
  take() {
    const state = connection.current().state;
    const taken = { latencies, newest, newestShown, deliveries, values, state };
    latencies = [];
    deliveries = 0;
    values = 0;
    return taken;
  },
  bound: () => document.querySelectorAll('[data-element-id]').length,
};
