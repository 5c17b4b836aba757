// Entry of the emulator shared worker, started by the first page that creates
// it and shared by every page of the origin.

import { startEmulator, type EmulatorScope } from './host';

startEmulator(self as unknown as EmulatorScope);
