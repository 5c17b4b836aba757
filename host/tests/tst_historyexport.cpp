// corvane-ui --export-history: the stored samples as CSV, without a window.

#include "historyexport.h"
#include "stationdatabase.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

constexpr qint64 eight = 1'796'889'600'000; // 2026-12-10T08:00:00Z

HistorySample number(qint64 t, double v, PointStatus s = PointStatus::Good)
{
    return { t, v, HistorySample::Kind::Number, s };
}

HistorySample discrete(qint64 t, bool v)
{
    return { t, v ? 1.0 : 0.0, HistorySample::Kind::Discrete, PointStatus::Good };
}

} // namespace

class TestHistoryExport : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void writesCsv_data();
    void writesCsv();

private:
    QTemporaryDir dir;
    QString path;
};

void TestHistoryExport::initTestCase()
{
    path = dir.filePath(QStringLiteral("history.sqlite"));
    StationDatabase database(nullptr, [] { return eight + 3'600'000; });
    database.open(path);
    QTRY_COMPARE_WITH_TIMEOUT(database.recording(), StationDatabase::Recording::On, 10000);
    database.append({ { QStringLiteral("LT-101"), number(eight + 500, 42.5) },
        { QStringLiteral("LT-101"), number(eight + 60'000, -0.125, PointStatus::Uncertain) },
        { QStringLiteral("LT-101"), HistorySample::gap(eight + 120'000) },
        { QStringLiteral("PT-102"), discrete(eight, true) },
        { QStringLiteral("PT-102"), discrete(eight + 60'000, false) },
        { QStringLiteral("PT-102"), number(eight + 3'600'000, 7, PointStatus::Bad) } });
    database.flush();
}

void TestHistoryExport::writesCsv_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err");

    const QString header = QStringLiteral("time,point,value,status\n");
    QTest::newRow("the whole file, points merged in time order")
        << QStringList { "--export-history", "LT-101,PT-102" } << 0
        << header
            + "2026-12-10T08:00:00.000Z,PT-102,true,good\n"
              "2026-12-10T08:00:00.500Z,LT-101,42.5,good\n"
              "2026-12-10T08:01:00.000Z,LT-101,-0.125,uncertain\n"
              "2026-12-10T08:01:00.000Z,PT-102,false,good\n"
              "2026-12-10T08:02:00.000Z,LT-101,,bad\n"
              "2026-12-10T09:00:00.000Z,PT-102,7,bad\n"
        << QString();
    QTest::newRow("a window, both ends included, offsets understood")
        << QStringList { "--export-history=PT-102,LT-101", "--from", "2026-12-10T08:00:00.500Z",
               "--to=2026-12-10T10:01:00+02:00" }
        << 0
        << header
            + "2026-12-10T08:00:00.500Z,LT-101,42.5,good\n"
              "2026-12-10T08:01:00.000Z,PT-102,false,good\n"
              "2026-12-10T08:01:00.000Z,LT-101,-0.125,uncertain\n"
        << QString();
    QTest::newRow("an unknown point gives no lines")
        << QStringList { "--export-history", "XX-1", "--from", "2026-12-10T08:00:00" } << 0
        << header << QString();
    QTest::newRow("a bad time") << QStringList { "--export-history", "LT-101", "--to", "noon" } << 2
                                << QString() << "corvane-ui: --to: not an ISO 8601 time: noon\n";
    QTest::newRow("a missing file")
        << QStringList { "--export-history", "LT-101", "--history", "missing.sqlite" } << 2
        << QString() << "corvane-ui: cannot read the history missing.sqlite: no such file\n";
}

void TestHistoryExport::writesCsv()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, out);
    QFETCH(QString, err);

    if (!arguments.contains(QStringLiteral("--history")))
        arguments << QStringLiteral("--history") << path;
    QProcess process;
    process.setWorkingDirectory(dir.path());
    // No display: the export never makes a window.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(CORVANE_UI), arguments);
    QVERIFY(process.waitForFinished(30000));
    QCOMPARE(QString::fromUtf8(process.readAllStandardError()), err);
    QCOMPARE(QString::fromUtf8(process.readAllStandardOutput()), out);
    QCOMPARE(process.exitCode(), exitCode);
}

QTEST_GUILESS_MAIN(TestHistoryExport)
#include "tst_historyexport.moc"
