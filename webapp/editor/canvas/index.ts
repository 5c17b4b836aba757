// Public face of the editor's canvas.
export { EditorCanvas } from './EditorCanvas';
export type { CanvasInteraction } from './EditorCanvas';
export { CanvasGrid } from './CanvasGrid';
export type { CanvasGridProps } from './CanvasGrid';
export { SelectionLayer } from './SelectionLayer';
export type { SelectionLayerProps } from './SelectionLayer';
export {
  HANDLE_NAMES,
  HANDLE_SIZE,
  clientToScheme,
  computeDragPositions,
  computeResizeRect,
  handleCursor,
  handlePoint,
  handlesFor,
  marqueeHits,
  rotatedBounds,
  selectionBounds,
} from './geometry';
export type { CanvasPoint, ClientBounds, HandleName, SelectedBox, SnapSettings } from './geometry';
export { PipeDrawing } from './PipeDrawing';
export type { PipeDrawingProps, PointAt } from './PipeDrawing';
export {
  VERTEX_HANDLE_SIZE,
  VertexHandles,
  insertVertexAction,
  selectedPolyline,
} from './VertexHandles';
export type { VertexHandlesProps } from './VertexHandles';
