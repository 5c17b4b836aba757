import { pageConfig } from '../pageConfig.js';

// The page of the inspector benchmark.
export default pageConfig(new URL('./inspector.html', import.meta.url), { minifyCss: false });
