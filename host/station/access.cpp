#include "access.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSet>
#include <QTimer>

#include <sodium.h>

#include <algorithm>

namespace {

// The largest users file read: far beyond any station's users.
constexpr qint64 maxUsersFile = 1 << 20;
// How often the idle time is looked at.
constexpr int idleCheckMs = 5000;

bool sodiumReady()
{
    static const bool ready = sodium_init() >= 0;
    return ready;
}

constexpr QFileDevice::Permissions ownerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

// Writable by anyone but its owner.
bool othersMayWrite(const QFileInfo &info)
{
#ifdef Q_OS_UNIX
    return info.permissions() & (QFileDevice::WriteGroup | QFileDevice::WriteOther);
#else
    // Windows keeps access in ACLs, not in these bits: the user's profile
    // folder is the user's own.
    Q_UNUSED(info);
    return false;
#endif
}

} // namespace

bool roleAllows(Role role, Permission permission)
{
    return role != Role::None && int(role) >= int(roleNeeded(permission));
}

Role roleNeeded(Permission permission)
{
    switch (permission) {
    case Permission::Alarms:
    case Permission::Commands:
        return Role::Operator;
    case Permission::Edit:
    case Permission::SaveSchemes:
    case Permission::OutOfService:
        return Role::Engineer;
    case Permission::Users:
        return Role::Admin;
    }
    return Role::Admin;
}

QString roleName(Role role)
{
    switch (role) {
    case Role::Operator:
        return QStringLiteral("operator");
    case Role::Engineer:
        return QStringLiteral("engineer");
    case Role::Admin:
        return QStringLiteral("admin");
    case Role::None:
        break;
    }
    return {};
}

bool roleFromName(const QString &name, Role &role)
{
    for (Role known : { Role::Operator, Role::Engineer, Role::Admin }) {
        if (name == roleName(known)) {
            role = known;
            return true;
        }
    }
    return false;
}

QString roleLabel(Role role)
{
    switch (role) {
    case Role::Operator:
        return QStringLiteral("оператор");
    case Role::Engineer:
        return QStringLiteral("инженер");
    case Role::Admin:
        return QStringLiteral("администратор");
    case Role::None:
        break;
    }
    return {};
}

bool Password::hash(const QByteArray &password, QByteArray &hashed)
{
    if (!sodiumReady())
        return false;
    char out[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str(out, password.constData(), quint64(password.size()),
            crypto_pwhash_OPSLIMIT_INTERACTIVE, crypto_pwhash_MEMLIMIT_INTERACTIVE)
        != 0)
        return false;
    hashed = QByteArray(out);
    sodium_memzero(out, sizeof out);
    return true;
}

bool Password::verify(const QByteArray &hashed, const QByteArray &password)
{
    if (!sodiumReady() || hashed.isEmpty() || hashed.size() >= crypto_pwhash_STRBYTES)
        return false;
    char stored[crypto_pwhash_STRBYTES] = {};
    std::copy(hashed.cbegin(), hashed.cend(), stored);
    return crypto_pwhash_str_verify(stored, password.constData(), quint64(password.size())) == 0;
}

QString UserStore::besideDatabase(const QString &databasePath)
{
    return QFileInfo(databasePath).absoluteDir().filePath(QStringLiteral("users.json"));
}

bool UserStore::validName(const QString &name)
{
    static const QRegularExpression pattern(QStringLiteral("^[\\p{L}\\p{N}._-]{1,64}$"));
    return pattern.match(name).hasMatch();
}

UserStore::Load UserStore::load(const QString &path, QList<UserRecord> &users, QString &error)
{
    users.clear();
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return Load::Missing;
    const QString shown = QDir::toNativeSeparators(path);
    if (othersMayWrite(info)) {
        error = QStringLiteral(
            "The users file %1 can be written by other users of this machine: it is not used "
            "and nobody can log in until only its owner may write it (chmod 600).")
                    .arg(shown);
        return Load::Refused;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("The users file %1 cannot be read (%2): nobody can log in.")
                    .arg(shown, file.errorString());
        return Load::Refused;
    }
    if (file.size() > maxUsersFile) {
        error = QStringLiteral("The users file %1 is larger than 1 MiB: nobody can log in.")
                    .arg(shown);
        return Load::Refused;
    }
    QJsonParseError parse;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &parse);
    if (parse.error != QJsonParseError::NoError || !document.isObject()
        || !document.object().value(QLatin1String("users")).isArray()) {
        error = QStringLiteral("The users file %1 is not a list of users: nobody can log in.")
                    .arg(shown);
        return Load::Refused;
    }
    QSet<QString> seen;
    const QJsonArray list = document.object().value(QLatin1String("users")).toArray();
    for (qsizetype index = 0; index < list.size(); ++index) {
        const QJsonObject entry = list.at(index).toObject();
        UserRecord user;
        user.name = entry.value(QLatin1String("name")).toString();
        user.hash = entry.value(QLatin1String("hash")).toString().toLatin1();
        if (!validName(user.name) || seen.contains(user.name)
            || !roleFromName(entry.value(QLatin1String("role")).toString(), user.role)
            || !user.hash.startsWith("$argon2")) {
            error = QStringLiteral("The users file %1: entry %2 is not a user with a name, a role "
                                   "and a password hash; nobody can log in.")
                        .arg(shown)
                        .arg(index + 1);
            users.clear();
            return Load::Refused;
        }
        seen.insert(user.name);
        users.append(user);
    }
    return Load::Loaded;
}

