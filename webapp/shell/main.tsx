// The application's entry: registers the symbols, checks the stock schemes,
// builds the registry and mounts the shell with the page's one data source.
import '../symbols';
import { StrictMode } from 'react';
import { createRoot } from 'react-dom/client';
import { createLoadEntries, stockSchemes } from '../content';
import { createPageDataSource } from '../data';
import '../styles/index.css';
import { AppShell } from './AppShell';
import { createSchemeRegistry } from './registry';

const entries = [...stockSchemes, ...createLoadEntries()];
// The emulator unless the desktop program or the page address names a broker.
const { dataSource, connection } = createPageDataSource();
const registry = createSchemeRegistry(entries);

const container = document.getElementById('root');
if (container) {
  createRoot(container).render(
    <StrictMode>
      <AppShell registry={registry} dataSource={dataSource} connection={connection} />
    </StrictMode>,
  );
}
