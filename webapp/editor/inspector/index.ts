// Public face of the editor's inspector; filled in as its modules land.
export {};
