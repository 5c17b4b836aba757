#include "bridge.h"
#include "datasourcesettings.h"
#include "loopback.h"
#include "mainwindow.h"
#include "remotedebugging.h"
#include "schemefolder.h"
#include "schemefolderhandler.h"
#include "schemeregistration.h"
#include "settingsfile.h"
#include "symbolfolder.h"
#include "symbolfolderhandler.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
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
    DataSourceSettings::addOptions(parser);
    parser.addOption(schemesOption());
    parser.addOption(symbolsOption());
    parser.process(app);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication::setApplicationName(QStringLiteral("corvane-ui"));
    QCoreApplication::setApplicationVersion(QStringLiteral(CORVANE_VERSION));
    if (asksForInformation(argc, argv))
        return printInformation(argc, argv);

    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const DataSourceSettings::Parsed data = DataSourceSettings::fromArguments(
        arguments, qEnvironmentVariable(brokerPasswordVariable));
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
    // The station's services for the built-in application; made before the
    // window, so that they outlive its pages.
    SettingsFile viewSettings(SettingsFile::defaultPath());
    BridgeBackend backend;
    backend.settings = [&viewSettings](const QString &key) { return viewSettings.value(key); };
    backend.setSettings = [&viewSettings](const QString &key, const QJsonObject &settings) {
        viewSettings.setValue(key, settings);
    };
    const MainWindow *shown = nullptr;
    Bridge bridge(backend, [&shown] { return shown && shown->showsBuiltInApplication(); });

    MainWindow window(data.settings);
    shown = &window;
    window.setBridge(&bridge);
    window.setSchemeFolder(schemeFolder);
    window.setSymbolFolder(symbolFolder);
    if (debugging.isOn())
        window.logMessage(QCoreApplication::translate(
            "main", "Remote debugging is on: the DevTools protocol is served at http://%1/")
                              .arg(debugging.address()));
    window.show();
    return app.exec();
}
