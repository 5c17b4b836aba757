// The application's entry: registers the symbols, checks the stock schemes,
// builds the registry and mounts the shell with the page's one data source
// and, inside the desktop program, its scheme folder.
import '../symbols';
import { StrictMode } from 'react';
import { createRoot } from 'react-dom/client';
import { createLoadEntries, stockSchemes } from '../content';
import { createPageDataSource } from '../data';
import { connectStation, forwardEmulator, settingsOf } from '../station';
import '../styles/index.css';
import { AppShell } from './AppShell';
import { createSchemeRegistry } from './registry';
import { createSchemeFolder, followSchemeFolder } from './schemeFolder';
import { followSymbolFolder } from './symbolFolder';

const entries = [...stockSchemes, ...createLoadEntries()];
// The emulator unless the desktop program or the page address names a broker.
const { dataSource, connection, emulated } = createPageDataSource();
const registry = createSchemeRegistry(entries);
// Inside the desktop program (served from "qrc:") the station's scheme folder
// joins the navigation; a browser has no such folder.
const folder = location.protocol === 'qrc:' ? createSchemeFolder({ builtIn: entries }) : undefined;
if (folder) followSchemeFolder(folder);
// Its own symbols join the palette the same way.
if (folder) followSymbolFolder();

// Inside the program the station records what the page's emulator produces.
const station = connectStation().catch(() => null);
void station.then((found) => {
  if (found && emulated) forwardEmulator(dataSource, found);
});
const viewSettings = settingsOf(station, 'view');

const container = document.getElementById('root');
if (container) {
  createRoot(container).render(
    <StrictMode>
      <AppShell
        registry={registry}
        dataSource={dataSource}
        connection={connection}
        folder={folder}
        viewSettings={viewSettings}
      />
    </StrictMode>,
  );
}
