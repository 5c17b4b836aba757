// Inside the program a save is a download that the host writes only after
// the engineer has chosen where, in its own dialog; the host then tells the
// page what became of it. Only a written file counts as saved: a save
// cancelled in the dialog, or one that could not be written, leaves the edits
// unsaved.

/** The event the program dispatches on the window after each save. */
export const SAVE_RESULT_EVENT = 'corvane-save-result';

export type SaveOutcome = 'written' | 'cancelled' | 'failed';

export interface SaveResult {
  outcome: SaveOutcome;
  /** The written file's name, or why the save failed. */
  detail: string;
}

/** Whether the program reports each save: inside it the page is served from "qrc:". */
export function hostReportsSaves(): boolean {
  return typeof location !== 'undefined' && location.protocol === 'qrc:';
}

function isOutcome(value: unknown): value is SaveOutcome {
  return value === 'written' || value === 'cancelled' || value === 'failed';
}

/** The result the program reports for the download of `url`. */
export function awaitSaveResult(url: string, target: Window = window): Promise<SaveResult> {
  return new Promise((resolve) => {
    const listener = (event: Event) => {
      const detail: unknown = (event as CustomEvent<unknown>).detail;
      if (typeof detail !== 'object' || detail === null) return;
      const record = detail as { url?: unknown; outcome?: unknown; detail?: unknown };
      if (record.url !== url || !isOutcome(record.outcome)) return;
      target.removeEventListener(SAVE_RESULT_EVENT, listener);
      resolve({
        outcome: record.outcome,
        detail: typeof record.detail === 'string' ? record.detail : '',
      });
    };
    target.addEventListener(SAVE_RESULT_EVENT, listener);
  });
}
