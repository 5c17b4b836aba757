export { GENERIC_POINT_COUNT, pointCatalogue } from './catalogue';
export type { PointDefinition } from './catalogue';
export { TICK_INTERVAL_MS, startEmulator } from './host';
export type { Emulator, EmulatorPort, EmulatorScope } from './host';
export { handleCommand, handleRequest } from './requests';
export { clampToRange, createSimulator } from './simulator';
export type { RandomSource, Simulator } from './simulator';
