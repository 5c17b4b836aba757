import { act, render, renderHook, screen } from '@testing-library/react';
import { describe, expect, it, vi } from 'vitest';
import { EditorProvider, useEditor } from './context';
import { makeState, rect } from './testFixtures';

function SelectionProbe() {
  const { state, dispatch } = useEditor();
  return (
    <button type="button" onClick={() => dispatch({ type: 'select', ids: ['a'] })}>
      {state.selectedIds.join(',') || 'none'}
    </button>
  );
}

describe('editor context', () => {
  it('runs the commands of its descendants on the state it was given', () => {
    render(
      <EditorProvider initial={makeState([rect('a')])}>
        <SelectionProbe />
      </EditorProvider>,
    );
    act(() => screen.getByRole('button').click());
    expect(screen.getByRole('button')).toHaveTextContent('a');
  });

  it('refuses a caller outside a provider', () => {
    // React reports the render error through the console and the window before rethrowing it.
    const quiet = vi.spyOn(console, 'error').mockImplementation(() => {});
    const handled = (event: ErrorEvent): void => event.preventDefault();
    window.addEventListener('error', handled);
    try {
      expect(() => renderHook(() => useEditor())).toThrow(
        'useEditor must be used within EditorProvider',
      );
    } finally {
      window.removeEventListener('error', handled);
      quiet.mockRestore();
    }
  });
});
