import { pageConfig } from '../pageConfig.js';

// The page of the binder benchmark.
export default pageConfig(new URL('./binder.html', import.meta.url));
