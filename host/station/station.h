#pragma once

#include "stationdatabase.h"

#include <QObject>
#include <QString>

class Historian;
class PointTable;

// The runtime of the station, apart from any window: the point table, the
// station database and the historian. Made in main(); the bridge and the
// window only get pointers to what it owns.
class Station : public QObject
{
    Q_OBJECT

public:
    struct Options
    {
        QString historyPath; // empty: StationDatabase::defaultPath()
        int historyDays = 30;
    };

    explicit Station(const Options &options, QObject *parent = nullptr);
    ~Station() override;

    PointTable *points() const { return pointTable; }
    StationDatabase *database() const { return stationDatabase; }
    Historian *historian() const { return stationHistorian; }

    // Opens the database in the background and starts recording.
    void start();
    // Records the end of every source and closes the database. Blocks.
    void stop();

signals:
    // A line for the log window, in the user's language.
    void problem(const QString &message);
    // For the header's notice: recording on, paused for a full disk, ….
    void recordingChanged(StationDatabase::Recording state);

private:
    Options options;
    PointTable *pointTable;
    StationDatabase *stationDatabase;
    Historian *stationHistorian;
};
