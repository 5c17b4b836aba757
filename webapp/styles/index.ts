export {
  BLINK_HALF_PERIOD_MS,
  BLINK_PHASE_ATTRIBUTE,
  FLOW_PHASE_ATTRIBUTE,
  FLOW_STEP_MS,
  FLOW_STEPS,
  markerPhaseAt,
  startMarkerClock,
} from './markerClock';
export type { BlinkPhase, MarkerPhase } from './markerClock';
