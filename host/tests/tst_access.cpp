// Users, roles and the session: what each role may do, the users file and
// its mode, logins with their lock, the idle logout, the user commands of
// the executable, and the password kept out of everything written.

#include "access.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QByteArray password = "Vr3mya-Pusk!";

struct Fixture
{
    QTemporaryDir dir;
    qint64 now = 1'800'000'000'000;
    QString path() const { return dir.filePath(QStringLiteral("users.json")); }

    void writeUsers(const QList<std::pair<QString, Role>> &users)
    {
        QList<UserRecord> records;
        for (const auto &[name, role] : users) {
            UserRecord record { name, role, {} };
            QVERIFY(Password::hash(password, record.hash));
            records << record;
        }
        QString error;
        QVERIFY2(UserStore::save(path(), records, error), qPrintable(error));
    }
};

QStringList eventsOf(const QSignalSpy &spy)
{
    QStringList events;
    for (const QList<QVariant> &call : spy) {
        for (const JournalRecord &record : call.at(0).value<QList<JournalRecord>>())
            events << record.event;
    }
    return events;
}

// Every text of every record, to look for what must never be in them.
QByteArray everythingIn(const QSignalSpy &spy)
{
    QByteArray all;
    for (const QList<QVariant> &call : spy) {
        for (const JournalRecord &record : call.at(0).value<QList<JournalRecord>>())
            all += (record.event + record.user + record.text + record.value + record.point)
                       .toUtf8();
    }
    return all;
}

} // namespace

class TestAccess : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { qRegisterMetaType<QList<JournalRecord>>(); }

    void rolesAllow_data();
    void rolesAllow();
    void anOpenStationAllowsEverything();
    void usersFileIsTheOwnersOnly();
    void refusesAnUnsafeOrBrokenFile_data();
    void refusesAnUnsafeOrBrokenFile();
    void logsInWithTheRightPasswordOnly();
    void locksANameAfterFiveFailuresWithinAMinute();
    void takesUsersChangedWhileItRuns();
    void logsOutAfterTheIdleTime();
    void userCommandsOfTheExecutable();
};

void TestAccess::rolesAllow_data()
{
    QTest::addColumn<Role>("role");
    QTest::addColumn<QList<bool>>("allowed"); // alarms, commands, edit, save, service, users
    QTest::newRow("nobody") << Role::None
                            << QList<bool> { false, false, false, false, false, false };
    QTest::newRow("operator") << Role::Operator
                              << QList<bool> { true, true, false, false, false, false };
    QTest::newRow("engineer") << Role::Engineer
                              << QList<bool> { true, true, true, true, true, false };
    QTest::newRow("admin") << Role::Admin << QList<bool> { true, true, true, true, true, true };
}

void TestAccess::rolesAllow()
{
    QFETCH(Role, role);
    QFETCH(QList<bool>, allowed);
    const Permission permissions[] = { Permission::Alarms, Permission::Commands, Permission::Edit,
        Permission::SaveSchemes, Permission::OutOfService, Permission::Users };
    for (int i = 0; i < 6; ++i)
        QCOMPARE(roleAllows(role, permissions[i]), allowed.at(i));
}

void TestAccess::anOpenStationAllowsEverything()
{
    Fixture fixture;
    AccessControl access(fixture.path(), QStringLiteral("ST-1"), [&] { return fixture.now; });
    access.load();
    QVERIFY(!access.configured());
    QVERIFY(access.allows(Permission::Users));
    QVERIFY(access.refusal(Permission::Edit).isEmpty());
    const QJsonObject state = access.state();
    QCOMPARE(state.value("configured").toBool(), false);
    QVERIFY(state.value("user").isNull());
    QCOMPARE(state.value("reasons").toObject(), QJsonObject());
    QCOMPARE(access.login(QStringLiteral("anyone"), password), AccessControl::Login::Unavailable);
}

void TestAccess::usersFileIsTheOwnersOnly()
{
    Fixture fixture;
    fixture.writeUsers({ { QStringLiteral("ivanov"), Role::Operator },
        { QStringLiteral("petrova"), Role::Engineer } });
    QCOMPARE(QFile::permissions(fixture.path()),
        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser
            | QFileDevice::WriteUser);
    const QByteArray contents = [&] {
        QFile file(fixture.path());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }();
    QVERIFY(contents.contains("$argon2id$"));
    QVERIFY(!contents.contains(password));
    QList<UserRecord> users;
    QString error;
    QCOMPARE(UserStore::load(fixture.path(), users, error), UserStore::Load::Loaded);
    QCOMPARE(users.size(), 2);
    QCOMPARE(users.at(1).role, Role::Engineer);
    QVERIFY(Password::verify(users.at(0).hash, password));
    QVERIFY(!Password::verify(users.at(0).hash, password + "x"));
}

