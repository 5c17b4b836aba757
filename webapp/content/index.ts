export type { ContentEntry } from './entries';
export { gasTurbine } from './gasTurbine';
export { heatPoint } from './heatPoint';
export { pumpStation } from './pumpStation';
export { createStockEntries, stockRegistrations, stockSchemes } from './stock';
export type { StockRegistration } from './stock';
export {
  LOAD_CELL,
  LOAD_RECT_HEIGHT,
  LOAD_RECT_WIDTH,
  createLoadEntries,
  generateLoadScheme,
} from './load';
