#pragma once

#include "bridge.h"

class QObject;
class SettingsFile;
class Station;

// The bridge's services as the station carries them out: history from the
// historian, the page emulator's values and catalogue into the point table,
// the views' settings from their file. While the emulator forwards nothing
// for a few seconds (the page reloads, its process ends) its points are
// marked as without source from the last value on, so that no held value is
// ever recorded across the stretch. `context` owns the watch.
BridgeBackend stationBackend(Station &station, SettingsFile &settings, QObject *context);

// What the page hears of the plant connection: { source, state, broker }.
QJsonObject plantStateOf(const Station &station);
