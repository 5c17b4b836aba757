import './alarms.css';

export { AlarmBanner, BANNER_LABEL, bannerCounts, hornText, NO_STATION_TEXT } from './AlarmBanner';
export type { AlarmBannerProps, BannerCounts } from './AlarmBanner';
export { AlarmSummary, SUMMARY_TABLE_LABEL, SUMMARY_TITLE } from './AlarmSummary';
export type { AlarmSummaryProps } from './AlarmSummary';
export { JOURNAL_TITLE, JournalView } from './JournalView';
export type { JournalMode, JournalViewProps } from './JournalView';
export { alarmMetrics } from './metrics';
export type { AlarmMetrics } from './metrics';
export { JOURNAL_EVENT_LABELS, journalFileName, journalQuery } from './journal';
