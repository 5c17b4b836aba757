// The alarm summary: the station's alarms in a table that stays quick with
// thousands of rows, with the operator's actions on each and every refusal
// told beside the control that asked.
import { useMemo, useState, type FormEvent } from 'react';
import type { DataSource } from '../data';
import {
  SHELVE_MINUTES,
  type ActionResult,
  type Alarm,
  type AlarmClient,
  type AlarmPriority,
  type AlarmState,
  type ShelveMinutes,
} from '../station';
import {
  ALARM_STATE_LABELS,
  alarmStateText,
  CHATTERING_LABEL,
  isUnacknowledged,
  PRIORITY_LABELS,
  PriorityMark,
} from '../view';
import { NO_STATION_TEXT } from './AlarmBanner';
import { formatAlarmValue, formatTime } from './format';
import { useAlarmSnapshot, useUnits } from './hooks';
import {
  areasOf,
  inTab,
  nextSort,
  ROW_ACTION_LABELS,
  rowActions,
  SUMMARY_TABS,
  summaryRows,
  type RowAction,
  type SortKey,
  type SummaryFilter,
  type SummarySort,
  type SummaryTab,
} from './summary';
import { VirtualTable } from './VirtualTable';

export const SUMMARY_TITLE = 'Тревоги';
export const SUMMARY_TABLE_LABEL = 'Текущие тревоги';
export const REASON_REQUIRED_TEXT = 'Укажите причину';
export const COMMENT_REQUIRED_TEXT = 'Введите комментарий';

const SHELVE_LABELS: Readonly<Record<ShelveMinutes, string>> = {
  15: '15 мин',
  60: '1 ч',
  240: '4 ч',
  480: '8 ч',
};
const PRIORITIES: readonly AlarmPriority[] = [1, 2, 3, 4];
const TAB_STATES: Readonly<Record<SummaryTab, readonly AlarmState[]>> = {
  standing: ['active', 'acknowledged', 'returned', 'latched'],
  shelved: ['shelved'],
  'out-of-service': ['out-of-service'],
};
const COLUMNS = '170px 150px minmax(150px, 1fr) minmax(80px, 0.6fr) minmax(180px, 2fr) 100px 470px';
const PANEL_HEIGHT = 44;

/** A form or a refusal opened below one row. */
type Panel =
  | { id: string; kind: 'shelve'; minutes: ShelveMinutes; text: string; error?: string }
  | { id: string; kind: 'comment' | 'out-of-service'; text: string; error?: string }
  | { id: string; kind: 'refusal'; error: string };

export interface AlarmSummaryProps {
  alarms: AlarmClient;
  /** The catalogue, for the points' units. */
  dataSource?: DataSource;
}

function SortHead({
  sortKey,
  sort,
  label,
  onSort,
}: {
  sortKey: SortKey;
  sort: SummarySort;
  label: string;
  onSort: (key: SortKey) => void;
}) {
  return (
    <div
      role="columnheader"
      className="alarm-table__cell"
      aria-sort={sort?.key === sortKey ? sort.direction : 'none'}
    >
      <button type="button" className="alarm-table__sort" onClick={() => onSort(sortKey)}>
        {label}
        <span aria-hidden="true">
          {sort?.key !== sortKey ? '' : sort.direction === 'ascending' ? ' ▲' : ' ▼'}
        </span>
      </button>
    </div>
  );
}

