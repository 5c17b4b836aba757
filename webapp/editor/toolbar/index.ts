// Public face of the editor's toolbar and scheme files.
export { EditorToolbar, zoomLabel } from './EditorToolbar';
export type { EditorToolbarProps } from './EditorToolbar';
export { PIPE_TOOL_LABEL, PipeToolButton } from './PipeToolButton';
export {
  PAGE_BUFFER_HINT,
  reorderModes,
  SelectionActions,
  selectedElements,
} from './SelectionActions';
export type { ReorderModeEntry } from './SelectionActions';
export {
  conditionErrors,
  downloadText,
  failureMessage,
  parseSchemeFile,
  readFileText,
  saveSchemeFile,
  SCHEME_FILE_EXTENSION,
  SCHEME_FILE_MESSAGES,
  SCHEME_FILE_TYPE,
  schemeFileName,
  serializeSchemeFile,
  UNNAMED_SCHEME_FILE,
} from './schemeFile';
export { awaitSaveResult, hostReportsSaves, SAVE_RESULT_EVENT } from './saveResult';
export type { SaveOutcome, SaveResult } from './saveResult';
export { SchemeFilesContext, SchemeFilesProvider, useSchemeFiles } from './schemeFiles';
export type { SchemeFilesProviderProps, SchemeFilesValue } from './schemeFiles';
export { DISK_NOTICE_TEXTS, DiskFileNotice } from './diskFile';
export { SchemeDiskFileContext, useSchemeDiskFile } from './diskFileContext';
export type { SchemeDiskChange, SchemeDiskFile } from './diskFileContext';
