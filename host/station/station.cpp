#include "station.h"

#include "historian.h"
#include "pointtable.h"

Station::Station(const Options &options, QObject *parent)
    : QObject(parent)
    , options(options)
    , pointTable(new PointTable(this))
    , stationDatabase(new StationDatabase(this))
    , stationHistorian(new Historian(pointTable, stationDatabase, this))
{
    connect(stationDatabase, &StationDatabase::problem, this, &Station::problem);
    connect(stationDatabase, &StationDatabase::recordingChanged, this, &Station::recordingChanged);
}

Station::~Station()
{
    stop();
}

void Station::start()
{
    stationDatabase->setRetentionDays(options.historyDays);
    stationDatabase->open(
        options.historyPath.isEmpty() ? StationDatabase::defaultPath() : options.historyPath);
}

void Station::stop()
{
    stationHistorian->stop();
    stationDatabase->close();
}
