// The application's entry: registers the symbols, checks the stock schemes,
// builds the registry and mounts the shell with the page's one data source
// and, inside the desktop program, its scheme folder.
import '../symbols';
import { StrictMode } from 'react';
import { createRoot } from 'react-dom/client';
import { createLoadEntries, stockSchemes } from '../content';
import { createPageDataSource } from '../data';
import '../styles/index.css';
import { createLocalTrendSettingsStore, createNoHostHistoryClient, MAX_PENS } from '../trends';
import { AppShell } from './AppShell';
import { createSchemeRegistry } from './registry';
import { createSchemeFolder, followSchemeFolder } from './schemeFolder';
import { followSymbolFolder } from './symbolFolder';

const entries = [...stockSchemes, ...createLoadEntries()];
// The emulator unless the desktop program or the page address names a broker.
const { dataSource, connection } = createPageDataSource();
const registry = createSchemeRegistry(entries);
// Inside the desktop program (served from "qrc:") the station's scheme folder
// joins the navigation; a browser has no such folder.
const folder = location.protocol === 'qrc:' ? createSchemeFolder({ builtIn: entries }) : undefined;
if (folder) followSchemeFolder(folder);
// Its own symbols join the palette the same way.
if (folder) followSymbolFolder();

// No host history yet: the trends say so and follow the live values only. The
// trends' pens and range stay in the page's own storage until the host keeps them.
const history = createNoHostHistoryClient();
const trendSettings = createLocalTrendSettingsStore(localStorage, MAX_PENS);

const container = document.getElementById('root');
if (container) {
  createRoot(container).render(
    <StrictMode>
      <AppShell
        registry={registry}
        dataSource={dataSource}
        connection={connection}
        folder={folder}
        history={history}
        trendSettings={trendSettings}
      />
    </StrictMode>,
  );
}
