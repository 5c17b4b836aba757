// How the runtime view sits on the stage: at the scheme's own size ("1:1"),
// or scaled to fit the stage, keeping its proportions. The choice is kept
// between runs by the program (or the browser's storage).

import { useEffect, useState } from 'react';
import type { SegmentedOption } from '../editor';
import type { SettingsStore } from '../station';

export type StageScale = 'actual' | 'fit';

export const STAGE_SCALE_LABEL = 'Масштаб схемы';

export const stageScaleOptions: ReadonlyArray<SegmentedOption<StageScale>> = [
  { value: 'actual', label: '1:1' },
  { value: 'fit', label: 'По размеру окна' },
];

/** The stored choice as a scale; anything else is the start, "1:1". */
export function readStageScale(settings: Record<string, unknown> | null): StageScale {
  return settings?.scale === 'fit' ? 'fit' : 'actual';
}

/** The runtime view's box on the stage for a scale and the scheme's size. */
export function stageBox(
  scale: StageScale,
  size: { width: number; height: number },
): { width: string; height: string } {
  return scale === 'fit'
    ? { width: '100%', height: '100%' }
    : { width: `${size.width}px`, height: `${size.height}px` };
}

/** The scale chosen, read once from `store`, and the means to choose another. */
export function useStageScale(store?: SettingsStore): [StageScale, (scale: StageScale) => void] {
  const [scale, setScale] = useState<StageScale>('actual');
  useEffect(() => {
    let current = true;
    void store?.load().then((settings) => {
      if (current) setScale(readStageScale(settings));
    });
    return () => {
      current = false;
    };
  }, [store]);
  const choose = (next: StageScale) => {
    setScale(next);
    store?.save({ scale: next });
  };
  return [scale, choose];
}
