// Public face of the editor's palette; filled in as its modules land.
export {};
