// Public face of the editor's shell: the editor of one scheme, its layout with
// the shortcuts and clipboard events, and the live preview.
export { SchemeEditor, UNSAVED_EDITS_TEXT } from './SchemeEditor';
export type { SchemeEditorHandle, SchemeEditorProps } from './SchemeEditor';
export { canvasModeOptions, EditorLayout } from './EditorLayout';
export type { CanvasMode, EditorLayoutProps } from './EditorLayout';
export { PreviewPane } from './PreviewPane';
export type { PreviewPaneProps } from './PreviewPane';
export { arrowSteps, editorKeyAction, handleEditorKey, isTextEntryTarget } from './keys';
export type { EditorKeyEvent } from './keys';