bool UserStore::save(const QString &path, const QList<UserRecord> &users, QString &error)
{
    QJsonArray list;
    for (const UserRecord &user : users) {
        list.append(QJsonObject { { QStringLiteral("name"), user.name },
            { QStringLiteral("role"), roleName(user.role) },
            { QStringLiteral("hash"), QString::fromLatin1(user.hash) } });
    }
    const QString shown = QDir::toNativeSeparators(path);
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
        error = QStringLiteral("cannot make the folder of %1").arg(shown);
        return false;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || !file.setPermissions(ownerOnly)) {
        error = QStringLiteral("cannot write %1: %2").arg(shown, file.errorString());
        return false;
    }
    file.write(QJsonDocument(QJsonObject { { QStringLiteral("users"), list } })
                   .toJson(QJsonDocument::Indented));
    if (!file.commit()) {
        error = QStringLiteral("cannot write %1: %2").arg(shown, file.errorString());
        return false;
    }
    if (!QFile::setPermissions(path, ownerOnly) || othersMayWrite(QFileInfo(path))) {
        error = QStringLiteral("cannot make %1 readable by its owner only").arg(shown);
        return false;
    }
    return true;
}

AccessControl::AccessControl(
    const QString &usersPath, const QString &station, Clock clock, QObject *parent)
    : QObject(parent)
    , path(usersPath)
    , station(station)
    , clock(std::move(clock))
    , idleTimer(new QTimer(this))
{
    idleTimer->setInterval(idleCheckMs);
    connect(idleTimer, &QTimer::timeout, this, &AccessControl::checkIdle);
}

AccessControl::~AccessControl() = default;

qint64 AccessControl::now() const
{
    return clock ? clock() : QDateTime::currentMSecsSinceEpoch();
}

void AccessControl::watch()
{
    if (watcher)
        return;
    watcher = new QFileSystemWatcher(this);
    // The folder too: the file is replaced whole when it is written.
    watcher->addPath(QFileInfo(path).absolutePath());
    if (QFileInfo::exists(path))
        watcher->addPath(path);
    connect(watcher, &QFileSystemWatcher::directoryChanged, this, &AccessControl::checkFile);
    connect(watcher, &QFileSystemWatcher::fileChanged, this, &AccessControl::checkFile);
}

void AccessControl::checkFile()
{
    const QFileInfo info(path);
    const std::pair<qint64, qint64> now = info.exists()
        ? std::pair { info.size(), info.lastModified().toMSecsSinceEpoch() }
        : std::pair<qint64, qint64> { -1, -1 };
    if (watcher && info.exists() && !watcher->files().contains(path))
        watcher->addPath(path);
    if (now != seen)
        load();
}

void AccessControl::load()
{
    const QFileInfo info(path);
    seen = info.exists() ? std::pair { info.size(), info.lastModified().toMSecsSinceEpoch() }
                         : std::pair<qint64, qint64> { -1, -1 };
    QString error;
    load_ = UserStore::load(path, users, error);
    if (load_ == UserStore::Load::Refused)
        emit problem(tr("Nobody can log in: the users file was not accepted\n%1").arg(error));
    // A user who is gone, or whose role changed, is logged out.
    if (!current.name.isEmpty()) {
        const auto still = std::find_if(users.cbegin(), users.cend(),
            [this](const UserRecord &user) { return user.name == current.name; });
        if (still == users.cend() || still->role != current.role) {
            record(QStringLiteral("logout"), current.name, QStringLiteral("пользователь изменён"));
            current = {};
        }
    }
    emit changed();
}

bool AccessControl::allows(Permission permission) const
{
    if (!configured())
        return true;
    return roleAllows(current.role, permission);
}

QString AccessControl::refusal(Permission permission) const
{
    if (allows(permission))
        return {};
    if (load_ == UserStore::Load::Refused)
        return QStringLiteral("Вход невозможен: файл пользователей не принят");
    const QString needed = roleLabel(roleNeeded(permission));
    if (current.name.isEmpty())
        return QStringLiteral("Нужно войти: действие доступно роли «%1»").arg(needed);
    return QStringLiteral("Недостаточно прав: нужна роль «%1»").arg(needed);
}

