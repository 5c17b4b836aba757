#include "journalappend.h"

#include "historywriter.h"

#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>

bool appendJournalRecord(const QString &path, const JournalRecord &record, QString &error)
{
    if (!QFileInfo::exists(path)) {
        HistoryWriter writer([] { return qint64(0); });
        writer.open(path);
        writer.appendJournal({ record });
        writer.close();
        if (!QFileInfo::exists(path)) {
            error = QStringLiteral("the station database could not be made");
            return false;
        }
        return true;
    }
    const QString name = QStringLiteral("journal-append-") + QUuid::createUuid().toString();
    bool done = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
        if (!db.open()) {
            error = db.lastError().text();
        } else {
            QSqlQuery insert(db);
            insert.prepare(QStringLiteral(
                "INSERT INTO journal (time, source_time, event, alarm, point, priority, value, "
                "user, station, text) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
            for (const QVariant &value : { QVariant(record.time), QVariant(record.sourceTime),
                     QVariant(record.event), QVariant(record.alarm), QVariant(record.point),
                     QVariant(record.priority), QVariant(record.value), QVariant(record.user),
                     QVariant(record.station), QVariant(record.text) })
                insert.addBindValue(value);
            done = insert.exec();
            if (!done)
                error = insert.lastError().text();
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(name);
    return done;
}
