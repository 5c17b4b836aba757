import { pageConfig } from '../../pageConfig.js';

// The page of the canvas's browser tests.
export default pageConfig(new URL('./canvas.html', import.meta.url), { minifyCss: false });
