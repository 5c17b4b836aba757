import { StrictMode } from 'react';
import { createRoot } from 'react-dom/client';
import '../styles/index.css';

// Minimal root until the operator runtime is mounted here.
const container = document.getElementById('root');
if (container) {
  createRoot(container).render(
    <StrictMode>
      <div className="orvo-root app" />
    </StrictMode>,
  );
}
