// The notice of a change on disk of the scheme folder's file an editor has open.

import { useMemo } from 'react';
import { Button } from '../kit';
import { useSchemeDiskFile } from './diskFileContext';
import { useSchemeFiles } from './schemeFiles';

export const DISK_NOTICE_TEXTS = {
  changed: (fileName: string) => `Файл «${fileName}» изменён на диске`,
  removed: (fileName: string) => `Файл «${fileName}» удалён из папки схем`,
  take: 'Загрузить с диска',
} as const;

const noticeStyle = {
  color: 'var(--orvo-alarm)',
  display: 'inline-flex',
  alignItems: 'center',
  gap: 'var(--orvo-space-2)',
};

/** The notice of a change on disk; silent when the disk holds what the editor last saved. */
export function DiskFileNotice() {
  const disk = useSchemeDiskFile();
  const files = useSchemeFiles();
  const change = disk?.change;
  const saved = files?.savedScheme;
  const ownSave = useMemo(
    () =>
      change?.kind === 'changed' &&
      saved !== undefined &&
      JSON.stringify(change.scheme) === JSON.stringify(saved),
    [change, saved],
  );
  if (!disk || !change || !files || ownSave) return null;
  return (
    <span data-testid="disk-notice" role="status" style={noticeStyle}>
      {DISK_NOTICE_TEXTS[change.kind](disk.fileName)}
      {change.kind === 'changed' && (
        <Button
          size="sm"
          onClick={() => {
            files.open(change.scheme);
            disk.onTaken?.();
          }}
        >
          {DISK_NOTICE_TEXTS.take}
        </Button>
      )}
    </span>
  );
}