export function AlarmSummary({ alarms, dataSource }: AlarmSummaryProps) {
  const snapshot = useAlarmSnapshot(alarms);
  const units = useUnits(dataSource);
  const [tab, setTab] = useState<SummaryTab>('standing');
  const [filter, setFilter] = useState<SummaryFilter>({});
  const [sort, setSort] = useState<SummarySort>(null);
  const [selectedId, setSelectedId] = useState<string | null>(null);
  const [panel, setPanel] = useState<Panel | null>(null);
  const [allRefusal, setAllRefusal] = useState<string | null>(null);

  const all = useMemo(() => [...snapshot.alarms.values()], [snapshot]);
  const rows = useMemo(() => summaryRows(all, tab, filter, sort), [all, tab, filter, sort]);
  const areas = useMemo(() => areasOf(all), [all]);
  const tabCounts = useMemo(() => {
    const counts: Record<SummaryTab, number> = { standing: 0, shelved: 0, 'out-of-service': 0 };
    for (const alarm of all) {
      for (const { value } of SUMMARY_TABS) if (inTab(alarm, value)) counts[value] += 1;
    }
    return counts;
  }, [all]);
  const indexOf = (id: string | null | undefined) =>
    id ? rows.findIndex((alarm) => alarm.id === id) : -1;
  const selected = indexOf(selectedId);
  const openedIndex = indexOf(panel?.id);
  const unacknowledgedShown = rows.filter(isUnacknowledged).map((alarm) => alarm.id);

  const refuse = (id: string) => (result: ActionResult) => {
    if ('error' in result) setPanel({ id, kind: 'refusal', error: result.error });
  };

  const act = (alarm: Alarm, action: RowAction) => {
    const { id } = alarm;
    setSelectedId(id);
    switch (action) {
      case 'acknowledge':
        setPanel(null);
        void alarms.acknowledge([id]).then(refuse(id));
        return;
      case 'unshelve':
        setPanel(null);
        void alarms.unshelve(id).then(refuse(id));
        return;
      case 'reset':
        setPanel(null);
        void alarms.reset(id).then(refuse(id));
        return;
      case 'in-service':
        setPanel(null);
        void alarms.inService(id).then(refuse(id));
        return;
      case 'shelve':
        setPanel({ id, kind: 'shelve', minutes: 60, text: '' });
        return;
      case 'comment':
        setPanel({ id, kind: 'comment', text: alarm.comment ?? '' });
        return;
      case 'out-of-service':
        setPanel({ id, kind: 'out-of-service', text: '' });
        return;
    }
  };

  const submitPanel = (event: FormEvent) => {
    event.preventDefault();
    if (!panel || panel.kind === 'refusal') return;
    const text = panel.text.trim();
    if (text === '') {
      const error = panel.kind === 'comment' ? COMMENT_REQUIRED_TEXT : REASON_REQUIRED_TEXT;
      setPanel({ ...panel, error });
      return;
    }
    const asked = panel;
    const done =
      asked.kind === 'shelve'
        ? alarms.shelve(asked.id, asked.minutes, text)
        : asked.kind === 'comment'
          ? alarms.comment(asked.id, text)
          : alarms.outOfService(asked.id, text);
    void done.then((result) => {
      // Only the form that asked is closed or told why not.
      setPanel((open) => {
        if (open?.id !== asked.id || open.kind !== asked.kind) return open;
        return 'error' in result ? { ...open, error: result.error } : null;
      });
    });
  };

  const acknowledgeShown = () => {
    setAllRefusal(null);
    void alarms.acknowledge(unacknowledgedShown).then((result) => {
      if ('error' in result) setAllRefusal(result.error);
    });
  };

  const onEnter = (index: number) => {
    const alarm = rows[index];
    if (alarm && isUnacknowledged(alarm)) act(alarm, 'acknowledge');
  };

  const chooseTab = (next: SummaryTab) => {
    setTab(next);
    setFilter((held) => (held.state === undefined ? held : { ...held, state: undefined }));
    setPanel(null);
  };

  const renderRow = (index: number) => {
    const alarm = rows[index];
    return (
      <>
        <div role="gridcell" className="alarm-table__cell">
          {formatTime(alarm.raisedAt)}
        </div>
        <div role="gridcell" className="alarm-table__cell">
          <PriorityMark priority={alarm.priority} withLabel />
        </div>
        <div role="gridcell" className="alarm-table__cell" data-testid="alarm-state">
          {alarmStateText(alarm)}
          {alarm.chattering && <span className="alarm-chatter">{CHATTERING_LABEL}</span>}
        </div>
        <div role="gridcell" className="alarm-table__cell alarm-table__point">
          {alarm.pointId}
        </div>
        <div role="gridcell" className="alarm-table__cell" title={alarm.message}>
          {alarm.message}
        </div>
        <div role="gridcell" className="alarm-table__cell" data-testid="alarm-value">
          {formatAlarmValue(alarm.value, units.get(alarm.pointId))}
        </div>
        <div role="gridcell" className="alarm-table__cell alarm-table__actions">
          {rowActions(alarm).map((action) => (
            <button
              key={action}
              type="button"
              className="orvo-btn orvo-btn--sm"
              aria-pressed={panel?.id === alarm.id && panel.kind === action ? true : undefined}
              onClick={(event) => {
                event.stopPropagation();
                act(alarm, action);
              }}
            >
              {ROW_ACTION_LABELS[action]}
            </button>
          ))}
        </div>
      </>
    );
  };

  const renderPanel = () => {
    if (!panel) return null;
    const close = (
      <button type="button" className="orvo-btn orvo-btn--sm" onClick={() => setPanel(null)}>
        {panel.kind === 'refusal' ? 'Закрыть' : 'Отмена'}
      </button>
    );
    if (panel.kind === 'refusal') {
      return (
        <div className="alarm-panel">
          <span role="alert" className="alarm-refusal">
            {panel.error}
          </span>
          {close}
        </div>
      );
    }
    const label =
      panel.kind === 'shelve' ? 'Отложить' : panel.kind === 'comment' ? 'Сохранить' : 'Вывести';
    const fieldLabel = panel.kind === 'comment' ? 'Комментарий' : 'Причина';
    return (
      <form
        className="alarm-panel"
        onSubmit={submitPanel}
        aria-label={ROW_ACTION_LABELS[panel.kind]}
      >
        {panel.kind === 'shelve' && (
          <div className="orvo-seg" role="group" aria-label="Отложить на">
            {SHELVE_MINUTES.map((minutes) => (
              <button
                key={minutes}
                type="button"
                className="orvo-btn orvo-btn--sm"
                aria-pressed={panel.minutes === minutes}
                onClick={() => setPanel({ ...panel, minutes })}
              >
                {SHELVE_LABELS[minutes]}
              </button>
            ))}
          </div>
        )}
        <input
          className="orvo-input alarm-panel__text"
          aria-label={fieldLabel}
          placeholder={fieldLabel}
          aria-required="true"
          autoFocus
          value={panel.text}
          onChange={(event) => setPanel({ ...panel, text: event.target.value, error: undefined })}
          onKeyDown={(event) => event.key === 'Escape' && setPanel(null)}
        />
        <button type="submit" className="orvo-btn orvo-btn--sm orvo-btn--primary">
          {label}
        </button>
        {close}
        {panel.error && (
          <span role="alert" className="alarm-refusal">
            {panel.error}
          </span>
        )}
      </form>
    );
  };

  const head = (
    <>
      <SortHead
        sortKey="time"
        sort={sort}
        label="Время"
        onSort={(key) => setSort(nextSort(sort, key))}
      />
      <SortHead
        sortKey="priority"
        sort={sort}
        label="Приоритет"
        onSort={(key) => setSort(nextSort(sort, key))}
      />
      {['Состояние', 'Точка', 'Сообщение', 'Значение', 'Действия'].map((name) => (
        <div key={name} role="columnheader" className="alarm-table__cell">
          {name}
        </div>
      ))}
    </>
  );

  return (
    <section className="alarms" aria-label={SUMMARY_TITLE}>
      {!alarms.available && <div className="alarms__notice">{NO_STATION_TEXT}</div>}
      <div className="alarms__bar">
        <div role="tablist" aria-label="Список тревог" className="orvo-seg">
          {SUMMARY_TABS.map((entry) => (
            <button
              key={entry.value}
              type="button"
              role="tab"
              className="orvo-btn"
              aria-selected={tab === entry.value}
              onClick={() => chooseTab(entry.value)}
            >
              {entry.label}
              <span className="alarms__tab-count">{tabCounts[entry.value]}</span>
            </button>
          ))}
        </div>
        <label className="alarms__field">
          Приоритет
          <select
            className="orvo-input"
            value={filter.priority ?? ''}
            onChange={(event) =>
              setFilter({
                ...filter,
                priority:
                  event.target.value === ''
                    ? undefined
                    : (Number(event.target.value) as AlarmPriority),
              })
            }
          >
            <option value="">Все</option>
            {PRIORITIES.map((priority) => (
              <option key={priority} value={priority}>
                {PRIORITY_LABELS[priority]}
              </option>
            ))}
          </select>
        </label>
        <label className="alarms__field">
          Состояние
          <select
            className="orvo-input"
            value={filter.state ?? ''}
            onChange={(event) =>
              setFilter({
                ...filter,
                state: event.target.value === '' ? undefined : (event.target.value as AlarmState),
              })
            }
          >
            <option value="">Все</option>
            {TAB_STATES[tab].map((state) => (
              <option key={state} value={state}>
                {ALARM_STATE_LABELS[state]}
              </option>
            ))}
          </select>
        </label>
        <label className="alarms__field">
          Область
          <select
            className="orvo-input"
            value={filter.area ?? ''}
            onChange={(event) =>
              setFilter({
                ...filter,
                area: event.target.value === '' ? undefined : event.target.value,
              })
            }
          >
            <option value="">Все</option>
            {areas.map((area) => (
              <option key={area} value={area}>
                {area}
              </option>
            ))}
          </select>
        </label>
        <input
          type="search"
          className="orvo-input alarms__search"
          aria-label="Поиск"
          placeholder="Поиск: сообщение, точка, тревога"
          value={filter.text ?? ''}
          onChange={(event) => setFilter({ ...filter, text: event.target.value })}
        />
        <span className="alarms__shown" data-testid="summary-shown">
          Показано: {rows.length}
        </span>
        <button
          type="button"
          className="orvo-btn orvo-btn--sm orvo-btn--primary"
          disabled={unacknowledgedShown.length === 0}
          onClick={acknowledgeShown}
        >
          Квитировать все
        </button>
        {allRefusal && (
          <span role="alert" className="alarm-refusal">
            {allRefusal}
          </span>
        )}
      </div>
      <VirtualTable
        label={SUMMARY_TABLE_LABEL}
        rowCount={rows.length}
        columns={COLUMNS}
        head={head}
        rowKey={(index) => rows[index].id}
        renderRow={renderRow}
        rowData={(index) => ({
          'data-alarm': rows[index].id,
          'data-state': rows[index].state,
          'data-unacknowledged': isUnacknowledged(rows[index]) ? 'true' : undefined,
        })}
        opened={openedIndex >= 0 ? openedIndex : undefined}
        openedHeight={PANEL_HEIGHT}
        renderPanel={renderPanel}
        selected={selected >= 0 ? selected : undefined}
        onSelect={(index) => setSelectedId(rows[index]?.id ?? null)}
        onEnter={onEnter}
        empty="Нет тревог"
      />
    </section>
  );
}
