// The views' settings file: kept between runs, written whole, read back.

#include "settingsfile.h"

#include <QFile>
#include <QJsonArray>
#include <QTemporaryDir>
#include <QTest>

class TestSettingsFile : public QObject
{
    Q_OBJECT

private slots:
    void keepsTheLastValueOfEachKeyBetweenRuns();
    void startsEmptyFromWhatIsNotASettingsFile_data();
    void startsEmptyFromWhatIsNotASettingsFile();
};

void TestSettingsFile::keepsTheLastValueOfEachKeyBetweenRuns()
{
    QTemporaryDir root;
    QVERIFY(root.isValid());
    // A folder not made yet is made for the first write.
    const QString path = root.filePath(QStringLiteral("data/views.json"));
    const QJsonObject pens { { QStringLiteral("pens"), QJsonArray { QStringLiteral("LT-101") } } };
    {
        SettingsFile file(path);
        QCOMPARE(file.value(QStringLiteral("trends")), QJsonObject());
        for (int i = 0; i < 50; ++i)
            file.setValue(QStringLiteral("view"), QJsonObject { { QStringLiteral("round"), i } });
        file.setValue(QStringLiteral("trends"), pens);
        // The change is there at once, before it is written.
        QCOMPARE(file.value(QStringLiteral("trends")), pens);
    }
    SettingsFile again(path);
    QCOMPARE(again.value(QStringLiteral("trends")), pens);
    QCOMPARE(again.value(QStringLiteral("view")).value(QStringLiteral("round")).toInt(), 49);
}

void TestSettingsFile::startsEmptyFromWhatIsNotASettingsFile_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::newRow("garbage") << QByteArray("\x01\x02 not json");
    QTest::newRow("a list") << QByteArray("[1, 2]");
    QTest::newRow("empty") << QByteArray();
}

void TestSettingsFile::startsEmptyFromWhatIsNotASettingsFile()
{
    QFETCH(QByteArray, contents);
    QTemporaryDir root;
    QVERIFY(root.isValid());
    const QString path = root.filePath(QStringLiteral("views.json"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(contents);
    file.close();
    SettingsFile settings(path);
    QCOMPARE(settings.value(QStringLiteral("trends")), QJsonObject());
}

QTEST_GUILESS_MAIN(TestSettingsFile)
#include "tst_settingsfile.moc"
