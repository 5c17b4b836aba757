// The card of one point beside the scheme: what the catalogue says of it, its
// live value, its commands when it takes them, and the last 15 minutes of its
// trend. Only the card follows the point's values; the scheme is not drawn
// again for them.
import { useEffect, useMemo, useState } from 'react';
import type { DataSource, PointValue } from '../data';
import {
  NO_COMMANDS,
  NO_SESSION,
  type AlarmClient,
  type CommandClient,
  type SessionClient,
} from '../station';
import { formatTime, formatValue, STATUS_LABELS } from './format';
import { NO_HISTORY_TEXT, type HistoryClient } from './history';
import { PEN_COLORS } from './pens';
import { PointAlarms } from './PointAlarms';
import { PointCommand } from './PointCommand';
import { startFollow } from './range';
import { TrendChart } from './TrendChart';
import { useCatalogue, useTrendFeed } from './useTrendFeed';

export const FACEPLATE_LABEL = 'Карточка точки';

export interface FaceplateProps {
  pointId: string;
  dataSource: DataSource;
  history: HistoryClient;
  onClose: () => void;
  onOpenTrends: (pointId: string) => void;
  /** The station's alarms: the card lists the point's own. */
  alarms?: AlarmClient;
  /** What the user may do: commands only when allowed. */
  session?: SessionClient;
  /** Commands to the point, when its catalogue entry says it takes them. */
  commands?: CommandClient;
}

const FACEPLATE_RANGE = { kind: 'preset', preset: '15m' } as const;

export function Faceplate({
  pointId,
  dataSource,
  history,
  onClose,
  onOpenTrends,
  alarms,
  session = NO_SESSION,
  commands = NO_COMMANDS,
}: FaceplateProps) {
  const catalogue = useCatalogue(dataSource);
  const value = usePointValue(dataSource, pointId);
  const info = catalogue.find((point) => point.id === pointId);
  const feed = useTrendFeed(dataSource, history);
  // The trend follows live: its window is taken at each drawing.
  const follow = useMemo(() => startFollow(FACEPLATE_RANGE, Date.now()), []);
  const pens = useMemo(
    () => [{ id: pointId, color: PEN_COLORS[0], kind: info?.kind ?? 'analog' }],
    [pointId, info?.kind],
  );

  useEffect(() => {
    const onKeyDown = (event: KeyboardEvent) => {
      if (event.key === 'Escape' && !event.defaultPrevented) onClose();
    };
    document.addEventListener('keydown', onKeyDown);
    return () => document.removeEventListener('keydown', onKeyDown);
  }, [onClose]);

  return (
    <aside className="faceplate" aria-label={FACEPLATE_LABEL} data-point={pointId}>
      <h2 className="faceplate__title">{pointId}</h2>
      {info?.description && <p className="faceplate__description">{info.description}</p>}
      {info?.unit && (
        <p className="faceplate__unit">
          Единица: <span data-testid="faceplate-unit">{info.unit}</span>
        </p>
      )}
      <LiveValue value={value} unit={info?.unit} />
      {info && (
        <PointCommand
          key={`command-${pointId}`}
          point={info}
          current={value?.value}
          commands={commands}
          session={session}
        />
      )}
      {alarms?.available && (
        <PointAlarms key={`alarms-${pointId}`} pointId={pointId} alarms={alarms} />
      )}
      {!history.available && <HistoryNotice />}
      <div className="faceplate__trend">
        {feed && (
          <TrendChart feed={feed} pens={pens} state={follow} height={160} interactive={false} />
        )}
      </div>
      <div className="faceplate__actions">
        <button
          type="button"
          className="orvo-btn orvo-btn--sm"
          onClick={() => onOpenTrends(pointId)}
        >
          Открыть в трендах
        </button>
        <button type="button" className="orvo-btn orvo-btn--sm" onClick={onClose}>
          Закрыть
        </button>
      </div>
    </aside>
  );
}

export function HistoryNotice() {
  return (
    <div role="status" className="trends__notice" data-testid="history-notice">
      {NO_HISTORY_TEXT}
    </div>
  );
}

/** The point's newest value, from a read and then its updates. */
function usePointValue(dataSource: DataSource, pointId: string): PointValue | undefined {
  const [value, setValue] = useState<PointValue>();
  useEffect(() => {
    let live = true;
    setValue(undefined);
    const take = (values: readonly PointValue[]) => {
      const mine = values.filter((entry) => entry.id === pointId);
      const next = mine[mine.length - 1];
      // A read answered late must not put back an older value.
      if (live && next) setValue((held) => (held && held.timestamp > next.timestamp ? held : next));
    };
    const unsubscribe = dataSource.subscribe([pointId], take);
    void dataSource.read([pointId]).then(take, () => undefined);
    return () => {
      live = false;
      unsubscribe();
    };
  }, [dataSource, pointId]);
  return value;
}

interface LiveValueProps {
  value: PointValue | undefined;
  unit?: string;
}

function LiveValue({ value, unit }: LiveValueProps) {
  return (
    <dl className="faceplate__live">
      <dt>Значение</dt>
      <dd data-testid="faceplate-value">
        {formatValue(value?.value)}
        {value !== undefined && unit ? ` ${unit}` : ''}
      </dd>
      <dt>Статус</dt>
      <dd data-testid="faceplate-status" data-status={value?.status}>
        {value ? STATUS_LABELS[value.status] : '—'}
      </dd>
      <dt>Время</dt>
      <dd data-testid="faceplate-time">{value ? formatTime(value.timestamp) : '—'}</dd>
    </dl>
  );
}
