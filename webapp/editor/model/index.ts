export {
  MIN_ELEMENT_SIZE,
  MIN_SCHEME_SIZE,
  ROTATION_STEP,
  ZOOM_FACTOR,
  ZOOM_MAX,
  ZOOM_MIN,
} from './constants';
export type {
  ClipboardText,
  EditorAction,
  EditorActionType,
  EditorState,
  EditorStateOptions,
  ElementPosition,
  LastPaste,
} from './state';
export { createEditorState } from './state';
export { editorReducer, pushHistory } from './reducer';
export type { ElementPatch, Rect } from './elements';
export { applyPatch, moveElementTo, reassignIds, resizeElementTo, snapToGrid } from './elements';
export type { AlignMode, ReorderMode, RotationDirection } from './arrange';
export {
  alignElements,
  alignMinimum,
  reorderElements,
  rotateAngle,
  rotateElements,
} from './arrange';
export type { PrimitiveType } from './factories';
export {
  createPipe,
  createPrimitive,
  createSymbolElement,
  isPrimitiveType,
  primitiveTypes,
} from './factories';
export type { Point, VertexSnap } from './polyline';
export {
  MIN_VERTICES,
  appendVertex,
  createPipeThrough,
  distinctVertexCount,
  flattenVertices,
  drawnVertices,
  insertElementVertex,
  insertVertex,
  insertVertexNear,
  moveElementVertex,
  moveVertex,
  nearestSegment,
  placeVertex,
  pointsBounds,
  removeElementVertex,
  removeVertex,
  toElementFrame,
  vertexList,
  withPoints,
} from './polyline';
export { PipeToolContext, PipeToolProvider, usePipeTool } from './pipeTool';
export type { PipeToolValue } from './pipeTool';
export type { ElementBufferResult } from './buffer';
export {
  BUFFER_MESSAGES,
  isElementBuffer,
  parseElementBuffer,
  serializeElementBuffer,
} from './buffer';
export type { EditorContextValue, EditorProviderProps } from './context';
export { EditorContext, EditorProvider, useEditor } from './context';
export type { CatalogScheme, SchemeCatalog } from './schemes';
export {
  createNewScheme,
  FALLBACK_SCHEME_ID,
  isSchemeIdTaken,
  linkNotFoundText,
  NEW_SCHEME_NAME,
  NEW_SCHEME_SIZE,
  NO_SCHEME_CATALOG,
  SCHEME_ID_MESSAGES,
  SchemeCatalogContext,
  schemeIdProblems,
  schemeSlug,
  useSchemeCatalog,
} from './schemes';
