// Public face of the editor's canvas; filled in as its modules land.
export {};
