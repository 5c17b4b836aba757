#include "access.h"
#include "bridge.h"
#include "commanddesk.h"
#include "historyexport.h"
#include "horn.h"
#include "journalexport.h"
#include "loopback.h"
#include "mainwindow.h"
#include "plantclient.h"
#include "plantsettings.h"
#include "remotedebugging.h"
#include "schemefolder.h"
#include "schemefolderhandler.h"
#include "schemeregistration.h"
#include "settingsfile.h"
#include "station.h"
#include "stationalarms.h"
#include "stationbackend.h"
#include "stationdatabase.h"
#include "symbolfolder.h"
#include "symbolfolderhandler.h"
#include "updatefeed.h"
#include "usercommands.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QTextStream>
#include <QTimer>
#include <QWebEngineUrlScheme>

#include <cstdio>
#include <cstring>
#include <utility>

namespace {

QCommandLineOption schemesOption()
{
    return QCommandLineOption(QStringLiteral("schemes"),
        QStringLiteral("Read scheme files (*.json) from <folder> instead of %1.")
            .arg(QDir::toNativeSeparators(SchemeFolder::defaultPath())),
        QStringLiteral("folder"));
}

QCommandLineOption symbolsOption()
{
    return QCommandLineOption(QStringLiteral("symbols"),
        QStringLiteral("Read own SVG symbols (*.svg) from <folder> instead of the folder "
                       "\"symbols\" beside the scheme folder (%1).")
            .arg(QDir::toNativeSeparators(SymbolFolder::defaultPath())),
        QStringLiteral("folder"));
}

QList<QCommandLineOption> historyOptions()
{
    return {
        QCommandLineOption(QStringLiteral("history"),
            QStringLiteral("Record the history in <file> instead of %1.")
                .arg(QDir::toNativeSeparators(StationDatabase::defaultPath())),
            QStringLiteral("file")),
        QCommandLineOption(QStringLiteral("history-days"),
            QStringLiteral("Keep <days> days of history (default 30; 0 keeps everything)."),
            QStringLiteral("days")),
        QCommandLineOption(QStringLiteral("export-history"),
            QStringLiteral("Write the stored samples of the points <ids> (separated by commas) as "
                           "CSV (time,point,value,status; a gap has an empty value) to standard "
                           "output and exit."),
            QStringLiteral("ids")),
        QCommandLineOption(QStringLiteral("journal-days"),
            QStringLiteral("Keep <days> days of the journal (default 365; 0 keeps everything); "
                           "an alarm still active or unacknowledged keeps all its records."),
            QStringLiteral("days")),
        QCommandLineOption(QStringLiteral("export-journal"),
            QStringLiteral("Write the journal as CSV to standard output and exit (columns "
                           "time, source_time, event, alarm, point, priority, value, user, "
                           "station, text).")),
        QCommandLineOption(QStringLiteral("from"),
            QStringLiteral("With --export-history or --export-journal: from <time> on (ISO "
                           "8601, UTC without an offset; default: the first one)."),
            QStringLiteral("time")),
        QCommandLineOption(QStringLiteral("to"),
            QStringLiteral("With --export-history or --export-journal: up to <time> (default: "
                           "the last one)."),
            QStringLiteral("time")),
    };
}

QList<QCommandLineOption> alarmOptions()
{
    return {
        QCommandLineOption(QStringLiteral("alarms"),
            QStringLiteral("Read the alarm definitions from <file> instead of %1 (watched; without "
                           "it, a built-in set for the emulator's points).")
                .arg(QDir::toNativeSeparators(StationAlarms::defaultDefinitionsPath())),
            QStringLiteral("file")),
        QCommandLineOption(
            QStringLiteral("no-horn"), QStringLiteral("Never sound the alarm horn.")),
        QCommandLineOption(QStringLiteral("station"),
            QStringLiteral("The station's name in the journal and to other stations (default: the "
                           "machine's host name)."),
            QStringLiteral("name")),
    };
}

QList<QCommandLineOption> userOptions()
{
    return {
        QCommandLineOption(QStringLiteral("add-user"),
            QStringLiteral("Add the user <name> (or give it a new password and role) with --role, "
                           "asking for the password, and exit."),
            QStringLiteral("name")),
        QCommandLineOption(QStringLiteral("role"),
            QStringLiteral("With --add-user: operator, engineer or admin."),
            QStringLiteral("role")),
        QCommandLineOption(QStringLiteral("remove-user"),
            QStringLiteral("Remove the user <name> and exit."), QStringLiteral("name")),
        QCommandLineOption(QStringLiteral("list-users"),
            QStringLiteral("List the users and their roles, and exit.")),
        QCommandLineOption(QStringLiteral("idle-logout"),
            QStringLiteral(
                "Log the user out after <minutes> without input (default 15, 0: never)."),
            QStringLiteral("minutes")),
    };
}

// Any input to any of the program's windows counts as activity.
class InputWatch : public QObject
{
public:
    explicit InputWatch(AccessControl *access)
        : access(access)
    { }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::KeyPress:
        case QEvent::MouseButtonPress:
        case QEvent::MouseMove:
        case QEvent::Wheel:
        case QEvent::TouchBegin:
            access->touch();
            break;
        default:
            break;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    AccessControl *access;
};

enum class FolderOption { Absent, Given, MissingValue };

// The folder of "--<name> DIR" or "--<name>=DIR"; the engine takes options of
// its own from the same command line, so only the station's are looked at.
FolderOption folderFrom(const QStringList &arguments, const QString &option, QString &folder)
{
    FolderOption found = FolderOption::Absent;
    const QString name = QStringLiteral("--") + option;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (argument.startsWith(name + QLatin1Char('='))) {
            folder = argument.mid(name.size() + 1);
            found = FolderOption::Given;
        } else if (argument == name) {
            if (i + 1 >= arguments.size())
                return FolderOption::MissingValue;
            folder = arguments.at(++i);
            found = FolderOption::Given;
        }
    }
    if (found == FolderOption::Given && folder.isEmpty())
        return FolderOption::MissingValue;
    return found;
}

