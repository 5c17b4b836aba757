// The station's journal over a period: its records in a table, or the alarm
// system's performance figures over the same period, and the records as CSV.
import { useEffect, useMemo, useState, type FormEvent } from 'react';
import {
  JOURNAL_EVENTS,
  type AlarmClient,
  type AlarmPriority,
  type JournalAnswer,
  type JournalEvent,
  type JournalQuery,
} from '../station';
import { PriorityMark } from '../view';
import { NO_STATION_TEXT } from './AlarmBanner';
import { fieldTime, formatTime, localField } from './format';
import { useAlarmSnapshot } from './hooks';
import {
  downloadText,
  JOURNAL_EVENT_LABELS,
  JOURNAL_LIMIT,
  journalFileName,
  journalQuery,
  METRICS_LIMIT,
  NO_JOURNAL_FILTERS,
  QUICK_RANGES,
  rangeProblem,
  type JournalFilters,
  type QuickRange,
} from './journal';
import { alarmMetrics } from './metrics';
import { PerformanceView } from './PerformanceView';
import { VirtualTable } from './VirtualTable';

export const JOURNAL_TITLE = 'Журнал событий';
export const JOURNAL_TABLE_LABEL = 'Записи журнала';

const COLUMNS =
  '170px 150px 80px minmax(80px, 1fr) minmax(200px, 3fr) minmax(70px, 0.8fr) minmax(70px, 0.8fr) minmax(70px, 0.8fr)';
const HEADS = [
  'Время',
  'Событие',
  'Приоритет',
  'Точка',
  'Сообщение',
  'Значение',
  'Пользователь',
  'Станция',
];

export type JournalMode = 'records' | 'metrics';

interface Period {
  from: number;
  to: number;
  filters: JournalFilters;
}

export interface JournalViewProps {
  alarms: AlarmClient;
  now?: () => number;
}

/** Asks the journal whenever the question changes; a late answer to an older one is dropped. */
function useJournal(alarms: AlarmClient, query: JournalQuery | null) {
  const [answer, setAnswer] = useState<{ query: JournalQuery; answer: JournalAnswer } | null>(null);
  useEffect(() => {
    if (!query) return;
    let live = true;
    alarms.journal(query).then(
      (result) => live && setAnswer({ query, answer: result }),
      () => live && setAnswer({ query, answer: { records: [], truncated: false } }),
    );
    return () => {
      live = false;
    };
  }, [alarms, query]);
  return answer?.query === query ? answer.answer : null;
}

const isPriority = (value: number): value is AlarmPriority =>
  value === 1 || value === 2 || value === 3 || value === 4;

