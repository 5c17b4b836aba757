// Each rule as one sentence of small controls: "Если <field> <op> <threshold>
// → <value> <property>". Rules arrive unchecked from pasted buffers and
// files, so a rule that cannot be shown as a sentence keeps a row of its own
// and is carried along untouched.

import type { Condition, ElementStyle } from '../../scheme';
import { Button } from '../kit';
import { statusOptions } from './fields';
import {
  extraPropertyCount,
  findRuleProperty,
  newRuleTemplate,
  parseThreshold,
  primaryProperty,
  ruleFieldOptions,
  ruleOperators,
  ruleProperties,
  setRuleProperty,
  switchProperty,
  type RulePropertyKind,
  type RulePropertyName,
} from './rules';

export interface RuleEditorProps {
  conditions: readonly Condition[];
  onChange: (conditions: Condition[]) => void;
}

type Rec = Record<string, unknown>;

function isRecord(value: unknown): value is Rec {
  return typeof value === 'object' && value !== null && !Array.isArray(value);
}

/** A rule that can be shown: a record whose `when` and `set` are records. */
function isReadableRule(rule: unknown): rule is Condition {
  return isRecord(rule) && isRecord(rule.when) && isRecord(rule.set);
}

function asText(value: unknown): string {
  return value === undefined || value === null ? '' : String(value);
}

interface ChoiceOption {
  value: string;
  label: string;
  title?: string;
}

/** Adds the current value when the choices lack it, so that the select shows it as itself. */
function withCurrent(options: readonly ChoiceOption[], value: string): readonly ChoiceOption[] {
  return options.some((option) => option.value === value)
    ? options
    : [...options, { value, label: value }];
}

const fieldChoices: readonly ChoiceOption[] = ruleFieldOptions;
const operatorChoices: readonly ChoiceOption[] = ruleOperators.map((operator) => ({
  value: operator.op,
  label: operator.symbol,
  title: operator.title,
}));
const statusChoices: readonly ChoiceOption[] = statusOptions;
const propertyChoices: readonly ChoiceOption[] = ruleProperties.map((property) => ({
  value: property.name,
  label: property.label,
}));

interface RuleRowProps {
  rule: Condition;
  position: number;
  onReplace: (rule: Condition) => void;
  onDelete: () => void;
}

function ValueControl({
  kind,
  value,
  label,
  onValue,
}: {
  kind: RulePropertyKind;
  value: unknown;
  label: string;
  onValue: (value: unknown) => void;
}) {
  switch (kind) {
    case 'color':
    case 'text':
      return (
        <input
          className="orvo-rule__chip"
          aria-label={label}
          value={typeof value === 'string' ? value : ''}
          onChange={(event) => onValue(event.target.value)}
        />
      );
    case 'number':
      return (
        <input
          type="number"
          className="orvo-rule__chip"
          aria-label={label}
          value={typeof value === 'number' ? value : 0}
          onChange={(event) => {
            const text = event.target.value.trim();
            const number = text === '' ? 0 : Number(text);
            if (Number.isFinite(number)) onValue(number);
          }}
        />
      );
    case 'flag':
      return (
        <input
          type="checkbox"
          aria-label={label}
          checked={value === true}
          onChange={(event) => onValue(event.target.checked)}
        />
      );
    default: {
      const never: never = kind;
      return never;
    }
  }
}

