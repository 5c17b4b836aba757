import './library';

export type { SymbolDefinition, SymbolEntry, SymbolSize } from './types';
export { findSymbol, listSymbols, registerSymbol } from './registry';
export { symbolPlaceholder } from './placeholder';
export { clamp01, valueFraction } from './shared';
export { gaugeGeometry, gaugePoint } from './gauge';
export type { GaugeGeometry } from './gauge';
