#include "stationlogging.h"

Q_LOGGING_CATEGORY(lcStationDatabase, "corvane.station.database")
Q_LOGGING_CATEGORY(lcHistorian, "corvane.station.historian")
Q_LOGGING_CATEGORY(lcViewSettings, "corvane.station.views")
Q_LOGGING_CATEGORY(lcPlant, "corvane.plant")
