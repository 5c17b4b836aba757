// What the historian stores of the point table's values, and its answers.

#include "historian.h"
#include "historyreader.h"
#include "pointtable.h"
#include "stationdatabase.h"

#include <QJsonArray>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <memory>

namespace {

constexpr qint64 minute = 60 * 1000;
constexpr qint64 start = 1'796'889'600'000;

PointSample value(const QString &id, qint64 t, const QVariant &v, PointStatus s = PointStatus::Good)
{
    return { id, t, v, s };
}

// "t:v:s" per stored sample, v empty for a gap.
QStringList stored(const QString &path, const QString &point)
{
    HistoryReader reader;
    QString error;
    reader.open(path, error, true);
    QList<HistorySample> samples;
    reader.samples(point, 0, std::numeric_limits<qint64>::max(), samples);
    QStringList lines;
    for (const HistorySample &s : samples) {
        lines << QStringLiteral("%1:%2:%3")
                     .arg((s.t - start) / 1000)
                     .arg(s.isGap() ? QString() : s.jsonValue().toVariant().toString(),
                         statusName(s.status));
    }
    return lines;
}

} // namespace

class TestHistorian : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void storesChangesHeartbeatsAndGaps();
    void answersHistoryAsJson();

private:
    std::unique_ptr<QTemporaryDir> dir;
    std::shared_ptr<std::atomic<qint64>> now;
    std::unique_ptr<StationDatabase> database;
    std::unique_ptr<PointTable> table;
    std::unique_ptr<Historian> historian;
};

void TestHistorian::init()
{
    dir = std::make_unique<QTemporaryDir>();
    now = std::make_shared<std::atomic<qint64>>(start);
    auto clock = [now = now] { return now->load(); };
    database = std::make_unique<StationDatabase>(nullptr, clock);
    database->open(dir->filePath(QStringLiteral("history.sqlite")));
    QTRY_COMPARE_WITH_TIMEOUT(database->recording(), StationDatabase::Recording::On, 10000);
    table = std::make_unique<PointTable>();
    historian = std::make_unique<Historian>(table.get(), database.get(), nullptr, clock);
}

void TestHistorian::cleanup()
{
    historian.reset();
    table.reset();
    database.reset();
    dir.reset();
}

void TestHistorian::storesChangesHeartbeatsAndGaps()
{
    const QString lt = QStringLiteral("LT-101");
    const QString sw = QStringLiteral("SW-1");
    auto at = [](qint64 seconds) { return start + seconds * 1000; };
    table->update({ value(lt, at(0), 1.5), value(sw, at(0), true) });
    table->update({ value(lt, at(1), 1.5), value(sw, at(1), true) }); // same: not stored
    table->update({ value(lt, at(2), 2.0) }); // value changed
    table->update({ value(lt, at(3), 2.0, PointStatus::Uncertain) }); // status changed
    table->update({ value(lt, at(4), 2.0, PointStatus::Uncertain) });
    // The same value ten minutes after the last stored one is stored again.
    table->update({ value(lt, at(3 + 599), 2.0, PointStatus::Uncertain) });
    table->update({ value(lt, at(3 + 600), 2.0, PointStatus::Uncertain) });
    // Without any update, the timer's check stores the held value.
    now->store(at(1300));
    historian->heartbeat();
    historian->heartbeat(); // just stored: not again
    // The source stops: a gap where it was last alive, once.
    table->sourceLost(at(1305));
    table->sourceLost(at(1306));
    table->update({ value(sw, at(1310), false) }); // back
    now->store(at(1320));
    historian->stop();
    database->flush();

    const QString path = database->path();
    QCOMPARE(stored(path, lt),
        QStringList({ "0:1.5:good", "2:2:good", "3:2:uncertain", "603:2:uncertain",
            "1300:2:uncertain", "1305::bad" }));
    QCOMPARE(stored(path, sw),
        QStringList(
            { "0:true:good", "1300:true:good", "1305::bad", "1310:false:good", "1320::bad" }));
}

void TestHistorian::answersHistoryAsJson()
{
    const QString lt = QStringLiteral("LT-101");
    for (int i = 0; i < 100; ++i)
        table->update({ value(lt, start + i * 1000, double(i % 10)) });
    now->store(start + 100'000);
    database->flush();

    QJsonObject answer;
    QObject context;
    historian->history({ lt, QStringLiteral("none") }, start + 50'500, start + 52'000, 0, &context,
        [&answer](const QJsonObject &a) { answer = a; });
    QTRY_VERIFY_WITH_TIMEOUT(!answer.isEmpty(), 10000);
    const QJsonObject expected {
        { "points",
            QJsonObject {
                { lt,
                    QJsonArray {
                        QJsonObject { { "t", start + 50'000 }, { "v", 0.0 }, { "s", "good" } },
                        QJsonObject { { "t", start + 51'000 }, { "v", 1.0 }, { "s", "good" } },
                        QJsonObject { { "t", start + 52'000 }, { "v", 2.0 }, { "s", "good" } } } },
                { "none", QJsonArray {} } } },
        { "downsampled", QJsonObject { { lt, false }, { "none", false } } }
    };
    QCOMPARE(answer, expected);

    // An answer whose receiver is gone is dropped.
    bool called = false;
    auto gone = std::make_unique<QObject>();
    historian->history({ lt }, start, start + 100'000, 8, gone.get(),
        [&called](const QJsonObject &) { called = true; });
    gone.reset();
    historian->history({ lt }, start, start + 100'000, 8, &context,
        [&answer](const QJsonObject &a) { answer = a; });
    QTRY_VERIFY_WITH_TIMEOUT(answer[QStringLiteral("downsampled")][lt].toBool(), 10000);
    QVERIFY(!called);
    QVERIFY(answer[QStringLiteral("points")][lt].toArray().size() <= 8);
}

QTEST_GUILESS_MAIN(TestHistorian)
#include "tst_historian.moc"
