import { pageConfig } from '../pageConfig.js';

// The page of the canvas benchmark.
export default pageConfig(new URL('./canvas.html', import.meta.url), { minifyCss: false });
