#pragma once

#include "journalrecord.h"

#include <QByteArray>
#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QString>

#include <functional>

class QFileSystemWatcher;
class QTimer;

// Who may do what at the station. Each role may do all that the one before
// it may, and more.
enum class Role { None, Operator, Engineer, Admin };

enum class Permission {
    Alarms, // acknowledge, shelve, return, reset, comment, silence
    Commands, // commands to the plant
    Edit, // the scheme editor
    SaveSchemes, // saving into the scheme folder
    OutOfService, // taking alarms out of service and back
    Users, // adding and removing users
};

bool roleAllows(Role role, Permission permission);
// The role a permission needs at least.
Role roleNeeded(Permission permission);
// "operator", "engineer", "admin"; empty for None.
QString roleName(Role role);
// False for anything but the three names.
bool roleFromName(const QString &name, Role &role);
// The role as the page and the journal show it: "оператор", ….
QString roleLabel(Role role);

struct UserRecord
{
    QString name;
    Role role = Role::None;
    QByteArray hash; // crypto_pwhash_str's text, Argon2id

    bool operator==(const UserRecord &other) const
    {
        return name == other.name && role == other.role && hash == other.hash;
    }
};

// Passwords as libsodium hashes them: Argon2id with its interactive limits.
namespace Password {
// False when libsodium cannot be used or is out of memory.
bool hash(const QByteArray &password, QByteArray &hashed);
bool verify(const QByteArray &hashed, const QByteArray &password);
} // namespace Password

// The users file: a JSON list of { name, role, hash }, readable and writable
// by its owner only.
namespace UserStore {
// "users.json" in the folder of the station database at `databasePath`.
QString besideDatabase(const QString &databasePath);

enum class Load {
    Missing, // no file: the station is open
    Loaded,
    Refused, // unsafe or unreadable: nobody may log in
};
// `error` says, in English for the log, why a file was refused.
Load load(const QString &path, QList<UserRecord> &users, QString &error);
// Written whole and in place of the old file, with mode 0600.
bool save(const QString &path, const QList<UserRecord> &users, QString &error);
// A user name: 1 to 64 characters, letters, digits, '.', '_' and '-'.
bool validName(const QString &name);
} // namespace UserStore

// The session at this station: who is logged in, what they may do, the
// lock after failed logins and the logout after a time without input.
// Everything that happens is handed over as journal records.
class AccessControl : public QObject
{
    Q_OBJECT

public:
    using Clock = std::function<qint64()>;

    static constexpr int maxFailures = 5;
    static constexpr qint64 failureWindowMs = 60'000;
    static constexpr qint64 lockMs = 30'000;

    AccessControl(const QString &usersPath, const QString &station, Clock clock = {},
        QObject *parent = nullptr);
    ~AccessControl() override;

    // Reads the users file; a refused file is reported through problem().
    void load();
    // From now on reads the file again whenever it changes (a user added at
    // the command line while the station runs, say).
    void watch();
    QString usersPath() const { return path; }

    // A users file exists: the roles hold.
    bool configured() const { return load_ != UserStore::Load::Missing; }
    QString user() const { return current.name; }
    Role role() const { return current.role; }
    bool allows(Permission permission) const;
    // Why not, in Russian for the page; empty when allowed.
    QString refusal(Permission permission) const;
    // Records a refused call (what the page asked for) in the journal.
    void refused(Permission permission, const QString &what);
    // Records something the current user did ("save", …) in the journal.
    void note(const QString &event, const QString &text);

    enum class Login { Done, Wrong, Locked, Unavailable };
    // Checks a name and password; `lockedFor` is the time left on a lock.
    Login login(const QString &name, const QByteArray &password, qint64 *lockedFor = nullptr);
    void logout();

    // Minutes without input before the user is logged out; 0 never.
    void setIdleMinutes(int minutes);
    // Input was seen: the idle time starts again.
    void touch();
    // Logs out when the idle time has passed; called by the timer and tests.
    void checkIdle();

    // What the page learns: configured, user, role, allowed and reasons.
    QJsonObject state() const;

signals:
    void changed();
    void journal(const QList<JournalRecord> &records);
    // A line for the log window, in the user's language.
    void problem(const QString &message);

private:
    void record(const QString &event, const QString &user, const QString &text);
    void checkFile();
    qint64 now() const;

    QString path;
    QString station;
    Clock clock;
    UserStore::Load load_ = UserStore::Load::Missing;
    QList<UserRecord> users;
    UserRecord current;
    QHash<QString, QList<qint64>> failures;
    QHash<QString, qint64> lockedUntil;
    QByteArray dummyHash;
    int idleMinutes = 15;
    qint64 lastInput = 0;
    QTimer *idleTimer;
    QFileSystemWatcher *watcher = nullptr;
    // What the file looked like when it was last read: size and time, or -1 when missing.
    std::pair<qint64, qint64> seen { -1, -1 };
};
