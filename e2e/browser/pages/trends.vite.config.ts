import { pageConfig } from '../../pageConfig.js';

// The page of the trends' browser tests.
export default pageConfig(new URL('./trends.html', import.meta.url), { minifyCss: false });
