// Records one point every few milliseconds into the file given, until killed;
// prints "recording" once the file is open.

#include "stationdatabase.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QTimer>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    StationDatabase database;
    QObject::connect(
        &database, &StationDatabase::recordingChanged, &app, [](StationDatabase::Recording state) {
            if (state == StationDatabase::Recording::On) {
                std::puts("recording");
                std::fflush(stdout);
            }
        });
    database.open(app.arguments().value(1));
    QTimer timer;
    double value = 0;
    QObject::connect(&timer, &QTimer::timeout, &app, [&] {
        value += 0.5;
        database.append({ { QStringLiteral("P"),
            { QDateTime::currentMSecsSinceEpoch(), value, HistorySample::Kind::Number,
                PointStatus::Good } } });
    });
    timer.start(5);
    return app.exec();
}
