import type { Scheme } from '../scheme';

/** A scheme offered by the application under its registration id and name. */
export interface ContentEntry {
  /** Registration id: the key in the navigation. */
  id: string;
  /** Registration name shown in the navigation; the title above the stage is the scheme's own. */
  name: string;
  scheme: Scheme;
}
