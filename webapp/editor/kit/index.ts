// Public face of the editor's kit; filled in as its modules land.
export {};
