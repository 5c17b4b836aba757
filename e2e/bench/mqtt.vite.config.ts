import { pageConfig } from '../pageConfig.js';

// The page of the broker benchmark, its broker worker included.
export default pageConfig(new URL('./mqtt.html', import.meta.url), { esWorkers: true });
