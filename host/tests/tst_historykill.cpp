// A recording process killed with SIGKILL leaves a sound file holding its
// samples up to about a second before the kill.

#include "historyreader.h"

#include <QDateTime>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

class TestHistoryKill : public QObject
{
    Q_OBJECT

private slots:
    void survivesSigkill();
};

void TestHistoryKill::survivesSigkill()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("history.sqlite"));
    for (int round = 0; round < 3; ++round) {
        QProcess recorder;
        recorder.start(QStringLiteral(HISTORY_RECORDER), { path });
        QVERIFY(recorder.waitForReadyRead(10000));
        QCOMPARE(recorder.readLine().trimmed(), QByteArray("recording"));
        QTest::qWait(1500 + round * 700);
        const qint64 killed = QDateTime::currentMSecsSinceEpoch();
        recorder.kill(); // SIGKILL
        QVERIFY(recorder.waitForFinished(10000));
        QCOMPARE(recorder.exitStatus(), QProcess::CrashExit);

        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "check");
            db.setDatabaseName(path);
            QVERIFY(db.open());
            QSqlQuery query(db);
            QVERIFY(query.exec(QStringLiteral("PRAGMA integrity_check")) && query.next());
            QCOMPARE(query.value(0).toString(), QStringLiteral("ok"));
        }
        QSqlDatabase::removeDatabase(QStringLiteral("check"));

        HistoryReader reader;
        QString error;
        QVERIFY2(reader.open(path, error, true), qPrintable(error));
        QList<HistorySample> samples;
        QVERIFY(reader.samples(QStringLiteral("P"), 0, killed, samples));
        QVERIFY(!samples.isEmpty());
        // Commits come once a second; allow for a loaded machine.
        const qint64 lost = killed - samples.last().t;
        QVERIFY2(lost < 2000, qPrintable(QStringLiteral("%1 ms lost").arg(lost)));
    }
}

QTEST_GUILESS_MAIN(TestHistoryKill)
#include "tst_historykill.moc"
