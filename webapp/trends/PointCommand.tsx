// The card's "Управление" section for a point that takes commands: switching
// a discrete point on or off, or giving an analog one a new value. Each
// command is shown beside the present value and sent only once confirmed;
// the station's answer stays in place until the next command.
import { useEffect, useReducer, useRef, useState, useSyncExternalStore } from 'react';
import type { PointInfo } from '../data';
import type { CommandClient, SessionClient } from '../station';
import {
  commandFlow,
  IDLE,
  readAnalogInput,
  SENT_TEXT,
  type CommandFlow,
  type CommandValue,
} from './commandFlow';
import { formatValue } from './format';

export const COMMAND_SECTION_LABEL = 'Управление';
export const NEW_VALUE_LABEL = 'Новое значение';
/** Said when the station refuses commands without a word of its own. */
export const COMMANDS_REFUSED_TEXT = 'Управление недоступно';

export interface PointCommandProps {
  point: PointInfo;
  /** The point's value as the card shows it; none while not known. */
  current: CommandValue | undefined;
  commands: CommandClient;
  session: SessionClient;
}

export function PointCommand({ point, current, commands, session }: PointCommandProps) {
  const state = useSyncExternalStore(session.subscribe, session.current);
  if (!point.writable || !commands.available) return null;
  return (
    <section className="faceplate__command" aria-label={COMMAND_SECTION_LABEL}>
      <h3 className="faceplate__subtitle">{COMMAND_SECTION_LABEL}</h3>
      {state.allowed.commands ? (
        <CommandControls key={point.id} point={point} current={current} commands={commands} />
      ) : (
        <p role="status" className="faceplate__command-refusal">
          {state.reasons.commands ?? COMMANDS_REFUSED_TEXT}
        </p>
      )}
    </section>
  );
}

interface CommandControlsProps {
  point: PointInfo;
  current: CommandValue | undefined;
  commands: CommandClient;
}

function CommandControls({ point, current, commands }: CommandControlsProps) {
  const [flow, dispatch] = useReducer(commandFlow, IDLE);
  const [text, setText] = useState('');
  const mounted = useRef(true);
  useEffect(() => {
    mounted.current = true;
    return () => {
      mounted.current = false;
    };
  }, []);

  const ask = (to: CommandValue) => dispatch({ type: 'ask', from: current, to });
  const setValue = () => {
    const read = readAnalogInput(text, point);
    if ('problem' in read) dispatch({ type: 'refuse', text: read.problem });
    else ask(read.value);
  };
  const confirm = (asked: Extract<CommandFlow, { step: 'confirm' }>) => {
    dispatch({ type: 'confirm' });
    void commands.send(point.id, asked.to).then((answer) => {
      if (mounted.current) dispatch({ type: 'answer', answer });
    });
  };

  if (flow.step === 'confirm') {
    return (
      <div className="faceplate__command-confirm" role="group" aria-label="Подтверждение команды">
        <p data-testid="command-from">Было: {formatValue(flow.from)}</p>
        <p data-testid="command-to">Станет: {formatValue(flow.to)}</p>
        <div className="faceplate__command-buttons">
          <button
            type="button"
            className="orvo-btn orvo-btn--sm orvo-btn--primary"
            onClick={() => confirm(flow)}
          >
            Подтвердить
          </button>
          <button
            type="button"
            className="orvo-btn orvo-btn--sm"
            onClick={() => dispatch({ type: 'cancel' })}
          >
            Отмена
          </button>
        </div>
      </div>
    );
  }

  const waiting = flow.step === 'waiting';
  const note = flow.step === 'idle' ? flow.note : undefined;
  return (
    <>
      {point.kind === 'discrete' ? (
        <div className="faceplate__command-buttons">
          <button
            type="button"
            className="orvo-btn orvo-btn--sm"
            disabled={waiting}
            onClick={() => ask(true)}
          >
            Включить
          </button>
          <button
            type="button"
            className="orvo-btn orvo-btn--sm"
            disabled={waiting}
            onClick={() => ask(false)}
          >
            Отключить
          </button>
        </div>
      ) : (
        // The range is checked here, with the card's own words, not by the browser.
        <form
          className="faceplate__command-buttons"
          noValidate
          onSubmit={(event) => {
            event.preventDefault();
            if (!waiting) setValue();
          }}
        >
          <input
            type="number"
            step="any"
            className="orvo-input faceplate__command-input"
            aria-label={NEW_VALUE_LABEL}
            min={point.min}
            max={point.max}
            value={text}
            disabled={waiting}
            onChange={(event) => {
              setText(event.target.value);
              dispatch({ type: 'edit' });
            }}
          />
          <button type="submit" className="orvo-btn orvo-btn--sm" disabled={waiting}>
            Задать
          </button>
        </form>
      )}
      {waiting && (
        <p role="status" className="faceplate__command-note">
          {SENT_TEXT}
        </p>
      )}
      {note && (
        <p
          role={note.tone === 'done' ? 'status' : 'alert'}
          className="faceplate__command-note"
          data-tone={note.tone}
        >
          {note.text}
        </p>
      )}
    </>
  );
}
