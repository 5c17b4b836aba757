// Whether the pipe tool is armed: view state of one editor, shared by the
// toolbar's button and the canvas that draws the pipe. It never enters the
// scheme or the history; only the finished pipe does, as one "add".

import { createContext, useContext, useMemo, useState, type ReactNode } from 'react';

export interface PipeToolValue {
  armed: boolean;
  setArmed: (armed: boolean) => void;
}

const unarmed: PipeToolValue = { armed: false, setArmed: () => {} };

export const PipeToolContext = createContext<PipeToolValue>(unarmed);

export function PipeToolProvider({ children }: { children?: ReactNode }) {
  const [armed, setArmed] = useState(false);
  const value = useMemo(() => ({ armed, setArmed }), [armed]);
  return <PipeToolContext.Provider value={value}>{children}</PipeToolContext.Provider>;
}

/** The pipe tool of the editor around; outside one it is never armed. */
export function usePipeTool(): PipeToolValue {
  return useContext(PipeToolContext);
}
