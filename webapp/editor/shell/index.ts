// Public face of the editor's shell; filled in as its modules land.
export {};
