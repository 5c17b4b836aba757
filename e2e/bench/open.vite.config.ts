import { pageConfig } from '../pageConfig.js';

// The page of the opening benchmark.
export default pageConfig(new URL('./open.html', import.meta.url), {
  minifyCss: false,
  esWorkers: true,
});