function RuleRow({ rule, position, onReplace, onDelete }: RuleRowProps) {
  const { when, set } = rule;
  const primary = primaryProperty(set);
  const kind = primary === undefined ? 'color' : (findRuleProperty(primary)?.kind ?? 'color');
  const extra = extraPropertyCount(set);
  const field = asText(when.field);
  const threshold = asText(when.value);

  const replaceWhen = (change: Partial<Condition['when']>) =>
    onReplace({ ...rule, when: { ...when, ...change } });
  const replaceSet = (next: ElementStyle) => onReplace({ ...rule, set: next });

  return (
    <div className="orvo-rule">
      <span className="orvo-rule__word">Если</span>
      <select
        className="orvo-rule__chip"
        aria-label={`Поле правила ${position}`}
        value={field}
        onChange={(event) => {
          const next = event.target.value === 'status' ? 'status' : 'value';
          replaceWhen({ field: next, value: next === 'status' ? 'good' : 0 });
        }}
      >
        {withCurrent(fieldChoices, field).map((option) => (
          <option key={option.value} value={option.value}>
            {option.label}
          </option>
        ))}
      </select>
      <select
        className="orvo-rule__chip"
        aria-label={`Оператор правила ${position}`}
        title={ruleOperators.find((operator) => operator.op === when.op)?.title}
        value={asText(when.op)}
        onChange={(event) => {
          const operator = ruleOperators.find((entry) => entry.op === event.target.value);
          if (operator !== undefined) replaceWhen({ op: operator.op });
        }}
      >
        {withCurrent(operatorChoices, asText(when.op)).map((option) => (
          <option key={option.value} value={option.value} title={option.title}>
            {option.label}
          </option>
        ))}
      </select>
      {field === 'status' ? (
        <select
          className="orvo-rule__chip"
          aria-label={`Порог правила ${position}`}
          value={threshold}
          onChange={(event) => replaceWhen({ value: event.target.value })}
        >
          {withCurrent(statusChoices, threshold).map((option) => (
            <option key={option.value} value={option.value}>
              {option.label}
            </option>
          ))}
        </select>
      ) : (
        <input
          className="orvo-rule__chip"
          aria-label={`Порог правила ${position}`}
          value={threshold}
          onChange={(event) => replaceWhen({ value: parseThreshold(event.target.value) })}
        />
      )}
      <span className="orvo-rule__word">→</span>
      <ValueControl
        kind={kind}
        value={primary === undefined ? undefined : set[primary]}
        label={`Значение свойства правила ${position}`}
        onValue={(value) => {
          // Without a property there is nothing the value could belong to.
          if (primary !== undefined) replaceSet(setRuleProperty(set, primary, value));
        }}
      />
      <select
        className="orvo-rule__chip"
        aria-label={`Свойство правила ${position}`}
        value={primary ?? 'fill'}
        onChange={(event) => {
          const to = findRuleProperty(event.target.value)?.name;
          if (to !== undefined) replaceSet(switchProperty(set, primary, to as RulePropertyName));
        }}
      >
        {propertyChoices.map((option) => (
          <option key={option.value} value={option.value}>
            {option.label}
          </option>
        ))}
      </select>
      {extra > 0 ? (
        <span
          className="orvo-rule__extra"
          title="Правило ставит и другие свойства — они сохраняются при правке"
        >
          +{extra}
        </span>
      ) : null}
      <RuleRowEnd position={position} onDelete={onDelete} />
    </div>
  );
}

interface RuleRowEndProps {
  position: number;
  onDelete: () => void;
}

/** The end of a rule's row: the button that deletes the rule, pushed to the right. */
function RuleRowEnd({ position, onDelete }: RuleRowEndProps) {
  return (
    <>
      <span className="orvo-rule__spacer" />
      <Button
        size="sm"
        variant="ghost"
        aria-label={`Удалить правило ${position}`}
        onClick={onDelete}
      >
        ×
      </Button>
    </>
  );
}

function UnreadableRuleRow({ position, onDelete }: RuleRowEndProps) {
  return (
    <div className="orvo-rule" data-testid="rule-unreadable">
      <span className="orvo-rule__word">{`Правило ${position} не читается и сохраняется как есть`}</span>
      <RuleRowEnd position={position} onDelete={onDelete} />
    </div>
  );
}

export function RuleEditor({ conditions, onChange }: RuleEditorProps) {
  const replace = (index: number, rule: Condition) =>
    onChange(conditions.map((current, at) => (at === index ? rule : current)));
  const remove = (index: number) => onChange(conditions.filter((_, at) => at !== index));
  return (
    <>
      <div className="orvo-props__note">
        Правила применяются сверху вниз: каждое сработавшее перекрывает предыдущие.
      </div>
      {conditions.map((rule: unknown, index) =>
        isReadableRule(rule) ? (
          <RuleRow
            key={index}
            rule={rule}
            position={index + 1}
            onReplace={(next) => replace(index, next)}
            onDelete={() => remove(index)}
          />
        ) : (
          <UnreadableRuleRow key={index} position={index + 1} onDelete={() => remove(index)} />
        ),
      )}
      <Button
        size="sm"
        onClick={() =>
          onChange([
            ...conditions,
            { when: { ...newRuleTemplate.when }, set: { ...newRuleTemplate.set } },
          ])
        }
      >
        Добавить правило
      </Button>
    </>
  );
}