void TestAccess::refusesAnUnsafeOrBrokenFile_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<bool>("othersWrite");
    QTest::addColumn<QString>("reason");
    QTest::newRow("others may write") << QByteArray() << true << "can be written by other users";
    QTest::newRow("not JSON") << QByteArray("{") << false << "is not a list of users";
    QTest::newRow("unknown role") << QByteArray(
        R"({"users":[{"name":"a","role":"root","hash":"$argon2id$x"}]})")
                                  << false << "entry 1 is not a user";
    QTest::newRow("no hash") << QByteArray(R"({"users":[{"name":"a","role":"admin"}]})") << false
                             << "entry 1 is not a user";
}

void TestAccess::refusesAnUnsafeOrBrokenFile()
{
    QFETCH(QByteArray, contents);
    QFETCH(bool, othersWrite);
    QFETCH(QString, reason);
    Fixture fixture;
    fixture.writeUsers({ { QStringLiteral("ivanov"), Role::Admin } });
    if (!contents.isEmpty()) {
        QFile file(fixture.path());
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(contents);
    }
    if (othersWrite) {
#ifndef Q_OS_UNIX
        QSKIP("file modes are a POSIX matter");
#endif
        QVERIFY(QFile::setPermissions(
            fixture.path(), QFile::permissions(fixture.path()) | QFileDevice::WriteOther));
    }
    AccessControl access(fixture.path(), QStringLiteral("ST-1"), [&] { return fixture.now; });
    QSignalSpy problems(&access, &AccessControl::problem);
    access.load();
    QCOMPARE(problems.size(), 1);
    QVERIFY2(problems.at(0).at(0).toString().contains(reason),
        qPrintable(problems.at(0).at(0).toString()));
    // Refused means closed, not open: nobody logs in and nothing is allowed.
    QVERIFY(access.configured());
    QCOMPARE(access.login(QStringLiteral("ivanov"), password), AccessControl::Login::Unavailable);
    QVERIFY(!access.allows(Permission::Alarms));
    QCOMPARE(access.refusal(Permission::Alarms),
        QStringLiteral("Вход невозможен: файл пользователей не принят"));
}

void TestAccess::logsInWithTheRightPasswordOnly()
{
    Fixture fixture;
    fixture.writeUsers({ { QStringLiteral("ivanov"), Role::Operator } });
    AccessControl access(fixture.path(), QStringLiteral("ST-1"), [&] { return fixture.now; });
    QSignalSpy journal(&access, &AccessControl::journal);
    QSignalSpy changed(&access, &AccessControl::changed);
    access.load();
    QVERIFY(access.configured());
    QVERIFY(!access.allows(Permission::Alarms));
    QCOMPARE(access.refusal(Permission::Alarms),
        QStringLiteral("Нужно войти: действие доступно роли «оператор»"));

    QCOMPARE(access.login(QStringLiteral("ivanov"), "wrong"), AccessControl::Login::Wrong);
    // A name nobody has may be a password typed into the wrong field.
    QCOMPARE(access.login(QString::fromUtf8(password), password), AccessControl::Login::Wrong);
    QCOMPARE(access.login(QStringLiteral("ivanov"), password), AccessControl::Login::Done);
    QCOMPARE(access.user(), QStringLiteral("ivanov"));
    QVERIFY(access.allows(Permission::Commands));
    QVERIFY(!access.allows(Permission::Edit));
    QCOMPARE(access.refusal(Permission::Edit),
        QStringLiteral("Недостаточно прав: нужна роль «инженер»"));
    const QJsonObject state = access.state();
    QCOMPARE(state.value("user").toString(), QStringLiteral("ivanov"));
    QCOMPARE(state.value("role").toString(), QStringLiteral("operator"));
    QCOMPARE(state.value("allowed").toObject(),
        (QJsonObject { { "alarms", true }, { "commands", true }, { "edit", false },
            { "outOfService", false } }));
    QVERIFY(state.value("reasons").toObject().contains("edit"));

    access.refused(Permission::Edit, QStringLiteral("сохранение схемы a.json"));
    access.logout();
    QVERIFY(access.user().isEmpty());
    QVERIFY(!access.allows(Permission::Alarms));
    QCOMPARE(eventsOf(journal),
        (QStringList { "login-failed", "login-failed", "login", "refused", "logout" }));
    QVERIFY(!everythingIn(journal).contains(password));
    QVERIFY(!everythingIn(journal).contains("wrong"));
    QVERIFY(!QJsonDocument(state).toJson().contains(password));
    QCOMPARE(changed.size(), 3); // load, login, logout
}

