// The tag list of the binding field: the catalogue's points first, then the
// scheme's own point ids, so that a binding stays choosable without a catalogue.

import type { PointInfo } from '../../data';

export interface PointOption {
  value: string;
  label: string;
}

export function pointOptionLabel(info: PointInfo | undefined, id: string): string {
  if (info === undefined || typeof info.description !== 'string' || info.description === '') {
    return id;
  }
  const unit = typeof info.unit === 'string' && info.unit !== '' ? `, ${info.unit}` : '';
  return `${id} — ${info.description}${unit}`;
}

export function pointOptions(
  catalogue: readonly PointInfo[],
  schemePointIds: readonly string[],
): PointOption[] {
  const infos = new Map<string, PointInfo>();
  for (const info of catalogue) {
    if (!infos.has(info.id)) infos.set(info.id, info);
  }
  const ids = new Set<string>();
  for (const id of [...catalogue.map((info) => info.id), ...schemePointIds]) {
    if (typeof id === 'string' && id !== '') ids.add(id);
  }
  return [...ids].map((id) => ({ value: id, label: pointOptionLabel(infos.get(id), id) }));
}
