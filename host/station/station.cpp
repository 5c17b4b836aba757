#include "station.h"

#include "historian.h"
#include "plainlayout.h"
#include "plantclient.h"
#include "pointtable.h"
#include "sparkpluglayout.h"
#include "updatefeed.h"

namespace {

std::unique_ptr<PlantLayout> makeLayout(const PlantSettings &settings)
{
    if (settings.usesSparkplug())
        return std::make_unique<SparkplugLayout>(settings.sparkplugGroup, settings.hostId);
    return std::make_unique<PlainLayout>(settings.topicPrefix);
}

} // namespace

Station::Station(const Options &options, QObject *parent)
    : QObject(parent)
    , options(options)
    , pointTable(new PointTable(this))
    , stationDatabase(new StationDatabase(this))
    , stationHistorian(new Historian(pointTable, stationDatabase, this))
    , updateFeed(new UpdateFeed(pointTable, this))
{
    connect(stationDatabase, &StationDatabase::problem, this, &Station::problem);
    connect(stationDatabase, &StationDatabase::recordingChanged, this, &Station::recordingChanged);
    if (options.plant.usesBroker()) {
        plantClient = new PlantClient(options.plant, makeLayout(options.plant), pointTable, this);
        connect(plantClient, &PlantClient::report, this, &Station::plantReport);
    }
}

Station::~Station()
{
    stop();
}

void Station::start()
{
    stationDatabase->setRetentionDays(options.historyDays);
    stationDatabase->setJournalDays(options.journalDays);
    stationDatabase->open(
        options.historyPath.isEmpty() ? StationDatabase::defaultPath() : options.historyPath);
    if (plantClient)
        plantClient->start();
}

void Station::stop()
{
    if (plantClient)
        plantClient->stop();
    stationHistorian->stop();
    stationDatabase->close();
}
