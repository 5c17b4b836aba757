// The alarm system's figures over a period, each beside its guideline.
import type { AlarmPriority } from '../station';
import { PRIORITY_LABELS, PriorityMark } from '../view';
import { formatTime } from './format';
import {
  ACCEPTABLE_AVERAGE,
  ACCEPTABLE_PEAK,
  type AlarmCount,
  type AlarmMetrics,
  type PriorityGroup,
} from './metrics';

export const PERFORMANCE_LABEL = 'Показатели';

const GROUP_LABELS: Readonly<Record<PriorityGroup, string>> = {
  low: 'Низкий (4)',
  medium: 'Средний (3)',
  high: 'Высокий (1 и 2)',
};
const PRIORITIES: readonly AlarmPriority[] = [1, 2, 3, 4];

const decimal = (value: number, digits = 1) =>
  value.toLocaleString('ru-RU', { maximumFractionDigits: digits });
const percent = (share: number) => `${decimal(share * 100)} %`;

function Verdict({ ok }: { ok: boolean }) {
  return (
    <span className="alarm-verdict" data-ok={ok}>
      {ok ? 'в норме' : 'выше нормы'}
    </span>
  );
}

function CountTable({ label, rows, empty }: { label: string; rows: AlarmCount[]; empty: string }) {
  if (rows.length === 0) return <p className="alarms__hint">{empty}</p>;
  return (
    <table className="alarm-figures" aria-label={label}>
      <thead>
        <tr>
          <th>Тревога</th>
          <th>Сообщение</th>
          <th>Срабатываний</th>
        </tr>
      </thead>
      <tbody>
        {rows.map((row) => (
          <tr key={row.alarm}>
            <td>{row.alarm}</td>
            <td>{row.message}</td>
            <td>{row.count}</td>
          </tr>
        ))}
      </tbody>
    </table>
  );
}

export interface PerformanceViewProps {
  metrics: AlarmMetrics;
  /** The station sent only the newest activations of the period. */
  truncated: boolean;
  now: number;
}

export function PerformanceView({ metrics, truncated, now }: PerformanceViewProps) {
  const overGroups = metrics.groups.filter((group) => group.over);
  return (
    <div className="alarm-performance" aria-label={PERFORMANCE_LABEL} role="region">
      {truncated && (
        <p className="alarms__notice">
          Учтены последние {metrics.activations} срабатываний: за период их больше
        </p>
      )}
      <dl className="alarm-performance__rates">
        <dt>Срабатываний за период</dt>
        <dd data-testid="metric-activations">{metrics.activations}</dd>
        <dt>В среднем за 10 мин</dt>
        <dd data-testid="metric-average">
          {decimal(metrics.averagePerBin)}{' '}
          <span className="alarms__hint">EEMUA 191: не более {ACCEPTABLE_AVERAGE} — приемлемо</span>{' '}
          <Verdict ok={metrics.averageAcceptable} />
        </dd>
        <dt>Пик за 10 мин</dt>
        <dd data-testid="metric-peak">
          {metrics.peakPerBin}{' '}
          <span className="alarms__hint">EEMUA 191: не более {ACCEPTABLE_PEAK}</span>{' '}
          <Verdict ok={metrics.peakAcceptable} />
        </dd>
        <dt>Время в лавине тревог</dt>
        <dd data-testid="metric-flood">{percent(metrics.floodShare)}</dd>
      </dl>

      <h3 className="alarm-performance__head">Распределение по приоритетам</h3>
      <div className="alarm-performance__priorities">
        {PRIORITIES.map((priority) => (
          <span key={priority} title={PRIORITY_LABELS[priority]}>
            <PriorityMark priority={priority} /> {metrics.perPriority[priority]}
          </span>
        ))}
      </div>
      <table className="alarm-figures" aria-label="Распределение по приоритетам">
        <thead>
          <tr>
            <th>Приоритет</th>
            <th>Срабатываний</th>
            <th>Доля</th>
            <th>Ориентир</th>
            <th />
          </tr>
        </thead>
        <tbody>
          {metrics.groups.map((group) => (
            <tr key={group.group} data-over={group.over || undefined}>
              <td>{GROUP_LABELS[group.group]}</td>
              <td>{group.count}</td>
              <td>{percent(group.share)}</td>
              <td>{percent(group.target)}</td>
              <td>{group.over ? 'выше ориентира' : ''}</td>
            </tr>
          ))}
        </tbody>
      </table>
      <p className="alarms__hint" data-testid="metric-over">
        {overGroups.length === 0
          ? 'Распределение в пределах ориентира 80/15/5'
          : `Выше ориентира: ${overGroups.map((group) => GROUP_LABELS[group.group]).join(', ')}`}
      </p>

      <h3 className="alarm-performance__head">Десять самых частых тревог</h3>
      <CountTable label="Самые частые тревоги" rows={metrics.top} empty="Срабатываний не было" />

      <h3 className="alarm-performance__head">Дребезг (3 и более срабатываний за 60 с)</h3>
      <CountTable label="Дребезг" rows={metrics.chattering} empty="Дребезга не было" />

      <h3 className="alarm-performance__head">Давние тревоги (активны дольше 24 ч)</h3>
      {metrics.stale.length === 0 ? (
        <p className="alarms__hint">Давних тревог нет</p>
      ) : (
        <table className="alarm-figures" aria-label="Давние тревоги">
          <thead>
            <tr>
              <th>Тревога</th>
              <th>Сообщение</th>
              <th>Сработала</th>
              <th>Активна, ч</th>
            </tr>
          </thead>
          <tbody>
            {metrics.stale.map((alarm) => (
              <tr key={alarm.id}>
                <td>{alarm.id}</td>
                <td>{alarm.message}</td>
                <td>{formatTime(alarm.raisedAt)}</td>
                <td>{decimal((now - alarm.raisedAt) / 3_600_000, 0)}</td>
              </tr>
            ))}
          </tbody>
        </table>
      )}
    </div>
  );
}
