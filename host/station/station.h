#pragma once

#include "plantsettings.h"
#include "stationdatabase.h"

#include <QObject>
#include <QString>

class Historian;
class PlantClient;
class UpdateFeed;
class PointTable;
class StationAlarms;
class AccessControl;
class CommandDesk;

// The runtime of the station, apart from any window: the point table, the
// station database, the historian, the alarms and the plant's broker client. Made in main(); the
// bridge and the window only get pointers to what it owns.
class Station : public QObject
{
    Q_OBJECT

public:
    struct Options
    {
        QString historyPath; // empty: StationDatabase::defaultPath()
        int historyDays = 30;
        int journalDays = 365;
        // No broker: the values come from the built-in application's emulator.
        PlantSettings plant;
        // Empty: StationAlarms::defaultDefinitionsPath(), quietly built-in when missing.
        QString alarmsPath;
        // The station's name in the journal and to other stations; empty: the host name.
        QString name;
        // Empty: users.json beside the station database.
        QString usersPath;
        // Minutes without input before a user is logged out; 0 never.
        int idleLogoutMinutes = 15;
    };

    explicit Station(const Options &options, QObject *parent = nullptr);
    ~Station() override;

    PointTable *points() const { return pointTable; }
    StationDatabase *database() const { return stationDatabase; }
    Historian *historian() const { return stationHistorian; }
    // Null without a broker.
    PlantClient *plant() const { return plantClient; }
    // The live values the built-in application follows.
    UpdateFeed *feed() const { return updateFeed; }
    StationAlarms *alarms() const { return stationAlarms; }
    AccessControl *access() const { return accessControl; }
    CommandDesk *commands() const { return commandDesk; }
    // Where the users are kept.
    QString usersPath() const;
    QString name() const { return stationName; }

    // Opens the database in the background, starts recording and connects
    // to the plant.
    void start();
    // Records the end of every source and closes the database. Blocks.
    void stop();

signals:
    // A line for the log window, in the user's language.
    void problem(const QString &message);
    // A line of the plant client or the alarms for the log window (in English).
    void plantReport(const QString &line);
    // For the header's notice: recording on, paused for a full disk, ….
    void recordingChanged(StationDatabase::Recording state);

private:
    Options options;
    PointTable *pointTable;
    StationDatabase *stationDatabase;
    Historian *stationHistorian;
    PlantClient *plantClient = nullptr;
    UpdateFeed *updateFeed;
    QString stationName;
    StationAlarms *stationAlarms;
    AccessControl *accessControl;
    CommandDesk *commandDesk;
};
