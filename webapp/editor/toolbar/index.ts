// Public face of the editor's toolbar; filled in as its modules land.
export {};
