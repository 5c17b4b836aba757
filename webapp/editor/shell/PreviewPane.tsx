import type { DataSource } from '../../data';
import type { Scheme } from '../../scheme';
import { RuntimeView } from '../../shell';

export interface PreviewPaneProps {
  scheme: Scheme;
  dataSource: DataSource;
}

/**
 * The scheme being edited, unsaved changes included, drawn and bound to live
 * data exactly as in viewing. The view is not keyed, so it follows each change
 * of the scheme by restarting its binder.
 */
export function PreviewPane({ scheme, dataSource }: PreviewPaneProps) {
  return (
    <div
      data-testid="preview"
      style={{ width: `${scheme.size.width}px`, height: `${scheme.size.height}px` }}
    >
      <RuntimeView scheme={scheme} dataSource={dataSource} />
    </div>
  );
}
