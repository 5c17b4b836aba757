#pragma once

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcStationDatabase)
Q_DECLARE_LOGGING_CATEGORY(lcHistorian)
Q_DECLARE_LOGGING_CATEGORY(lcViewSettings)
Q_DECLARE_LOGGING_CATEGORY(lcPlant)
