export { Faceplate, FACEPLATE_LABEL, HistoryNotice } from './Faceplate';
export type { FaceplateProps } from './Faceplate';
export { NO_POINT_ALARMS_TEXT, POINT_ALARMS_LABEL } from './PointAlarms';
export { TrendsView, PENS_FULL_TEXT } from './TrendsView';
export type { TrendsViewProps } from './TrendsView';
export { TrendChart, SAMPLES_PER_PIXEL } from './TrendChart';
export type { ChartPen, TrendChartProps } from './TrendChart';
export { createNoHostHistoryClient, emptyAnswer, NO_HISTORY_TEXT, RAW_SAMPLES } from './history';
export type { HistoryAnswer, HistoryClient, HistorySample } from './history';
export {
  createLocalTrendSettingsStore,
  createMemoryTrendSettingsStore,
  parseTrendSettings,
  TREND_SETTINGS_KEY,
  trendSettingsOf,
} from './settings';
export type { TrendPen, TrendSettings, TrendSettingsStore } from './settings';
export { DEFAULT_RANGE, followReducer, RANGE_PRESETS, rangeWindow, startFollow } from './range';
export type { FollowEvent, FollowState, RangePreset, TimeWindow, TrendRange } from './range';
export { addPen, MAX_PENS, PEN_COLORS, removePen } from './pens';
export { trendCsv, CSV_HEADER } from './csv';
