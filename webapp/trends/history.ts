// The page's side of the station's history: the trends and the faceplate ask
// it for recorded samples. Inside the program the host answers; a plain
// browser has no history at all.
import type { HistoryAnswer, HistoryClient } from '../station';

export type { HistoryAnswer, HistoryClient, HistorySample } from '../station';

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