export function JournalView({ alarms, now = Date.now }: JournalViewProps) {
  const snapshot = useAlarmSnapshot(alarms);
  const [mode, setMode] = useState<JournalMode>('records');
  const [quick, setQuick] = useState<QuickRange | null>('24h');
  const [period, setPeriod] = useState<Period>(() => {
    const to = now();
    return { from: to - QUICK_RANGES[1].span, to, filters: NO_JOURNAL_FILTERS };
  });
  const [fromField, setFromField] = useState(() => localField(period.from));
  const [toField, setToField] = useState(() => localField(period.to));
  const [filters, setFilters] = useState<JournalFilters>(NO_JOURNAL_FILTERS);
  const [problem, setProblem] = useState<string | null>(null);
  const [exportNote, setExportNote] = useState<string | null>(null);
  const [selected, setSelected] = useState<number | undefined>();

  const recordsQuery = useMemo(
    () =>
      mode === 'records'
        ? journalQuery(period.from, period.to, period.filters, JOURNAL_LIMIT)
        : null,
    [mode, period],
  );
  // The figures take every activation of the period, whatever the filters.
  const metricsQuery = useMemo(
    (): JournalQuery | null =>
      mode === 'metrics'
        ? { from: period.from, to: period.to, event: 'active', limit: METRICS_LIMIT }
        : null,
    [mode, period],
  );
  const records = useJournal(alarms, recordsQuery);
  const activations = useJournal(alarms, metricsQuery);
  const metrics = useMemo(
    () =>
      activations
        ? alarmMetrics(activations.records, snapshot.alarms.values(), {
            from: period.from,
            to: period.to,
            now: now(),
          })
        : null,
    // The time now only matters for the stale alarms, read with each snapshot.
    // eslint-disable-next-line react-hooks/exhaustive-deps
    [activations, snapshot, period],
  );

  const chooseQuick = (choice: QuickRange) => {
    const span = QUICK_RANGES.find((entry) => entry.value === choice)?.span ?? 0;
    const to = now();
    setQuick(choice);
    setProblem(null);
    setFromField(localField(to - span));
    setToField(localField(to));
    setPeriod({ from: to - span, to, filters });
    setSelected(undefined);
  };

  const show = (event: FormEvent) => {
    event.preventDefault();
    const from = fieldTime(fromField);
    const to = fieldTime(toField);
    const why = rangeProblem(from, to);
    setProblem(why);
    if (why) return;
    setQuick(null);
    setPeriod({ from, to, filters });
    setSelected(undefined);
  };

  const exportCsv = async () => {
    setExportNote(null);
    const query = journalQuery(period.from, period.to, period.filters);
    try {
      const csv = await alarms.exportJournal(query);
      downloadText(csv, journalFileName(query.from, query.to));
    } catch {
      setExportNote('Не удалось получить записи для экспорта');
    }
  };

  const list = records?.records ?? [];
  const renderRow = (index: number) => {
    const record = list[index];
    return (
      <>
        <div role="gridcell" className="alarm-table__cell">
          {formatTime(record.time)}
        </div>
        <div role="gridcell" className="alarm-table__cell">
          {JOURNAL_EVENT_LABELS[record.event]}
        </div>
        <div role="gridcell" className="alarm-table__cell">
          {isPriority(record.priority) && <PriorityMark priority={record.priority} />}
        </div>
        {[record.point, record.text, record.value, record.user, record.station].map((text, k) => (
          <div key={k} role="gridcell" className="alarm-table__cell" title={text}>
            {text}
          </div>
        ))}
      </>
    );
  };

  return (
    <section className="alarms" aria-label={JOURNAL_TITLE}>
      {!alarms.available && <div className="alarms__notice">{NO_STATION_TEXT}</div>}
      <form className="alarms__bar" onSubmit={show}>
        <div className="orvo-seg" role="group" aria-label="Вид журнала">
          {(
            [
              ['records', 'Записи'],
              ['metrics', 'Показатели'],
            ] as const
          ).map(([value, label]) => (
            <button
              key={value}
              type="button"
              className="orvo-btn"
              aria-pressed={mode === value}
              onClick={() => setMode(value)}
            >
              {label}
            </button>
          ))}
        </div>
        <div className="alarms__ranges" role="group" aria-label="Период">
          {QUICK_RANGES.map((entry) => (
            <button
              key={entry.value}
              type="button"
              className="orvo-btn orvo-btn--sm"
              aria-pressed={quick === entry.value}
              onClick={() => chooseQuick(entry.value)}
            >
              {entry.label}
            </button>
          ))}
        </div>
        <label className="alarms__field">
          С
          <input
            type="datetime-local"
            className="orvo-input"
            value={fromField}
            onChange={(event) => setFromField(event.target.value)}
          />
        </label>
        <label className="alarms__field">
          по
          <input
            type="datetime-local"
            className="orvo-input"
            value={toField}
            onChange={(event) => setToField(event.target.value)}
          />
        </label>
        {mode === 'records' && (
          <>
            <input
              className="orvo-input alarms__point"
              aria-label="Точка"
              placeholder="Точка"
              value={filters.point}
              onChange={(event) => setFilters({ ...filters, point: event.target.value })}
            />
            <label className="alarms__field">
              Событие
              <select
                className="orvo-input"
                value={filters.event}
                onChange={(event) =>
                  setFilters({ ...filters, event: event.target.value as JournalEvent | '' })
                }
              >
                <option value="">Все</option>
                {JOURNAL_EVENTS.map((value) => (
                  <option key={value} value={value}>
                    {JOURNAL_EVENT_LABELS[value]}
                  </option>
                ))}
              </select>
            </label>
            <input
              type="search"
              className="orvo-input alarms__search"
              aria-label="Текст"
              placeholder="Текст"
              value={filters.text}
              onChange={(event) => setFilters({ ...filters, text: event.target.value })}
            />
          </>
        )}
        <button type="submit" className="orvo-btn orvo-btn--sm orvo-btn--primary">
          Показать
        </button>
        {problem && (
          <span role="alert" className="alarm-refusal">
            {problem}
          </span>
        )}
        {mode === 'records' && (
          <button type="button" className="orvo-btn orvo-btn--sm" onClick={() => void exportCsv()}>
            Экспорт CSV
          </button>
        )}
        {exportNote && (
          <span role="alert" className="alarm-refusal">
            {exportNote}
          </span>
        )}
      </form>
      {mode === 'records' ? (
        <>
          <div className="alarms__shown" data-testid="journal-shown" aria-live="polite">
            {records === null
              ? 'Загрузка…'
              : records.truncated
                ? `Показано ${list.length} из более чем ${list.length}`
                : `Записей: ${list.length}`}
          </div>
          <VirtualTable
            label={JOURNAL_TABLE_LABEL}
            rowCount={list.length}
            columns={COLUMNS}
            head={HEADS.map((name) => (
              <div key={name} role="columnheader" className="alarm-table__cell">
                {name}
              </div>
            ))}
            rowKey={(index) => String(list[index].seq)}
            renderRow={renderRow}
            rowData={(index) => ({ 'data-event': list[index].event })}
            selected={selected}
            onSelect={setSelected}
            empty={records === null ? undefined : 'Нет записей за период'}
          />
        </>
      ) : metrics ? (
        <PerformanceView
          metrics={metrics}
          truncated={activations?.truncated ?? false}
          now={now()}
        />
      ) : (
        <div className="alarms__shown" aria-busy="true">
          Загрузка…
        </div>
      )}
    </section>
  );
}
