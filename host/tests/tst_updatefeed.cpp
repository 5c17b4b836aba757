// The live feed to the page: only followed points, the newest value of each,
// at most one batch per frame and the next only after the page's answer.

#include "pointtable.h"
#include "updatefeed.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSignalSpy>
#include <QTest>

namespace {

PointSample sample(
    const char *id, const QVariant &value, qint64 t, PointStatus status = PointStatus::Good)
{
    return { QString::fromLatin1(id), t, value, status };
}

QJsonArray batchAt(const QSignalSpy &spy, int index)
{
    return QJsonDocument::fromJson(spy.at(index).at(0).toString().toUtf8()).array();
}

} // namespace

class TestUpdateFeed : public QObject
{
    Q_OBJECT

private slots:
    void encodesAsJson();
    void coalescesAndWaitsForTheAnswer();
    void aNewPageStartsAfresh();
};

void TestUpdateFeed::encodesAsJson()
{
    const QString json = UpdateFeed::encode({ sample("LT-101", 61.5, 1765350000123),
        sample("P\"1\\\n", true, 2, PointStatus::Bad), sample("x", 0.1 + 0.2, 3) });
    const QJsonArray batch = QJsonDocument::fromJson(json.toUtf8()).array();
    QCOMPARE(batch.size(), 3);
    QCOMPARE(batch.at(0).toArray(), (QJsonArray { "LT-101", 61.5, "good", double(1765350000123) }));
    QCOMPARE(batch.at(1).toArray(), (QJsonArray { "P\"1\\\n", true, "bad", 2 }));
    // Numbers keep every digit they have.
    QCOMPARE(batch.at(2).toArray().at(1).toDouble(), 0.1 + 0.2);
}

void TestUpdateFeed::coalescesAndWaitsForTheAnswer()
{
    PointTable table;
    UpdateFeed feed(&table);
    QSignalSpy batches(&feed, &UpdateFeed::batch);
    table.update({ sample("A", 1, 1) });
    QTest::qWait(40);
    QCOMPARE(batches.size(), 0); // nothing before the page follows

    feed.follow({ QStringLiteral("A"), QStringLiteral("B") });
    table.update({ sample("A", 1, 1), sample("C", 9, 1) });
    table.update(
        { sample("A", 2, 2), sample("B", 3, 2), { QStringLiteral("B"), 3, {}, PointStatus::Bad } });
    QVERIFY(batches.wait(200));
    QCOMPARE(batchAt(batches, 0),
        (QJsonArray { QJsonArray { "A", 2, "good", 2 }, QJsonArray { "B", 3, "good", 2 } }));

    // Without the page's answer nothing more goes, however much arrives.
    for (int i = 0; i < 100; ++i)
        table.update({ sample("A", 10 + i, 10 + i) });
    QTest::qWait(60);
    QCOMPARE(batches.size(), 1);
    feed.applied();
    QVERIFY(batches.wait(200));
    QCOMPARE(batchAt(batches, 1), (QJsonArray { QJsonArray { "A", 109, "good", 109 } }));
}

void TestUpdateFeed::aNewPageStartsAfresh()
{
    PointTable table;
    UpdateFeed feed(&table);
    QSignalSpy batches(&feed, &UpdateFeed::batch);
    feed.follow({ QStringLiteral("A") });
    table.update({ sample("A", 1, 1) });
    QVERIFY(batches.wait(200));
    // The page reloads before answering: its successor owes nothing.
    table.update({ sample("A", 2, 2) });
    feed.follow({ QStringLiteral("A") });
    table.update({ sample("A", 3, 3) });
    QVERIFY(batches.wait(200));
    QCOMPARE(batchAt(batches, 1), (QJsonArray { QJsonArray { "A", 3, "good", 3 } }));
}

QTEST_GUILESS_MAIN(TestUpdateFeed)
#include "tst_updatefeed.moc"