// The recording state as the page names it.
QString recordingName(StationDatabase::Recording state)
{
    switch (state) {
    case StationDatabase::Recording::Off:
        break;
    case StationDatabase::Recording::On:
        return QStringLiteral("on");
    case StationDatabase::Recording::PausedDiskFull:
        return QStringLiteral("paused-disk-full");
    case StationDatabase::Recording::Unavailable:
        return QStringLiteral("unavailable");
    }
    return QStringLiteral("off");
}

bool asksForInformation(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        for (const char *option : { "-h", "--help", "-v", "--version", "--help-all" }) {
            if (std::strcmp(argv[i], option) == 0)
                return true;
        }
    }
    return false;
}

// --version and --help answer on the terminal without a display; any other
// argument goes to the application and the engine unchanged.
int printInformation(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Operator station: live mimic diagrams of a plant."));
    parser.addHelpOption();
    parser.addVersionOption();
    PlantSettings::addOptions(parser);
    parser.addOption(schemesOption());
    parser.addOption(symbolsOption());
    parser.addOptions(historyOptions());
    parser.addOptions(alarmOptions());
    parser.addOptions(userOptions());
    parser.process(app);
    return 0;
}

bool exportsHistory(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--export-history") == 0
            || std::strncmp(argv[i], "--export-history=", 17) == 0)
            return true;
    }
    return false;
}

bool exportsJournal(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--export-journal") == 0)
            return true;
    }
    return false;
}

int exportFailed(const QString &message)
{
    std::fprintf(stderr, "corvane-ui: %s\n", message.toLocal8Bit().constData());
    return 2;
}

// The window of --from and --to; an empty `error` when both are fine.
QString exportWindow(const QStringList &arguments, qint64 &fromTime, qint64 &toTime)
{
    QString from, to;
    if (folderFrom(arguments, QStringLiteral("from"), from) == FolderOption::MissingValue
        || folderFrom(arguments, QStringLiteral("to"), to) == FolderOption::MissingValue)
        return QStringLiteral("--from and --to need a value.");
    fromTime = HistoryExport::beginning;
    toTime = HistoryExport::end;
    if (!from.isEmpty() && !HistoryExport::parseTime(from, fromTime))
        return QStringLiteral("--from: not an ISO 8601 time: %1").arg(from);
    if (!to.isEmpty() && !HistoryExport::parseTime(to, toTime))
        return QStringLiteral("--to: not an ISO 8601 time: %1").arg(to);
    return {};
}

// --export-history writes CSV and exits, without a display or the engine.
int exportHistory(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    QString path = StationDatabase::defaultPath();
    QString ids;
    if (folderFrom(arguments, QStringLiteral("history"), path) == FolderOption::MissingValue
        || folderFrom(arguments, QStringLiteral("export-history"), ids) != FolderOption::Given)
        return exportFailed(
            QStringLiteral("--history, --export-history, --from and --to need a value."));
    qint64 fromTime = 0;
    qint64 toTime = 0;
    if (const QString error = exportWindow(arguments, fromTime, toTime); !error.isEmpty())
        return exportFailed(error);
    QStringList points;
    for (const QString &id : ids.split(QLatin1Char(','), Qt::SkipEmptyParts))
        points << id.trimmed();
    QTextStream out(stdout);
    QString error;
    if (!HistoryExport::write(path, points, fromTime, toTime, out, error))
        return exportFailed(QStringLiteral("cannot read the history %1: %2")
                                .arg(QDir::toNativeSeparators(path), error));
    return 0;
}

