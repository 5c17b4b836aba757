import { pageConfig } from '../pageConfig.js';

// The page of the inspector benchmark.
export default pageConfig(new URL('./props.html', import.meta.url), { minifyCss: false });
