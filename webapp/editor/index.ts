// The scheme editor's one entry for the rest of the application: each part
// keeps a small public face in its own folder.
export * from './model';
export * from './kit';
export * from './canvas';
export * from './palette';
export * from './properties';
export * from './toolbar';
export * from './shell';
