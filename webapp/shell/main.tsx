import { StrictMode } from 'react';
import { createRoot } from 'react-dom/client';
import '../styles/index.css';
import { createEmulatorDataSource } from '../data';

// The one data source of the page: starts or joins the emulator worker.
const dataSource = createEmulatorDataSource();
void dataSource;

// Minimal root until the operator runtime is mounted here.
const container = document.getElementById('root');
if (container) {
  createRoot(container).render(
    <StrictMode>
      <div className="orvo-root app" />
    </StrictMode>,
  );
}
