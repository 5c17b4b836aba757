// The three finished schemes of the emulated plant, registered first. They are
// checked when this module loads, so a broken document stops the application
// before anything is mounted.

import { requireScheme } from '../scheme';
import type { ContentEntry } from './entries';
import { gasTurbine } from './gasTurbine';
import { heatPoint } from './heatPoint';
import { pumpStation } from './pumpStation';

/** A built-in document under its registration id and name, before its check. */
export interface StockRegistration {
  id: string;
  name: string;
  document: unknown;
}

export const stockRegistrations: readonly StockRegistration[] = [
  { id: 'pump-station', name: 'Насосная станция', document: pumpStation },
  { id: 'gas-turbine', name: 'Газотурбинный агрегат', document: gasTurbine },
  { id: 'heat-point', name: 'Тепловой пункт', document: heatPoint },
];

/**
 * Checks the documents in order and returns their entries; the first document
 * that fails stops the walk with the message of `requireScheme`.
 */
export function createStockEntries(
  registrations: readonly StockRegistration[] = stockRegistrations,
): ContentEntry[] {
  return registrations.map(({ id, name, document }) => ({
    id,
    name,
    scheme: requireScheme(document, id),
  }));
}

export const stockSchemes: readonly ContentEntry[] = createStockEntries();
