import './library';

export type { SymbolDefinition, SymbolEntry, SymbolSize } from './types';
export { findSymbol, listSymbols, registerSymbol } from './registry';
export { symbolPlaceholder } from './placeholder';
export { clamp01, valueFraction } from './shared';
export { gaugeGeometry, gaugePoint } from './gauge';
export type { GaugeGeometry } from './gauge';
export { subscribeSymbols, symbolEntries, symbolsVersion, unregisterSymbol } from './registry';
export { useSymbolEntries, useSymbolsVersion } from './useSymbolsVersion';
export {
  createOwnSymbol,
  OWN_SYMBOL_CATEGORY,
  OWN_SYMBOL_PREFIX,
  ownSymbolSize,
  parseOwnSymbolListing,
  registerOwnSymbols,
} from './ownSymbols';
export type { OwnSymbolListing } from './ownSymbols';
