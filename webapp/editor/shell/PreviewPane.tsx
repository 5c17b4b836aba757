import { useState } from 'react';
import type { DataSource } from '../../data';
import type { Scheme } from '../../scheme';
import { RuntimeView } from '../../view';
import { linkNotFoundText, useSchemeCatalog } from '../model';

const problemStyle = { color: 'var(--orvo-alarm)' };

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
  const { openScheme } = useSchemeCatalog();
  const [problem, setProblem] = useState<string>();
  const onLink = (id: string) => setProblem(openScheme?.(id) ? undefined : linkNotFoundText(id));
  return (
    <>
      {problem !== undefined && (
        <div role="status" data-testid="link-problem" style={problemStyle}>
          {problem}
        </div>
      )}
      <div
        data-testid="preview"
        style={{ width: `${scheme.size.width}px`, height: `${scheme.size.height}px` }}
      >
        <RuntimeView
          scheme={scheme}
          dataSource={dataSource}
          onLink={openScheme ? onLink : undefined}
        />
      </div>
    </>
  );
}
