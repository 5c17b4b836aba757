export { AppShell } from './AppShell';
export type { AppShellProps } from './AppShell';
export { RuntimeView } from '../view';
export type { RuntimeViewProps } from '../view';
export { createSchemeRegistry } from './registry';
export type { SchemeEntry, SchemeRegistry } from './registry';
export { pointsAttribute, renderElement } from '../view';
export type { NodeCallback } from '../view';
export type { ElementNode, NodeMap } from '../scheme';
export { findLinkedEntry, workModeOptions } from './AppShell';
export type { WorkMode } from './AppShell';
export {
  createSchemeFolder,
  followSchemeFolder,
  FOLDER_ENTRY_PREFIX,
  folderEntryName,
  MAX_SCHEME_FILE_SIZE,
  SCHEME_FOLDER_ADDRESS,
  SCHEME_FOLDER_CHANGED_EVENT,
  xhrTransport,
} from './schemeFolder';
export type {
  FolderSchemeEntry,
  SchemeFolder,
  SchemeFolderOptions,
  SchemeFolderSource,
  SchemeFolderTransport,
} from './schemeFolder';
export {
  followSymbolFolder,
  SYMBOL_FOLDER_ADDRESS,
  SYMBOL_FOLDER_CHANGED_EVENT,
} from './symbolFolder';
export type { SymbolFolderFollower, SymbolFolderOptions } from './symbolFolder';
