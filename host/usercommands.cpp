#include "usercommands.h"

#include "access.h"
#include "journalappend.h"
#include "stationdatabase.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QSysInfo>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#ifdef Q_OS_WIN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <io.h>
#include <windows.h>
#else
#include <termios.h>
#include <unistd.h>
#endif

namespace {

int failed(const QString &message)
{
    std::fprintf(stderr, "corvane-ui: %s\n", message.toLocal8Bit().constData());
    return 2;
}

bool stdinIsTerminal()
{
#ifdef Q_OS_WIN
    return _isatty(_fileno(stdin));
#else
    return isatty(STDIN_FILENO);
#endif
}

// One line from standard input, without its line end.
bool readLine(std::string &line)
{
    line.clear();
    int c = 0;
    while ((c = std::fgetc(stdin)) != EOF && c != '\n')
        line.push_back(char(c));
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return c != EOF || !line.empty();
}

// Asks on the terminal with the typed characters not shown.
bool askHidden(const char *prompt, std::string &answer)
{
    std::fputs(prompt, stderr);
    std::fflush(stderr);
#ifdef Q_OS_WIN
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    GetConsoleMode(input, &mode);
    SetConsoleMode(input, mode & ~DWORD(ENABLE_ECHO_INPUT));
    const bool read = readLine(answer);
    SetConsoleMode(input, mode);
#else
    termios saved {};
    const bool terminal = tcgetattr(STDIN_FILENO, &saved) == 0;
    if (terminal) {
        termios quiet = saved;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    const bool read = readLine(answer);
    if (terminal)
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
#endif
    std::fputs("\n", stderr);
    return read;
}

void wipe(std::string &text)
{
    std::fill(text.begin(), text.end(), '\0');
    text.clear();
}

// The value after `--name`, or after `--name=`.
QString valueOf(const QStringList &arguments, const QString &name, bool &given)
{
    given = false;
    const QString flag = QStringLiteral("--") + name;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        if (arguments.at(i) == flag) {
            given = true;
            return arguments.value(i + 1);
        }
        if (arguments.at(i).startsWith(flag + QLatin1Char('='))) {
            given = true;
            return arguments.at(i).mid(flag.size() + 1);
        }
    }
    return {};
}

} // namespace

bool asksForUserCommand(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        for (const char *flag : { "--add-user", "--remove-user", "--list-users" }) {
            const size_t length = std::strlen(flag);
            if (std::strncmp(argv[i], flag, length) == 0
                && (argv[i][length] == '\0' || argv[i][length] == '='))
                return true;
        }
    }
    return false;
}

int runUserCommand(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    bool given = false;
    QString database = valueOf(arguments, QStringLiteral("history"), given);
    if (given && database.isEmpty())
        return failed(QStringLiteral("--history needs a file."));
    if (database.isEmpty())
        database = StationDatabase::defaultPath();
    QString station = valueOf(arguments, QStringLiteral("station"), given);
    if (station.isEmpty())
        station = QSysInfo::machineHostName();
    const QString path = UserStore::besideDatabase(database);
    const QString shown = QDir::toNativeSeparators(path);

    QList<UserRecord> users;
    QString error;
    if (UserStore::load(path, users, error) == UserStore::Load::Refused)
        return failed(error);

    if (arguments.contains(QStringLiteral("--list-users"))) {
        for (const UserRecord &user : std::as_const(users))
            std::printf("%s\t%s\n", user.name.toUtf8().constData(),
                roleName(user.role).toUtf8().constData());
        return 0;
    }

    JournalRecord record;
    record.time = QDateTime::currentMSecsSinceEpoch();
    record.station = station;
    const QString added = valueOf(arguments, QStringLiteral("add-user"), given);
    if (given) {
        if (!UserStore::validName(added))
            return failed(QStringLiteral("--add-user needs a name of 1 to 64 letters, digits, "
                                         "'.', '_' or '-'."));
        Role role = Role::None;
        if (!roleFromName(valueOf(arguments, QStringLiteral("role"), given), role))
            return failed(QStringLiteral("--add-user needs --role operator, engineer or admin."));
        std::string password;
        if (stdinIsTerminal()) {
            std::string again;
            if (!askHidden("Password: ", password) || !askHidden("Password again: ", again))
                return failed(QStringLiteral("no password given."));
            const bool same = password == again;
            wipe(again);
            if (!same) {
                wipe(password);
                return failed(QStringLiteral("the two passwords differ; nothing changed."));
            }
        } else if (!readLine(password)) {
            return failed(QStringLiteral("no password on standard input."));
        }
        if (password.empty())
            return failed(QStringLiteral("an empty password is not taken."));
        UserRecord user { added, role, {} };
        const bool hashed = Password::hash(QByteArray::fromStdString(password), user.hash);
        wipe(password);
        if (!hashed)
            return failed(QStringLiteral("the password could not be hashed."));
        bool replaced = false;
        for (UserRecord &known : users) {
            if (known.name == added) {
                known = user;
                replaced = true;
            }
        }
        if (!replaced)
            users.append(user);
        if (!UserStore::save(path, users, error))
            return failed(error);
        record.event = QStringLiteral("user-added");
        record.user = added;
        record.text = replaced ? QStringLiteral("%1, пароль заменён").arg(roleLabel(role))
                               : roleLabel(role);
        std::printf("%s: %s (%s) in %s\n", replaced ? "changed" : "added",
            added.toUtf8().constData(), roleName(role).toUtf8().constData(),
            shown.toUtf8().constData());
    } else {
        const QString removed = valueOf(arguments, QStringLiteral("remove-user"), given);
        const qsizetype before = users.size();
        users.removeIf([&removed](const UserRecord &user) { return user.name == removed; });
        if (users.size() == before)
            return failed(QStringLiteral("no user \"%1\" in %2.").arg(removed, shown));
        if (!UserStore::save(path, users, error))
            return failed(error);
        record.event = QStringLiteral("user-removed");
        record.user = removed;
        std::printf(
            "removed: %s from %s\n", removed.toUtf8().constData(), shown.toUtf8().constData());
    }
    if (!appendJournalRecord(database, record, error))
        std::fprintf(stderr, "corvane-ui: the journal could not be written: %s\n",
            error.toLocal8Bit().constData());
    return 0;
}
