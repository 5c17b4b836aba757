// The file an editor's scheme came from, when it came from the station's
// scheme folder: saving proposes that file again, and a change of the file
// on disk while the editor is open is shown in place, never taken silently.

import { createContext, useContext } from 'react';
import type { Scheme } from '../../scheme';

export type SchemeDiskChange = { kind: 'changed'; scheme: Scheme } | { kind: 'removed' };

export interface SchemeDiskFile {
  /** The file's name in the scheme folder. */
  fileName: string;
  /** What became of the file since the editor opened it, if anything. */
  change?: SchemeDiskChange;
  /** Called once the editor has taken the version on disk. */
  onTaken?: () => void;
}

export const SchemeDiskFileContext = createContext<SchemeDiskFile | undefined>(undefined);

export function useSchemeDiskFile(): SchemeDiskFile | undefined {
  return useContext(SchemeDiskFileContext);
}
