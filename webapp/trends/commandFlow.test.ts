// @vitest-environment node
import { describe, expect, it } from 'vitest';
import {
  commandFlow,
  DONE_TEXT,
  ENTER_NUMBER_TEXT,
  IDLE,
  readAnalogInput,
  UNCONFIRMED_TEXT,
  type CommandEvent,
  type CommandFlow,
} from './commandFlow';

describe('readAnalogInput', () => {
  const valve = { min: 0, max: 100 };
  it.each<[string, { min?: number; max?: number }, unknown]>([
    ['42', valve, { value: 42 }],
    [' 12,5 ', valve, { value: 12.5 }],
    ['0', valve, { value: 0 }],
    ['100', valve, { value: 100 }],
    ['100.01', valve, { problem: 'Значение вне диапазона 0–100' }],
    ['-1', valve, { problem: 'Значение вне диапазона 0–100' }],
    ['3', { min: 0.5, max: 2.25 }, { problem: 'Значение вне диапазона 0.5–2.25' }],
    ['-3', { min: 0 }, { problem: 'Значение вне диапазона 0–∞' }],
    ['1e9', {}, { value: 1e9 }],
    ['', valve, { problem: ENTER_NUMBER_TEXT }],
    ['abc', valve, { problem: ENTER_NUMBER_TEXT }],
    ['12,5,1', valve, { problem: ENTER_NUMBER_TEXT }],
    ['Infinity', {}, { problem: ENTER_NUMBER_TEXT }],
    ['0x10', {}, { problem: ENTER_NUMBER_TEXT }],
    ['-.5', {}, { value: -0.5 }],
  ])('reads "%s" within %j as %j', (text, range, expected) => {
    expect(readAnalogInput(text, range)).toEqual(expected);
  });
});

describe('commandFlow', () => {
  const confirm: CommandFlow = { step: 'confirm', from: true, to: false };
  const waiting: CommandFlow = { step: 'waiting', to: false };
  const refused: CommandFlow = { step: 'idle', note: { text: 'x', tone: 'problem' } };
  const ask: CommandEvent = { type: 'ask', from: true, to: false };

  it.each<[string, CommandFlow, CommandEvent, CommandFlow]>([
    ['asks for confirmation first', IDLE, ask, confirm],
    ['asks anew after an answer', refused, ask, confirm],
    ['sends on confirmation', confirm, { type: 'confirm' }, waiting],
    ['goes back without sending on cancel', confirm, { type: 'cancel' }, IDLE],
    [
      'says the point followed',
      waiting,
      { type: 'answer', answer: { outcome: 'done' } },
      { step: 'idle', note: { text: DONE_TEXT, tone: 'done' } },
    ],
    [
      'says the point did not follow',
      waiting,
      { type: 'answer', answer: { outcome: 'unconfirmed' } },
      { step: 'idle', note: { text: UNCONFIRMED_TEXT, tone: 'problem' } },
    ],
    [
      'gives the station’s reason as it is',
      waiting,
      { type: 'answer', answer: { error: 'Нет права на управление' } },
      { step: 'idle', note: { text: 'Нет права на управление', tone: 'problem' } },
    ],
    [
      'tells why a value cannot be asked for',
      IDLE,
      { type: 'refuse', text: ENTER_NUMBER_TEXT },
      { step: 'idle', note: { text: ENTER_NUMBER_TEXT, tone: 'problem' } },
    ],
    ['forgets that word once the value changes', refused, { type: 'edit' }, IDLE],
    // Nothing new while one command is under way or awaits its confirmation.
    ['ignores another value while waiting', waiting, ask, waiting],
    [
      'ignores another value while confirming',
      confirm,
      { type: 'ask', from: true, to: true },
      confirm,
    ],
    ['ignores a second confirmation', waiting, { type: 'confirm' }, waiting],
    ['cannot cancel what was sent', waiting, { type: 'cancel' }, waiting],
    [
      'ignores an answer nobody waits for',
      IDLE,
      { type: 'answer', answer: { outcome: 'done' } },
      IDLE,
    ],
    [
      'ignores an answer before confirmation',
      confirm,
      { type: 'answer', answer: { outcome: 'done' } },
      confirm,
    ],
    ['ignores a confirmation of nothing', IDLE, { type: 'confirm' }, IDLE],
  ])('%s', (_name, state, event, expected) => {
    expect(commandFlow(state, event)).toEqual(expected);
  });
});