void TestAccess::locksANameAfterFiveFailuresWithinAMinute()
{
    Fixture fixture;
    fixture.writeUsers({ { QStringLiteral("ivanov"), Role::Operator } });
    AccessControl access(fixture.path(), QStringLiteral("ST-1"), [&] { return fixture.now; });
    QSignalSpy journal(&access, &AccessControl::journal);
    access.load();
    // Four failures, then one more after the first has left the minute: no lock.
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(access.login(QStringLiteral("ivanov"), "bad"), AccessControl::Login::Wrong);
        fixture.now += 1000;
    }
    fixture.now += AccessControl::failureWindowMs - 3500;
    QCOMPARE(access.login(QStringLiteral("ivanov"), "bad"), AccessControl::Login::Wrong);
    // The fifth within a minute locks the name for 30 s, the right password too.
    qint64 left = 0;
    QCOMPARE(access.login(QStringLiteral("ivanov"), "bad", &left), AccessControl::Login::Locked);
    QCOMPARE(left, AccessControl::lockMs);
    fixture.now += 20'000;
    QCOMPARE(access.login(QStringLiteral("ivanov"), password, &left), AccessControl::Login::Locked);
    QCOMPARE(left, 10'000);
    QVERIFY(access.user().isEmpty());
    fixture.now += 10'000;
    QCOMPARE(access.login(QStringLiteral("ivanov"), password), AccessControl::Login::Done);
    const QStringList events = eventsOf(journal);
    QCOMPARE(events.count("locked"), 1);
    QCOMPARE(events.count("login-failed"), 7);
    QCOMPARE(events.last(), QStringLiteral("login"));
}

void TestAccess::takesUsersChangedWhileItRuns()
{
    Fixture fixture;
    AccessControl access(fixture.path(), QStringLiteral("ST-1"), [&] { return fixture.now; });
    access.load();
    access.watch();
    QVERIFY(!access.configured());
    // The first user makes the station closed; a removed user is logged out.
    fixture.writeUsers({ { QStringLiteral("ivanov"), Role::Operator } });
    QTRY_VERIFY_WITH_TIMEOUT(access.configured(), 5000);
    QCOMPARE(access.login(QStringLiteral("ivanov"), password), AccessControl::Login::Done);
    QSignalSpy journal(&access, &AccessControl::journal);
    fixture.writeUsers({ { QStringLiteral("petrova"), Role::Engineer } });
    QTRY_VERIFY_WITH_TIMEOUT(access.user().isEmpty(), 5000);
    QCOMPARE(eventsOf(journal), QStringList { "logout" });
    QCOMPARE(access.login(QStringLiteral("petrova"), password), AccessControl::Login::Done);
}

void TestAccess::logsOutAfterTheIdleTime()
{
    Fixture fixture;
    fixture.writeUsers({ { QStringLiteral("ivanov"), Role::Operator } });
    AccessControl access(fixture.path(), QStringLiteral("ST-1"), [&] { return fixture.now; });
    QSignalSpy journal(&access, &AccessControl::journal);
    access.load();
    access.setIdleMinutes(15);
    QCOMPARE(access.login(QStringLiteral("ivanov"), password), AccessControl::Login::Done);
    fixture.now += 14 * 60'000;
    access.touch();
    fixture.now += 14 * 60'000;
    access.checkIdle();
    QCOMPARE(access.user(), QStringLiteral("ivanov"));
    fixture.now += 60'000;
    access.checkIdle();
    QVERIFY(access.user().isEmpty());
    const JournalRecord last = journal.last().at(0).value<QList<JournalRecord>>().constLast();
    QCOMPARE(last.event, QStringLiteral("logout"));
    QCOMPARE(last.user, QStringLiteral("ivanov"));
    QCOMPARE(last.text, QStringLiteral("бездействие 15 мин"));

    // 0: never.
    access.setIdleMinutes(0);
    QCOMPARE(access.login(QStringLiteral("ivanov"), password), AccessControl::Login::Done);
    fixture.now += 24 * 3600'000LL;
    access.checkIdle();
    QCOMPARE(access.user(), QStringLiteral("ivanov"));
}

