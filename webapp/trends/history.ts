// The page's side of the station's history: the trends and the faceplate ask
// it for recorded samples. Inside the program the host answers; a plain
// browser has no history at all.
import type { PointStatus } from '../data';

/** One recorded sample; `v: null` marks a gap (no source for that stretch). */
export interface HistorySample {
  /** Milliseconds since the epoch. */
  t: number;
  v: number | boolean | null;
  s: PointStatus;
}

export interface HistoryAnswer {
  /** Per point, in time order; the first may be the last sample before `from`. */
  points: Record<string, HistorySample[]>;
  downsampled: Record<string, boolean>;
}

export interface HistoryClient {
  /** False when there is no host (plain browser): trends say so in place. */
  readonly available: boolean;
  /**
   * Samples of `ids` in [from, to], at most about `maxPoints` per point;
   * `maxPoints` 0 asks for the raw samples (the CSV export).
   */
  getHistory(
    ids: readonly string[],
    from: number,
    to: number,
    maxPoints: number,
  ): Promise<HistoryAnswer>;
}

/** `maxPoints` that asks for every recorded sample. */
export const RAW_SAMPLES = 0;

export const NO_HISTORY_TEXT = 'История доступна только в программе';

/** An answer with an empty list for every id. */
export function emptyAnswer(ids: readonly string[]): HistoryAnswer {
  const answer: HistoryAnswer = { points: {}, downsampled: {} };
  for (const id of ids) {
    answer.points[id] = [];
    answer.downsampled[id] = false;
  }
  return answer;
}

/** The client of a page without a host: no history, ever. */
export function createNoHostHistoryClient(): HistoryClient {
  return {
    available: false,
    getHistory: (ids) => Promise.resolve(emptyAnswer(ids)),
  };
}
