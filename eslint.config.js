import js from '@eslint/js';
import compat from 'eslint-plugin-compat';
import reactHooks from 'eslint-plugin-react-hooks';
import globals from 'globals';
import tseslint from 'typescript-eslint';

// The application's rooms, lowest first: a room imports only from rooms below
// it, so no two rooms ever import each other.
const rooms = [
  ['content', 'scheme', 'symbols', 'styles', 'data', 'emulator'],
  ['station'],
  ['view'],
  ['trends'],
  ['alarms'],
  ['editor'],
  ['shell'],
];

/** One lint block per room that forbids importing a room above it. */
function downwardImports() {
  return rooms.flatMap((level, index) => {
    const above = rooms.slice(index + 1).flat();
    if (above.length === 0) return [];
    return level.flatMap((room) =>
      [1, 2, 3].map((depth) => {
        const up = '../'.repeat(depth);
        const folder = `webapp/${room}/${'*/'.repeat(depth - 1)}`;
        return {
          files: [`${folder}*.{ts,tsx}`],
          ignores: ['webapp/**/*.test.{ts,tsx}', 'webapp/**/*.fixture.ts'],
          rules: {
            'no-restricted-imports': [
              'error',
              {
                patterns: [
                  {
                    group: above.flatMap((name) => [`${up}${name}`, `${up}${name}/*`]),
                    message: `${room} imports only from the rooms below it.`,
                  },
                ],
              },
            ],
          },
        };
      }),
    );
  });
}

export default tseslint.config(
  { ignores: ['host/', 'mvp/', 'build/', 'build-*/', 'node_modules/', 'test-results/'] },
  js.configs.recommended,
  ...tseslint.configs.recommended,
  {
    files: ['webapp/**/*.{ts,tsx}'],
    languageOptions: { globals: { ...globals.browser, ...globals.worker } },
    plugins: { 'react-hooks': reactHooks, compat },
    settings: {
      // The bundle must run on the Chromium 102 inside QtWebEngine 6.4.
      browsers: ['chrome >= 102'],
      lintAllEsApis: true,
    },
    rules: {
      'react-hooks/rules-of-hooks': 'error',
      'react-hooks/exhaustive-deps': 'warn',
      'compat/compat': 'error',
      // Newer than Chromium 102 and not known to the compatibility data above.
      'no-restricted-properties': [
        'error',
        { object: 'Object', property: 'groupBy', message: 'Not available in Chromium 102.' },
        { object: 'Map', property: 'groupBy', message: 'Not available in Chromium 102.' },
        { object: 'Promise', property: 'withResolvers', message: 'Not available in Chromium 102.' },
        { object: 'Array', property: 'fromAsync', message: 'Not available in Chromium 102.' },
        { property: 'toSorted', message: 'Not available in Chromium 102.' },
        { property: 'toReversed', message: 'Not available in Chromium 102.' },
        { property: 'toSpliced', message: 'Not available in Chromium 102.' },
        { property: 'checkVisibility', message: 'Not available in Chromium 102.' },
        { property: 'union', message: 'Set methods are not available in Chromium 102.' },
        { property: 'intersection', message: 'Set methods are not available in Chromium 102.' },
        {
          property: 'symmetricDifference',
          message: 'Set methods are not available in Chromium 102.',
        },
        { property: 'isSubsetOf', message: 'Set methods are not available in Chromium 102.' },
      ],
    },
  },
  ...downwardImports(),
  {
    files: ['webapp/**/*.test.{ts,tsx}', 'webapp/test-setup.ts'],
    rules: { 'compat/compat': 'off' },
  },
  {
    files: ['e2e/**/*.{ts,mjs,js}', '*.config.{ts,js}', 'scripts/**/*.{mjs,js}'],
    languageOptions: { globals: { ...globals.node } },
  },
);