void TestAccess::userCommandsOfTheExecutable()
{
    QTemporaryDir dir;
    const QString database = dir.filePath(QStringLiteral("station.db"));
    const auto run = [&](const QStringList &arguments, const QByteArray &input = {}) {
        QProcess process;
        process.start(QStringLiteral(CORVANE_UI),
            QStringList { QStringLiteral("--history"), database, QStringLiteral("--station"),
                QStringLiteral("ST-9") }
                + arguments);
        process.write(input);
        process.closeWriteChannel();
        process.waitForFinished(30'000);
        return std::tuple { process.exitCode(), process.readAllStandardOutput(),
            process.readAllStandardError() };
    };
    const QString users = dir.filePath(QStringLiteral("users.json"));

    auto [code, out, err] = run({ QStringLiteral("--add-user"), QStringLiteral("petrova"),
                                    QStringLiteral("--role"), QStringLiteral("engineer") },
        password + "\n");
    QCOMPARE(code, 0);
    QVERIFY(!out.contains(password) && !err.contains(password));
    QCOMPARE(QFile::permissions(users)
            & (QFileDevice::WriteGroup | QFileDevice::WriteOther | QFileDevice::ReadGroup
                | QFileDevice::ReadOther),
        QFileDevice::Permissions());
    std::tie(code, out, err) = run({ QStringLiteral("--add-user"), QStringLiteral("ivanov"),
                                       QStringLiteral("--role"), QStringLiteral("operator") },
        "другой пароль\n");
    QCOMPARE(code, 0);
    std::tie(code, out, err) = run({ QStringLiteral("--list-users") });
    QCOMPARE(code, 0);
    QCOMPARE(out, QByteArray("petrova\tengineer\nivanov\toperator\n"));

    // Wrong arguments change nothing.
    for (const QStringList &wrong :
        { QStringList { QStringLiteral("--add-user"), QStringLiteral("x y"),
              QStringLiteral("--role"), QStringLiteral("admin") },
            QStringList { QStringLiteral("--add-user"), QStringLiteral("x"),
                QStringLiteral("--role"), QStringLiteral("root") },
            QStringList { QStringLiteral("--remove-user"), QStringLiteral("nobody") } }) {
        std::tie(code, out, err) = run(wrong, password + "\n");
        QCOMPARE(code, 2);
        QVERIFY(!err.isEmpty());
    }
    std::tie(code, out, err) = run({ QStringLiteral("--remove-user"), QStringLiteral("ivanov") });
    QCOMPARE(code, 0);

    QList<UserRecord> kept;
    QString error;
    QCOMPARE(UserStore::load(users, kept, error), UserStore::Load::Loaded);
    QCOMPARE(kept.size(), 1);
    QVERIFY(Password::verify(kept.at(0).hash, password));

    // Each change is in the journal, with the station, and no password.
    std::tie(code, out, err) = run({ QStringLiteral("--export-journal") });
    QCOMPARE(code, 0);
    const QList<QByteArray> lines = out.trimmed().split('\n');
    QCOMPARE(lines.size(), 4);
    QVERIFY(lines.at(1).contains(",user-added,,,,,petrova,ST-9,инженер"));
    QVERIFY(lines.at(3).contains(",user-removed,,,,,ivanov,ST-9,"));
    QVERIFY(!out.contains(password) && !out.contains("другой пароль"));

    // A file others may write is refused, and left as it is.
    QVERIFY(QFile::setPermissions(users, QFile::permissions(users) | QFileDevice::WriteOther));
    std::tie(code, out, err) = run({ QStringLiteral("--add-user"), QStringLiteral("x"),
                                       QStringLiteral("--role"), QStringLiteral("admin") },
        password + "\n");
    QCOMPARE(code, 2);
    QVERIFY2(err.contains("can be written by other users"), err.constData());
    QCOMPARE(UserStore::load(users, kept, error), UserStore::Load::Refused);
}

QTEST_GUILESS_MAIN(TestAccess)
#include "tst_access.moc"
