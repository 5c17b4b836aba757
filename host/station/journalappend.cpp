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
            // The columns are NOT NULL: an empty text is written as one.
            const auto text = [](const QString &value) {
                return QVariant(value.isNull() ? QStringLiteral("") : value);
            };
            for (const QVariant &value : { QVariant(record.time), QVariant(record.sourceTime),
                     text(record.event), text(record.alarm), text(record.point),
                     QVariant(record.priority), text(record.value), text(record.user),
                     text(record.station), text(record.text) })
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
