// The header's notice while the program does not record history: its disk
// is full (recording resumes by itself) or its history file is unusable.

import { useEffect, useState } from 'react';
import type { RecordingMonitor, RecordingState } from '../station';

export const RECORDING_NOTICES: Partial<Record<RecordingState, string>> = {
  'paused-disk-full': 'Запись истории приостановлена: диск заполнен',
  unavailable: 'История не записывается: файл истории недоступен',
};

/** The notice for the program's recording now, or nothing while it records. */
export function useRecordingNotice(recording?: RecordingMonitor): string | undefined {
  const [state, setState] = useState<RecordingState>('on');
  useEffect(() => {
    if (!recording) return undefined;
    let current = true;
    const unsubscribe = recording.subscribe(setState);
    recording.current().then(
      (known) => {
        if (current) setState(known);
      },
      () => {
        // Not known: no notice rather than a wrong one.
      },
    );
    return () => {
      current = false;
      unsubscribe();
    };
  }, [recording]);
  return RECORDING_NOTICES[state];
}
