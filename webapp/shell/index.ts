export { AppShell } from './AppShell';
export type { AppShellProps } from './AppShell';
export { RuntimeView } from './RuntimeView';
export type { RuntimeViewProps } from './RuntimeView';
export { createSchemeRegistry } from './registry';
export type { SchemeEntry, SchemeRegistry } from './registry';
export { pointsAttribute, renderElement } from './render';
export type { NodeCallback } from './render';
export type { ElementNode, NodeMap } from '../scheme';