void AccessControl::refused(Permission permission, const QString &what)
{
    record(QStringLiteral("refused"), current.name,
        QStringLiteral("%1: %2").arg(what, refusal(permission)));
}

void AccessControl::note(const QString &event, const QString &text)
{
    record(event, current.name, text);
}

AccessControl::Login AccessControl::login(
    const QString &name, const QByteArray &password, qint64 *lockedFor)
{
    if (load_ != UserStore::Load::Loaded)
        return Login::Unavailable;
    const qint64 at = now();
    if (const qint64 until = lockedUntil.value(name); until > at) {
        if (lockedFor)
            *lockedFor = until - at;
        const bool known = std::any_of(users.cbegin(), users.cend(),
            [&name](const UserRecord &user) { return user.name == name; });
        record(QStringLiteral("login-failed"), known ? name : QString(),
            QStringLiteral("имя заблокировано"));
        return Login::Locked;
    }
    const auto found = std::find_if(users.cbegin(), users.cend(),
        [&name](const UserRecord &user) { return user.name == name; });
    // An unknown name costs as much time as a known one.
    if (found == users.cend() && dummyHash.isEmpty())
        Password::hash(QByteArrayLiteral("-"), dummyHash);
    const bool right = found != users.cend() ? Password::verify(found->hash, password)
                                             : (Password::verify(dummyHash, password), false);
    if (right) {
        failures.remove(name);
        if (!current.name.isEmpty() && current.name != name)
            record(QStringLiteral("logout"), current.name,
                QStringLiteral("вход другого пользователя"));
        current = *found;
        current.hash.clear();
        lastInput = at;
        if (idleMinutes > 0)
            idleTimer->start();
        record(QStringLiteral("login"), current.name, roleLabel(current.role));
        emit changed();
        return Login::Done;
    }
    QList<qint64> &times = failures[name];
    times.erase(std::remove_if(times.begin(), times.end(),
                    [at](qint64 t) { return at - t >= failureWindowMs; }),
        times.end());
    times.append(at);
    // A name nobody has is not written down: it may be a password typed in
    // the wrong field.
    const bool known = found != users.cend();
    record(QStringLiteral("login-failed"), known ? name : QString(),
        known ? QStringLiteral("неверный пароль") : QStringLiteral("неизвестное имя"));
    if (times.size() >= maxFailures) {
        times.clear();
        lockedUntil.insert(name, at + lockMs);
        if (lockedFor)
            *lockedFor = lockMs;
        record(QStringLiteral("locked"), known ? name : QString(),
            QStringLiteral("%1 неудачных попыток за минуту: вход заблокирован на 30 с")
                .arg(maxFailures));
        return Login::Locked;
    }
    return Login::Wrong;
}

void AccessControl::logout()
{
    if (current.name.isEmpty())
        return;
    record(QStringLiteral("logout"), current.name, QString());
    current = {};
    idleTimer->stop();
    emit changed();
}

void AccessControl::setIdleMinutes(int minutes)
{
    idleMinutes = std::max(0, minutes);
    if (idleMinutes == 0)
        idleTimer->stop();
    else if (!current.name.isEmpty())
        idleTimer->start();
}

void AccessControl::touch()
{
    lastInput = now();
}

void AccessControl::checkIdle()
{
    if (current.name.isEmpty() || idleMinutes == 0)
        return;
    if (now() - lastInput < qint64(idleMinutes) * 60'000)
        return;
    record(QStringLiteral("logout"), current.name,
        QStringLiteral("бездействие %1 мин").arg(idleMinutes));
    current = {};
    idleTimer->stop();
    emit changed();
}

QJsonObject AccessControl::state() const
{
    QJsonObject allowed;
    QJsonObject reasons;
    const std::pair<const char *, Permission> shown[] = {
        { "alarms", Permission::Alarms },
        { "commands", Permission::Commands },
        { "edit", Permission::Edit },
        { "outOfService", Permission::OutOfService },
    };
    for (const auto &[key, permission] : shown) {
        const QString name = QString::fromLatin1(key);
        allowed.insert(name, allows(permission));
        if (!allows(permission))
            reasons.insert(name, refusal(permission));
    }
    return QJsonObject { { QStringLiteral("configured"), configured() },
        { QStringLiteral("user"),
            current.name.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(current.name) },
        { QStringLiteral("role"),
            current.name.isEmpty() ? QJsonValue(QJsonValue::Null)
                                   : QJsonValue(roleName(current.role)) },
        { QStringLiteral("allowed"), allowed }, { QStringLiteral("reasons"), reasons } };
}

void AccessControl::record(const QString &event, const QString &user, const QString &text)
{
    JournalRecord entry;
    entry.time = now();
    entry.event = event;
    entry.user = user;
    entry.station = station;
    entry.text = text;
    emit journal({ entry });
}
