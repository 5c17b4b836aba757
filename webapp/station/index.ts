export { CHANNEL_MESSAGE, findTransport, openChannel } from './channel';
export type { Channel, ChannelObject, ChannelTransport } from './channel';
export {
  connectStation,
  connectStationOver,
  forwardEmulator,
  localSettings,
  NO_HISTORY,
  readHistoryAnswer,
  withStationHistory,
} from './station';
export { createPlantDataSource, readBatch, readPlantState } from './plant';
export type { PlantDataSource, PlantState } from './plant';
export type {
  HistoryAnswer,
  HistoryClient,
  HistorySample,
  PointHistory,
  RecordingMonitor,
  RecordingState,
  SettingsKey,
  SettingsStore,
  Station,
} from './station';
export {
  alarmsOver,
  createAlarmStore,
  JOURNAL_EVENTS,
  NO_ALARM_STATUS,
  NO_ALARMS,
  readAlarm,
  readAlarmStatus,
  readJournalAnswer,
  SHELVE_MINUTES,
} from './alarms';
export type {
  ActionResult,
  Alarm,
  AlarmClient,
  AlarmKind,
  AlarmPriority,
  AlarmSnapshot,
  AlarmState,
  AlarmStatus,
  AlarmStore,
  HornState,
  JournalAnswer,
  JournalEvent,
  JournalQuery,
  JournalRecord,
  ShelveMinutes,
} from './alarms';
export {
  createSessionStore,
  NO_SESSION,
  OPEN_SESSION,
  PERMISSIONS,
  readSessionState,
  sessionOver,
} from './session';
export type { Permission, Role, SessionClient, SessionState, SessionStore } from './session';
export {
  COMMAND_ANSWER_MS,
  COMMAND_CONFIRM_MS,
  COMMAND_NOT_DONE_TEXT,
  commandsOver,
  emulatorCommands,
  followsCommand,
  NO_ANSWER_TEXT,
  NO_COMMANDS,
  NOT_WRITABLE_TEXT,
  readCommandAnswer,
  UNFIT_VALUE_TEXT,
} from './commands';
export type { CommandAnswer, CommandClient } from './commands';
