// The editor's icon set: one SVG path per name, drawn in a 24 × 24 box with
// the text colour of the surrounding control.

export const iconPaths = {
  undo: 'M9 14L4 9l5-5M4 9h11a5 5 0 0 1 0 10h-4',
  redo: 'M15 14l5-5-5-5M20 9H9a5 5 0 0 0 0 10h4',
  save: 'M4 4h13l3 3v13H4zM8 4v6h8V4M8 20v-6h8v6',
  open: 'M3 6h6l2 2h10v11H3zM3 6v13',
  grid: 'M3 9h18M3 15h18M9 3v18M15 3v18',
  zoomIn: 'M11 4a7 7 0 1 0 0 14 7 7 0 0 0 0-14zM20 20l-4.2-4.2M8 11h6M11 8v6',
  zoomOut: 'M11 4a7 7 0 1 0 0 14 7 7 0 0 0 0-14zM20 20l-4.2-4.2M8 11h6',
  preview: 'M2 12s4-7 10-7 10 7 10 7-4 7-10 7-10-7-10-7zM12 9a3 3 0 1 0 0 6 3 3 0 0 0 0-6z',
  trash: 'M4 7h16M9 7V4h6v3M6 7l1 13h10l1-13M10 11v6M14 11v6',
  rect: 'M4 6h16v12H4z',
  text: 'M5 6h14M12 6v12M9 18h6',
  value: 'M4 7h16M4 12h10M4 17h13',
  pipe: 'M3 12h6l4-5h8M13 7v10',
  alignLeft: 'M4 3v18M8 7h9M8 14h6',
  alignHCenter: 'M12 3v18M7 7h10M9 14h6',
  alignRight: 'M20 3v18M7 7h9M10 14h6',
  alignTop: 'M3 4h18M7 8v9M14 8v6',
  alignVCenter: 'M3 12h18M7 7v10M14 9v6',
  alignBottom: 'M3 20h18M7 7v9M14 10v6',
  toFront: 'M4 4h16M12 21V8M8 12l4-4 4 4',
  forward: 'M12 20V5M7 10l5-5 5 5',
  backward: 'M12 4v15M7 14l5 5 5-5',
  toBack: 'M4 20h16M12 3v13M8 12l4 4 4-4',
  rotateCcw: 'M12 5A7 7 0 1 0 19 12M16 15l3-3 3 3',
  rotateCw: 'M12 5A7 7 0 1 1 5 12M8 15l-3 -3 -3 3',
  copy: 'M9 9h11v11H9zM9 15H4V4h11v5',
  paste: 'M9 3h6v3H9zM5 5h14v16H5z',
  newScheme: 'M5 3h9l5 5v13H5zM14 3v5h5M12 11v6M9 14h6',
} as const;

export type IconName = keyof typeof iconPaths;

export interface IconProps {
  /** An entry of `iconPaths`; any other name draws nothing. */
  name: IconName | (string & {});
  size?: number;
}

export function Icon({ name, size = 16 }: IconProps) {
  const data = Object.prototype.hasOwnProperty.call(iconPaths, name)
    ? iconPaths[name as IconName]
    : undefined;
  return (
    <svg
      width={size}
      height={size}
      viewBox="0 0 24 24"
      fill="none"
      stroke="currentColor"
      strokeWidth={1.6}
      strokeLinecap="round"
      strokeLinejoin="round"
      aria-hidden="true"
      focusable="false"
    >
      <path d={data} />
    </svg>
  );
}
