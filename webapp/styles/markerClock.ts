/*
 * One clock for the marker looks of a whole page. It writes the blink phase
 * and the flow step as attributes on one root element and markers.css maps
 * them onto every ".mnemo-blink" and ".mnemo-flow" below that root. Phases
 * are computed from the wall clock, not counted from the start, so two
 * clocks (two roots, two windows) and every element, whenever it got its
 * class, show the same phase.
 */

/** Blink: this long on, then this long dim. */
export const BLINK_HALF_PERIOD_MS = 500;
/** Flow: the dashes advance one step this often; a whole fraction of the blink
 * half-period, so every blink change falls on a tick. */
export const FLOW_STEP_MS = 250;
/** Flow: steps per dash period (markers.css has a rule for each step). */
export const FLOW_STEPS = 4;

export const BLINK_PHASE_ATTRIBUTE = 'data-blink-phase';
export const FLOW_PHASE_ATTRIBUTE = 'data-flow-phase';

const MARKED = '.mnemo-blink, .mnemo-flow';

export type BlinkPhase = 'on' | 'off';

export interface MarkerPhase {
  blink: BlinkPhase;
  /** 0 to FLOW_STEPS - 1 */
  flow: number;
}

/** The marker phase at a wall-clock time (milliseconds since the epoch). */
export function markerPhaseAt(time: number): MarkerPhase {
  const blinkHalf = Math.floor(time / BLINK_HALF_PERIOD_MS);
  const flowStep = Math.floor(time / FLOW_STEP_MS);
  return {
    blink: blinkHalf % 2 === 0 ? 'on' : 'off',
    flow: flowStep % FLOW_STEPS,
  };
}

function setAttributeIfChanged(root: Element, name: string, value: string): void {
  // An unchanged write would still invalidate the styles of the markers.
  if (root.getAttribute(name) !== value) root.setAttribute(name, value);
}

/**
 * Starts the marker clock on `root` and returns the operation that stops it.
 * One timer serves every marked element below the root, however many there
 * are, and the root is touched only when a phase changes. Stopping removes
 * the phase attributes, so markers then show their steady look; a second
 * stop does nothing.
 *
 * Call it once for the application's root, for the root's whole life.
 */
export function startMarkerClock(root: Element): () => void {
  let timer: ReturnType<typeof setTimeout> | undefined;
  let running = true;

  const tick = (): void => {
    const now = Date.now();
    // A phase change costs the page a frame even when nothing shows it, so
    // the phases rest while nothing below the root is marked. A marker that
    // appears meanwhile shows the right phase from the next tick on.
    if (root.querySelector(MARKED) !== null) {
      const phase = markerPhaseAt(now);
      setAttributeIfChanged(root, BLINK_PHASE_ATTRIBUTE, phase.blink);
      setAttributeIfChanged(root, FLOW_PHASE_ATTRIBUTE, String(phase.flow));
    }
    // Re-armed for the next step boundary each time, so the ticks stay on
    // the wall clock's step grid (timers drift, and the clock may be set).
    timer = setTimeout(tick, FLOW_STEP_MS - (now % FLOW_STEP_MS));
  };
  tick();

  return () => {
    if (!running) return;
    running = false;
    clearTimeout(timer);
    root.removeAttribute(BLINK_PHASE_ATTRIBUTE);
    root.removeAttribute(FLOW_PHASE_ATTRIBUTE);
  };
}
