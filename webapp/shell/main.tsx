// The application's entry: registers the symbols, checks the stock schemes,
// builds the registry and mounts the shell with the page's one data source
// and, inside the desktop program, its scheme folder.
import '../symbols';
import { StrictMode } from 'react';
import { createRoot } from 'react-dom/client';
import { createLoadEntries, stockSchemes } from '../content';
import { createEmulatorPageSource, type PageDataSource } from '../data';
import {
  connectStation,
  emulatorCommands,
  forwardEmulator,
  localSettings,
  withStationHistory,
  type SettingsKey,
} from '../station';
import '../styles/index.css';
import { createNoHostHistoryClient, MAX_PENS, trendSettingsOf } from '../trends';
import { AppShell } from './AppShell';
import { createSchemeRegistry } from './registry';
import { createSchemeFolder, followSchemeFolder } from './schemeFolder';
import { followSymbolFolder } from './symbolFolder';

const entries = [...stockSchemes, ...createLoadEntries()];
const registry = createSchemeRegistry(entries);
// Inside the desktop program (served from "qrc:") the station's scheme folder
// joins the navigation; a browser has no such folder.
const folder = location.protocol === 'qrc:' ? createSchemeFolder({ builtIn: entries }) : undefined;
if (folder) followSchemeFolder(folder);
// Its own symbols join the palette the same way.
if (folder) followSymbolFolder();

// Inside the program the station keeps the history and the views' settings;
// a plain browser has neither, and the page keeps the settings itself. The
// page waits for the program's answer (a moment) before it draws.
const noAnswer = new Promise<null>((resolve) => setTimeout(() => resolve(null), 3000));
void Promise.race([connectStation().catch(() => null), noAnswer]).then((station) => {
  // The program follows the plant's broker itself; without one (and in a
  // plain browser) the page runs its own emulator, whose values the program
  // records.
  const { dataSource, connection, command }: PageDataSource =
    station?.plant.source === 'broker' ? station.plantSource() : createEmulatorPageSource();
  if (station && station.plant.source !== 'broker') forwardEmulator(dataSource, station, command);
  const settings = (key: SettingsKey) => (station ? station.settings(key) : localSettings(key));
  // The program sends the commands; a plain browser hands them to its emulator.
  const commands = station ? station.commands : command && emulatorCommands(dataSource, command);
  // The page's one data source answers history from the program.
  const source = station ? withStationHistory(dataSource, station.history) : dataSource;
  const container = document.getElementById('root');
  if (!container) return;
  createRoot(container).render(
    <StrictMode>
      <AppShell
        registry={registry}
        dataSource={source}
        connection={connection}
        folder={folder}
        history={station?.history ?? createNoHostHistoryClient()}
        trendSettings={trendSettingsOf(settings('trends'), MAX_PENS)}
        viewSettings={settings('view')}
        recording={station?.recording}
        alarms={station?.alarms}
        session={station?.session}
        commands={commands}
      />
    </StrictMode>,
  );
});
