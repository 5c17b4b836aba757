// The card's command to a point, step by step: a value is asked for, shown
// beside the present one for confirmation, sent, and answered. Nothing is sent
// before the confirmation, and nothing new is asked while an answer is awaited.
import type { PointInfo } from '../data';
import type { CommandAnswer } from '../station';
import { formatValue } from './format';

export type CommandValue = boolean | number;

export interface CommandNote {
  text: string;
  /** "done": the point followed; "problem": anything else, to be read. */
  tone: 'done' | 'problem';
}

export type CommandFlow =
  | { step: 'idle'; note?: CommandNote }
  | { step: 'confirm'; from: CommandValue | undefined; to: CommandValue }
  | { step: 'waiting'; to: CommandValue };

export type CommandEvent =
  /** A value chosen, with the point's present one. */
  | { type: 'ask'; from: CommandValue | undefined; to: CommandValue }
  /** A value that cannot be asked for, and why. */
  | { type: 'refuse'; text: string }
  /** The value being changed: an earlier word on it no longer applies. */
  | { type: 'edit' }
  | { type: 'cancel' }
  | { type: 'confirm' }
  | { type: 'answer'; answer: CommandAnswer };

export const IDLE: CommandFlow = { step: 'idle' };

export const SENT_TEXT = 'Команда отправлена…';
export const DONE_TEXT = 'Выполнено';
export const UNCONFIRMED_TEXT = 'Нет подтверждения от объекта';
export const ENTER_NUMBER_TEXT = 'Введите число';

export function outOfRangeText(min: number | undefined, max: number | undefined): string {
  const low = min === undefined ? '−∞' : formatValue(min);
  const high = max === undefined ? '∞' : formatValue(max);
  return `Значение вне диапазона ${low}–${high}`;
}

/** What the station's answer says to the user. */
export function answerNote(answer: CommandAnswer): CommandNote {
  if ('error' in answer) return { text: answer.error, tone: 'problem' };
  return answer.outcome === 'done'
    ? { text: DONE_TEXT, tone: 'done' }
    : { text: UNCONFIRMED_TEXT, tone: 'problem' };
}

const DECIMAL = /^[-+]?(\d+\.?\d*|\.\d+)(e[-+]?\d+)?$/i;

/**
 * The number typed for an analog point, or why it cannot be sent: not a
 * number, or outside the point's range. A decimal comma is taken as a point.
 */
export function readAnalogInput(
  text: string,
  point: Pick<PointInfo, 'min' | 'max'>,
): { value: number } | { problem: string } {
  const trimmed = text.trim().replace(',', '.');
  const value = DECIMAL.test(trimmed) ? Number(trimmed) : Number.NaN;
  if (!Number.isFinite(value)) return { problem: ENTER_NUMBER_TEXT };
  const { min, max } = point;
  if ((min !== undefined && value < min) || (max !== undefined && value > max)) {
    return { problem: outOfRangeText(min, max) };
  }
  return { value };
}

export function commandFlow(state: CommandFlow, event: CommandEvent): CommandFlow {
  switch (event.type) {
    case 'ask':
      return state.step === 'idle' ? { step: 'confirm', from: event.from, to: event.to } : state;
    case 'refuse':
      return state.step === 'idle'
        ? { step: 'idle', note: { text: event.text, tone: 'problem' } }
        : state;
    case 'edit':
      return state.step === 'idle' && state.note ? IDLE : state;
    case 'cancel':
      return state.step === 'confirm' ? IDLE : state;
    case 'confirm':
      return state.step === 'confirm' ? { step: 'waiting', to: state.to } : state;
    case 'answer':
      return state.step === 'waiting' ? { step: 'idle', note: answerNote(event.answer) } : state;
  }
}
