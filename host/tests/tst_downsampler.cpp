// M4 keeps, per pixel column, what the raw line shows there.

#include "downsampler.h"

#include <QRandomGenerator>
#include <QTest>

#include <map>

Q_DECLARE_METATYPE(QList<HistorySample>)

namespace {

HistorySample number(qint64 t, double v, PointStatus s = PointStatus::Good)
{
    return { t, v, HistorySample::Kind::Number, s };
}

QList<qint64> timesOf(const QList<HistorySample> &samples)
{
    QList<qint64> times;
    for (const HistorySample &sample : samples)
        times.append(sample.t);
    return times;
}

QList<HistorySample> series(const QList<double> &values, qint64 step = 1)
{
    QList<HistorySample> samples;
    for (qsizetype i = 0; i < values.size(); ++i)
        samples.append(number(i * step, values.at(i)));
    return samples;
}

} // namespace

class TestDownsampler : public QObject
{
    Q_OBJECT

private slots:
    void keepsFirstMinMaxLastPerColumn_data();
    void keepsFirstMinMaxLastPerColumn();
    void matchesBruteForceOnRandomData();
};

void TestDownsampler::keepsFirstMinMaxLastPerColumn_data()
{
    QTest::addColumn<QList<HistorySample>>("samples");
    QTest::addColumn<qint64>("from");
    QTest::addColumn<qint64>("to");
    QTest::addColumn<int>("columns");
    QTest::addColumn<QList<qint64>>("kept");

    QTest::newRow("one column: first, min, max, last in time order") << series(
        { 5, 3, 9, 1, 7, 4 }) << qint64(0) << qint64(5) << 1 << QList<qint64> { 0, 2, 3, 5 };
    QTest::newRow("a rising line keeps its ends only")
        << series({ 1, 2, 3, 4, 5, 6 }) << qint64(0) << qint64(5) << 1 << QList<qint64> { 0, 5 };
    QTest::newRow("each column on its own")
        << series({ 5, 1, 9, 5, 5, 9, 1, 5 }) << qint64(0) << qint64(7) << 2
        << QList<qint64> { 0, 1, 2, 3, 4, 5, 6, 7 };
    QTest::newRow("extremes inside two columns")
        << series({ 0, 8, 2, 3, 4, 0, -6, 1, 2, 3 }) << qint64(0) << qint64(9) << 2
        << QList<qint64> { 0, 1, 4, 5, 6, 9 };
    QTest::newRow("samples outside the range are dropped")
        << series({ 1, 2, 3, 4, 5, 6 }) << qint64(2) << qint64(3) << 1 << QList<qint64> { 2, 3 };
    QTest::newRow("a gap is kept and breaks the column's line")
        << QList<HistorySample> { number(0, 5), number(1, 9), number(2, 1), number(3, 4),
               HistorySample::gap(4), number(5, 7), number(6, 0), number(7, 8), number(8, 6) }
        << qint64(0) << qint64(8) << 1 << QList<qint64> { 0, 1, 2, 3, 4, 5, 6, 7, 8 };
    QTest::newRow("a stretch of another status keeps its own extremes")
        << QList<HistorySample> { number(0, 5), number(1, 9), number(2, 1), number(3, 4),
               number(4, 3, PointStatus::Bad), number(5, 2, PointStatus::Bad),
               number(6, 8, PointStatus::Bad), number(7, 6, PointStatus::Bad) }
        << qint64(0) << qint64(7) << 1 << QList<qint64> { 0, 1, 2, 3, 4, 5, 6, 7 };
    QTest::newRow("consecutive gaps all kept")
        << QList<HistorySample> { HistorySample::gap(0), HistorySample::gap(1), number(2, 1) }
        << qint64(0) << qint64(2) << 1 << QList<qint64> { 0, 1, 2 };
    QTest::newRow("an empty range keeps nothing")
        << series({ 1, 2 }) << qint64(5) << qint64(1) << 4 << QList<qint64> {};
}

void TestDownsampler::keepsFirstMinMaxLastPerColumn()
{
    QFETCH(QList<HistorySample>, samples);
    QFETCH(qint64, from);
    QFETCH(qint64, to);
    QFETCH(int, columns);
    QFETCH(QList<qint64>, kept);

    QCOMPARE(timesOf(Downsampler::m4(samples, from, to, columns)), kept);
}

void TestDownsampler::matchesBruteForceOnRandomData()
{
    QRandomGenerator random(20141);
    for (int round = 0; round < 50; ++round) {
        QList<HistorySample> raw;
        qint64 t = random.bounded(1000);
        double v = 0;
        PointStatus status = PointStatus::Good;
        const int count = 1 + random.bounded(5000);
        for (int i = 0; i < count; ++i) {
            t += 1 + random.bounded(2000);
            if (random.bounded(100) == 0) {
                raw.append(HistorySample::gap(t));
                continue;
            }
            if (random.bounded(100) == 0)
                status = PointStatus(random.bounded(3));
            v += random.bounded(2.0) - 1;
            raw.append(number(t, v, status));
        }
        const qint64 from = raw.first().t + random.bounded(1000);
        const qint64 to = raw.last().t - random.bounded(1000);
        const int columns = 1 + random.bounded(300);
        const QList<HistorySample> kept = Downsampler::m4(raw, from, to, columns);

        // What each column shows, computed plainly from the raw data.
        struct Column
        {
            qint64 first = -1, last = -1;
            double min = qInf(), max = -qInf();
            QList<qint64> gaps;
        };
        auto columnsOf = [&](const QList<HistorySample> &samples) {
            std::map<qint64, Column> result;
            for (const HistorySample &s : samples) {
                if (s.t < from || s.t > to)
                    continue;
                Column &c = result[qint64(double(s.t - from) * columns / double(to - from + 1))];
                if (c.first < 0)
                    c.first = s.t;
                c.last = s.t;
                if (s.isGap()) {
                    c.gaps.append(s.t);
                } else {
                    c.min = std::min(c.min, s.v);
                    c.max = std::max(c.max, s.v);
                }
            }
            return result;
        };
        const auto expected = columnsOf(raw);
        const auto actual = columnsOf(kept);
        QCOMPARE(actual.size(), expected.size());
        for (const auto &[index, column] : expected) {
            const Column &got = actual.at(index);
            QCOMPARE(got.first, column.first);
            QCOMPARE(got.last, column.last);
            QCOMPARE(got.min, column.min);
            QCOMPARE(got.max, column.max);
            QCOMPARE(got.gaps, column.gaps);
        }
        // Only raw samples, in time order.
        qsizetype at = 0;
        for (const HistorySample &s : kept) {
            while (at < raw.size() && raw.at(at).t < s.t)
                ++at;
            QVERIFY(at < raw.size());
            QCOMPARE(raw.at(at).v, s.v);
            QCOMPARE(raw.at(at).status, s.status);
        }
    }
}

QTEST_GUILESS_MAIN(TestDownsampler)
#include "tst_downsampler.moc"
