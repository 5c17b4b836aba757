/** Smallest width and height a resize gives (a zero side excepted). */
export const MIN_ELEMENT_SIZE = 8;
/** Smallest width and height of a scheme's drawing area. */
export const MIN_SCHEME_SIZE = MIN_ELEMENT_SIZE;
export const ZOOM_MIN = 0.25;
export const ZOOM_MAX = 4;
/** One zoom-in step multiplies the zoom by this factor, one zoom-out step divides by it. */
export const ZOOM_FACTOR = 1.25;
/** Degrees of one rotation step. */
export const ROTATION_STEP = 45;