// --export-journal writes CSV and exits, without a display or the engine.
int exportJournal(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    QString path = StationDatabase::defaultPath();
    if (folderFrom(arguments, QStringLiteral("history"), path) == FolderOption::MissingValue)
        return exportFailed(QStringLiteral("--history needs a file."));
    qint64 fromTime = 0;
    qint64 toTime = 0;
    if (const QString error = exportWindow(arguments, fromTime, toTime); !error.isEmpty())
        return exportFailed(error);
    QTextStream out(stdout);
    QString error;
    if (!JournalExport::write(path, fromTime, toTime, out, error))
        return exportFailed(QStringLiteral("cannot read the journal %1: %2")
                                .arg(QDir::toNativeSeparators(path), error));
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication::setApplicationName(QStringLiteral("corvane-ui"));
    QCoreApplication::setApplicationVersion(QStringLiteral(CORVANE_VERSION));
    if (asksForInformation(argc, argv))
        return printInformation(argc, argv);
    if (asksForUserCommand(argc, argv))
        return runUserCommand(argc, argv);
    if (exportsHistory(argc, argv))
        return exportHistory(argc, argv);
    if (exportsJournal(argc, argv))
        return exportJournal(argc, argv);

    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const PlantSettings::Parsed data
        = PlantSettings::fromArguments(arguments, qEnvironmentVariable(brokerPasswordVariable));
    if (!data.error.isEmpty()) {
        std::fprintf(stderr, "corvane-ui: %s\nTry 'corvane-ui --help' for the options.\n",
            data.error.toLocal8Bit().constData());
        return 1;
    }
    QString schemeFolder = SchemeFolder::defaultPath();
    const FolderOption schemes = folderFrom(arguments, QStringLiteral("schemes"), schemeFolder);
    // Own symbols live beside the scheme folder unless told otherwise.
    QString symbolFolder = schemes == FolderOption::Given
        ? SymbolFolder::besideSchemeFolder(schemeFolder)
        : SymbolFolder::defaultPath();
    const FolderOption symbols = folderFrom(arguments, QStringLiteral("symbols"), symbolFolder);
    Station::Options stationOptions;
    const FolderOption history
        = folderFrom(arguments, QStringLiteral("history"), stationOptions.historyPath);
    QString days;
    if (folderFrom(arguments, QStringLiteral("history-days"), days) == FolderOption::MissingValue
        || (!days.isEmpty() && (days.toInt() < 0 || QString::number(days.toInt()) != days))) {
        std::fprintf(stderr,
            "corvane-ui: --history-days needs a number of days (0 or more).\nTry 'corvane-ui "
            "--help' for the options.\n");
        return 1;
    }
    if (!days.isEmpty())
        stationOptions.historyDays = days.toInt();
    QString journalDays;
    if (folderFrom(arguments, QStringLiteral("journal-days"), journalDays)
            == FolderOption::MissingValue
        || (!journalDays.isEmpty()
            && (journalDays.toInt() < 0 || QString::number(journalDays.toInt()) != journalDays))) {
        std::fprintf(stderr,
            "corvane-ui: --journal-days needs a number of days (0 or more).\nTry 'corvane-ui "
            "--help' for the options.\n");
        return 1;
    }
    if (!journalDays.isEmpty())
        stationOptions.journalDays = journalDays.toInt();
    stationOptions.plant = data.settings;
    if (folderFrom(arguments, QStringLiteral("alarms"), stationOptions.alarmsPath)
            == FolderOption::MissingValue
        || folderFrom(arguments, QStringLiteral("station"), stationOptions.name)
            == FolderOption::MissingValue) {
        std::fprintf(stderr,
            "corvane-ui: --alarms needs a file and --station a name.\nTry 'corvane-ui --help' for "
            "the options.\n");
        return 1;
    }
    QString idle;
    if (folderFrom(arguments, QStringLiteral("idle-logout"), idle) == FolderOption::MissingValue
        || (!idle.isEmpty() && (idle.toInt() < 0 || QString::number(idle.toInt()) != idle))) {
        std::fprintf(stderr,
            "corvane-ui: --idle-logout needs a number of minutes (0 for never).\nTry 'corvane-ui "
            "--help' for the options.\n");
        return 1;
    }
    if (!idle.isEmpty())
        stationOptions.idleLogoutMinutes = idle.toInt();
    const bool hornOff = arguments.contains(QStringLiteral("--no-horn"));
    if (history == FolderOption::MissingValue) {
        std::fprintf(stderr,
            "corvane-ui: --history needs a file.\nTry 'corvane-ui --help' for the options.\n");
        return 1;
    }
    for (const auto &[option, name] :
        { std::pair { schemes, "--schemes" }, std::pair { symbols, "--symbols" } }) {
        if (option == FolderOption::MissingValue) {
            std::fprintf(stderr,
                "corvane-ui: %s needs a folder.\nTry 'corvane-ui --help' for the options.\n", name);
            return 1;
        }
    }
    // Read once: the engine's own processes inherit the environment.
    qunsetenv(brokerPasswordVariable);

    // The DevTools protocol drives every page: never from another machine.
    const RemoteDebugging debugging
        = RemoteDebugging::from(arguments, qEnvironmentVariable("QTWEBENGINE_REMOTE_DEBUGGING"),
            qEnvironmentVariable("QTWEBENGINE_CHROMIUM_FLAGS"));
    if (debugging.isOn() && !isLoopbackHost(debugging.host)) {
        std::fprintf(stderr,
            "corvane-ui: remote debugging is only served on this machine: %s is not a loopback "
            "address.\nSet QTWEBENGINE_REMOTE_DEBUGGING to 127.0.0.1:<port>.\n",
            debugging.host.toLocal8Bit().constData());
        return 1;
    }

    // The engine accepts custom schemes only before the application exists.
    const QWebEngineUrlScheme scheme = registerCorvaneScheme();
    const QWebEngineUrlScheme folderScheme = registerSchemeFolderScheme();
    const QWebEngineUrlScheme symbolScheme = registerSymbolFolderScheme();
    QApplication app(argc, argv);
    // The station and its services for the built-in application; made
    // before the window, so that they outlive its pages.
    Station station(stationOptions);
    SettingsFile viewSettings(SettingsFile::defaultPath());
    MainWindow *shown = nullptr;
    BridgeBackend backend = stationBackend(station, viewSettings, &station);
    // The dialog opens after the page's call has been answered.
    backend.login = [&shown] {
        QTimer::singleShot(0, shown, [&shown] {
            if (shown)
                shown->openLogin();
        });
    };
    Bridge bridge(backend, [&shown] { return shown && shown->showsBuiltInApplication(); });
    QObject::connect(station.access(), &AccessControl::changed, &bridge,
        [&bridge, &station] { bridge.setSession(station.access()->state()); });
    if (!station.plant()) {
        // The page's emulator carries out commands to its points.
        station.commands()->setSender([&bridge](const QString &id, const QJsonValue &value,
                                          const CommandOrigin &, QString &) {
            bridge.commandEmulator(id, value);
            return true;
        });
    }
    InputWatch inputWatch(station.access());
    app.installEventFilter(&inputWatch);

    const auto tellRecording = [&bridge](StationDatabase::Recording state) {
        bridge.setRecording(recordingName(state));
    };
    QObject::connect(&station, &Station::recordingChanged, &bridge, tellRecording);
    tellRecording(station.database()->recording());
    QObject::connect(station.feed(), &UpdateFeed::batch, &bridge, &Bridge::deliver);
    if (station.plant()) {
        QObject::connect(station.plant(), &PlantClient::stateChanged, &bridge,
            [&bridge, &station] { bridge.setPlantState(plantStateOf(station)); });
    }

    QObject::connect(station.alarms(), &StationAlarms::changed, &bridge, &Bridge::deliverAlarms);
    Horn horn(!hornOff);
    station.alarms()->setHorn(horn.isEnabled(), horn.hasAudio());
    QObject::connect(station.alarms(), &StationAlarms::hornChanged, &horn, &Horn::setSounding);

    MainWindow window;
    shown = &window;
    window.setBridge(&bridge);
    window.setAccess(station.access());
    QObject::connect(&station, &Station::problem, &window, &MainWindow::logMessage);
    QObject::connect(&station, &Station::plantReport, &window, &MainWindow::logMessage);
    if (horn.isEnabled() && !horn.hasAudio())
        window.logMessage(QCoreApplication::translate(
            "main", "The alarm horn cannot sound: this machine has no audio output"));
    // Recording starts once its reports have somewhere to go.
    station.start();
    window.setSchemeFolder(schemeFolder);
    window.setSymbolFolder(symbolFolder);
    if (debugging.isOn())
        window.logMessage(QCoreApplication::translate(
            "main", "Remote debugging is on: the DevTools protocol is served at http://%1/")
                              .arg(debugging.address()));
    window.show();
    const int code = app.exec();
    // The end of every source is recorded before the file closes.
    station.stop();
    return code;
}
