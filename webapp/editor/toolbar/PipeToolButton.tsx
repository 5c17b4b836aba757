import { IconButton, ToolbarSeparator } from '../kit';
import { usePipeTool } from '../model';

export const PIPE_TOOL_LABEL = 'Нарисовать трубу';

/** Arms the pipe tool of the canvas; pressed while a pipe is being drawn. */
export function PipeToolButton() {
  const { armed, setArmed } = usePipeTool();
  return (
    <>
      <ToolbarSeparator />
      <IconButton
        icon="pipe"
        label={PIPE_TOOL_LABEL}
        aria-pressed={armed}
        onClick={() => setArmed(!armed)}
      />
    </>
  );
}
