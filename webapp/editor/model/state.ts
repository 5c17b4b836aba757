import type { Scheme, SchemeElement, SchemeSize } from '../../scheme';
import type { AlignMode, ReorderMode, RotationDirection } from './arrange';
import type { ElementPatch, Rect } from './elements';

export interface ClipboardText {
  json: string;
}

export interface LastPaste {
  json: string;
  offset: number;
}

export interface EditorState {
  readonly scheme: Scheme;
  /** In the order the selecting command gave; not checked against the scheme. */
  readonly selectedIds: readonly string[];
  readonly gridSize: number;
  readonly snapEnabled: boolean;
  readonly zoom: number;
  /** Undo history, oldest first; the last entry is the scheme before the latest change. */
  readonly past: readonly Scheme[];
  /** Redo history; the first entry is the scheme that "redo" restores. */
  readonly future: readonly Scheme[];
  /** Buffer text of the last "copy". */
  readonly clipboard?: ClipboardText;
  /** Buffer text and offset of the last successful "paste". */
  readonly lastPaste?: LastPaste;
  /** Message of the last failed "paste". */
  readonly clipboardError?: string;
  /** A new scheme's id follows its name until the id is edited by hand. */
  readonly idFollowsName?: boolean;
}

export interface EditorStateOptions {
  /** For a new scheme: its id follows its name until edited by hand. */
  idFollowsName?: boolean;
}

export function createEditorState(scheme: Scheme, options: EditorStateOptions = {}): EditorState {
  const state: EditorState = {
    scheme,
    selectedIds: [],
    gridSize: 10,
    snapEnabled: true,
    zoom: 1,
    past: [],
    future: [],
  };
  return options.idFollowsName ? { ...state, idFollowsName: true } : state;
}

export interface ElementPosition {
  id: string;
  x: number;
  y: number;
}

export type EditorAction =
  | { type: 'add'; element: SchemeElement }
  | { type: 'select'; ids: readonly string[]; additive?: boolean }
  | { type: 'update'; id: string; patch: ElementPatch }
  | { type: 'updateMany'; ids: readonly string[]; patch: ElementPatch }
  | { type: 'moveTo'; positions: readonly ElementPosition[] }
  | { type: 'resizeTo'; id: string; rect: Rect }
  | { type: 'moveVertex'; id: string; index: number; x: number; y: number }
  | { type: 'insertVertex'; id: string; index: number; x: number; y: number }
  | { type: 'removeVertex'; id: string; index: number }
  | { type: 'nudge'; ids: readonly string[]; dx: number; dy: number }
  | { type: 'align'; ids: readonly string[]; mode: AlignMode }
  | { type: 'reorder'; ids: readonly string[]; mode: ReorderMode }
  | { type: 'rotate'; ids: readonly string[]; direction: RotationDirection }
  | { type: 'remove'; ids: readonly string[] }
  | { type: 'copy' }
  | { type: 'paste'; json?: string }
  | { type: 'setSchemeSize'; size: SchemeSize }
  | { type: 'setSchemeName'; name: string }
  | { type: 'setSchemeId'; id: string }
  | { type: 'setGrid'; gridSize: number }
  | { type: 'toggleSnap' }
  | { type: 'setZoom'; zoom: number }
  | { type: 'loadScheme'; scheme: Scheme }
  | { type: 'undo' }
  | { type: 'redo' };

export type EditorActionType = EditorAction['type'];
