import { useEffect, useRef, useState } from 'react';
import type { DataSource } from '../data';
import { startMarkerClock } from '../styles';
import type { SchemeRegistry } from './registry';
import { RuntimeView } from './RuntimeView';

export interface AppShellProps {
  registry: SchemeRegistry;
  dataSource: DataSource;
}

export function AppShell({ registry, dataSource }: AppShellProps) {
  const entries = registry.list();
  const [selectedId, setSelectedId] = useState(() => entries[0]?.id ?? '');
  const scheme = registry.get(selectedId);
  const rootRef = useRef<HTMLDivElement>(null);

  // One clock for every blinking and flowing element of the page.
  useEffect(() => {
    const root = rootRef.current;
    return root ? startMarkerClock(root) : undefined;
  }, []);

  return (
    <div className="orvo-root app" ref={rootRef}>
      <nav className="app__nav">
        <div className="app__nav-title">Мнемосхемы</div>
        {/* Keyed by place: two entries may share an id, and the list never changes. */}
        {entries.map((entry, index) => (
          <button
            key={index}
            type="button"
            className="app__nav-item"
            data-scheme={entry.id}
            data-testid={`scheme-${entry.id}`}
            aria-current={entry.id === selectedId ? 'true' : 'false'}
            onClick={() => setSelectedId(entry.id)}
          >
            {entry.name}
          </button>
        ))}
      </nav>
      <main className="app__main">
        <header className="app__head">
          <div className="app__title" data-testid="scheme-title">
            {scheme?.name}
          </div>
        </header>
        <div className="app__stage" data-testid="stage">
          {scheme && (
            <div
              data-testid="runtime"
              style={{ width: `${scheme.size.width}px`, height: `${scheme.size.height}px` }}
            >
              <RuntimeView key={scheme.id} scheme={scheme} dataSource={dataSource} />
            </div>
          )}
        </div>
      </main>
    </div>
  );
}
