#include "station.h"

#include "access.h"
#include "commanddesk.h"
#include "historian.h"
#include "plainlayout.h"
#include "plantclient.h"
#include "pointtable.h"
#include "sparkpluglayout.h"
#include "stationalarms.h"
#include "updatefeed.h"

#include <QSysInfo>

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
    , stationName(options.name.isEmpty() ? QSysInfo::machineHostName() : options.name)
    , stationAlarms(new StationAlarms(pointTable, stationDatabase, stationName, this))
    , accessControl(new AccessControl(usersPath(), stationName, {}, this))
    , commandDesk(new CommandDesk(pointTable, stationName, {}, this))
{
    accessControl->setIdleMinutes(options.idleLogoutMinutes);
    connect(accessControl, &AccessControl::problem, this, &Station::problem);
    connect(
        accessControl, &AccessControl::journal, stationDatabase, &StationDatabase::appendJournal);
    connect(commandDesk, &CommandDesk::journal, stationDatabase, &StationDatabase::appendJournal);
    connect(stationDatabase, &StationDatabase::problem, this, &Station::problem);
    connect(stationAlarms, &StationAlarms::problem, this, &Station::plantReport);
    stationAlarms->setDefinitionsFile(
        options.alarmsPath.isEmpty() ? StationAlarms::defaultDefinitionsPath() : options.alarmsPath,
        !options.alarmsPath.isEmpty());
    connect(stationDatabase, &StationDatabase::recordingChanged, this, &Station::recordingChanged);
    if (options.plant.usesBroker()) {
        plantClient = new PlantClient(options.plant, makeLayout(options.plant), pointTable, this);
        commandDesk->setSender([client = plantClient](const QString &id, const QJsonValue &value,
                                   const CommandOrigin &origin, QString &problem) {
            return client->write(id, value, origin, problem);
        });
        connect(plantClient, &PlantClient::report, this, &Station::plantReport);
        // Every station on the broker shares one set of alarms and their states.
        stationAlarms->shareThrough(options.plant.topicPrefix.toUtf8(),
            [client = plantClient](
                const QByteArray &topic, const QByteArray &payload, int qos, bool retained) {
                return client->publishSide(PlantPublish { topic, payload, qos, retained });
            });
        plantClient->setSideTopics(stationAlarms->sharedTopics());
        connect(plantClient, &PlantClient::sideMessage, stationAlarms,
            [alarms = stationAlarms](const QByteArray &topic, const QByteArray &payload) {
                alarms->receiveShared(topic, payload);
            });
    }
}

QString Station::usersPath() const
{
    if (!options.usersPath.isEmpty())
        return options.usersPath;
    return UserStore::besideDatabase(
        options.historyPath.isEmpty() ? StationDatabase::defaultPath() : options.historyPath);
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
    stationAlarms->start();
    accessControl->load();
    accessControl->watch();
    if (plantClient)
        plantClient->start();
}

void Station::stop()
{
    stationAlarms->stop();
    if (plantClient)
        plantClient->stop();
    stationHistorian->stop();
    stationDatabase->close();
}
