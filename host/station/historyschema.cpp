#include "historyschema.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>

namespace {

// Migration n brings the schema from version n to n + 1; append, never edit.
const QList<QStringList> &migrations()
{
    static const QList<QStringList> steps = {
        {
            QStringLiteral("CREATE TABLE points (id INTEGER PRIMARY KEY, name TEXT NOT NULL "
                           "UNIQUE)"),
            QStringLiteral("CREATE TABLE chunks (id INTEGER PRIMARY KEY, point INTEGER NOT "
                           "NULL, t0 INTEGER NOT NULL, t1 INTEGER NOT NULL, n INTEGER NOT NULL, "
                           "data BLOB NOT NULL)"),
            QStringLiteral("CREATE INDEX chunks_by_point ON chunks (point, t1)"),
            QStringLiteral("CREATE TABLE recent (point INTEGER NOT NULL, t0 INTEGER NOT NULL, "
                           "data BLOB NOT NULL, PRIMARY KEY (point, t0)) WITHOUT ROWID"),
            QStringLiteral("CREATE TABLE recorder (id INTEGER PRIMARY KEY CHECK (id = 1), "
                           "last_flush INTEGER NOT NULL)"),
            QStringLiteral("INSERT INTO recorder VALUES (1, 0)"),
        },
        {
            QStringLiteral("CREATE TABLE journal (seq INTEGER PRIMARY KEY AUTOINCREMENT, time "
                           "INTEGER NOT NULL, source_time INTEGER NOT NULL, event TEXT NOT NULL, "
                           "alarm TEXT NOT NULL, point TEXT NOT NULL, priority INTEGER NOT NULL, "
                           "value TEXT NOT NULL, user TEXT NOT NULL, station TEXT NOT NULL, text "
                           "TEXT NOT NULL)"),
            QStringLiteral("CREATE INDEX journal_by_time ON journal (time)"),
            QStringLiteral("CREATE INDEX journal_by_alarm ON journal (alarm)"),
            QStringLiteral("CREATE TRIGGER journal_append_only BEFORE UPDATE ON journal BEGIN "
                           "SELECT RAISE(ABORT, 'the journal is append-only'); END"),
            QStringLiteral("CREATE TABLE alarm_states (alarm TEXT PRIMARY KEY, active INTEGER "
                           "NOT NULL, acknowledged INTEGER NOT NULL, data TEXT NOT NULL) WITHOUT "
                           "ROWID"),
        },
    };
    return steps;
}

} // namespace

bool HistorySchema::migrate(QSqlDatabase &db, QString &error)
{
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("PRAGMA user_version")) || !query.next()) {
        error = query.lastError().text();
        return false;
    }
    const int current = query.value(0).toInt();
    query.finish();
    if (current > version) {
        error = QStringLiteral("schema version %1 is newer than this program's %2")
                    .arg(current)
                    .arg(version);
        return false;
    }
    for (int step = current; step < version; ++step) {
        if (!db.transaction()) {
            error = db.lastError().text();
            return false;
        }
        QStringList statements = migrations().at(step);
        statements << QStringLiteral("PRAGMA user_version = %1").arg(step + 1);
        for (const QString &statement : statements) {
            if (!query.exec(statement)) {
                error = query.lastError().text();
                db.rollback();
                return false;
            }
        }
        if (!db.commit()) {
            error = db.lastError().text();
            db.rollback();
            return false;
        }
    }
    return true;
}
