#include "datasourcesettings.h"
#include "mainwindow.h"
#include "schemefolder.h"
#include "schemefolderhandler.h"
#include "schemeregistration.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QHostAddress>
#include <QWebEngineUrlScheme>

#include <cstdio>
#include <cstring>

namespace {

QCommandLineOption schemesOption()
{
    return QCommandLineOption(QStringLiteral("schemes"),
        QStringLiteral("Read scheme files (*.json) from <folder> instead of %1.")
            .arg(QDir::toNativeSeparators(SchemeFolder::defaultPath())),
        QStringLiteral("folder"));
}

// The folder of "--schemes DIR" or "--schemes=DIR"; the engine takes options of
// its own from the same command line, so only this one is looked at.
bool schemeFolderFrom(const QStringList &arguments, QString &folder)
{
    folder = SchemeFolder::defaultPath();
    const QString name = QStringLiteral("--schemes");
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (argument.startsWith(name + QLatin1Char('='))) {
            folder = argument.mid(name.size() + 1);
        } else if (argument == name) {
            if (i + 1 >= arguments.size())
                return false;
            folder = arguments.at(++i);
        }
    }
    return !folder.isEmpty();
}

// Where the engine serves its DevTools protocol, as it reads
// QTWEBENGINE_REMOTE_DEBUGGING ("port" or "address:port") or the
// --remote-debugging-port switch; empty when it does not. The engine's own
// default address is loopback.
QString remoteDebuggingAddress(const QStringList &arguments, QString &host)
{
    host = QStringLiteral("127.0.0.1");
    const QString variable = qEnvironmentVariable("QTWEBENGINE_REMOTE_DEBUGGING");
    QString port;
    for (const QString &argument : arguments) {
        if (argument.startsWith(QLatin1String("--remote-debugging-port=")))
            port = argument.section(QLatin1Char('='), 1);
    }
    const QString flags = qEnvironmentVariable("QTWEBENGINE_CHROMIUM_FLAGS");
    for (const QString &flag : flags.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (flag.startsWith(QLatin1String("--remote-debugging-port=")))
            port = flag.section(QLatin1Char('='), 1);
    }
    if (port.isEmpty() && !variable.isEmpty()) {
        const qsizetype colon = variable.lastIndexOf(QLatin1Char(':'));
        if (colon >= 0) {
            host = variable.left(colon);
            port = variable.mid(colon + 1);
        } else {
            port = variable;
        }
    }
    if (port.isEmpty())
        return QString();
    return QStringLiteral("%1:%2").arg(host, port);
}

bool isLoopback(QString host)
{
    if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
        host = host.mid(1, host.size() - 2);
    if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
        return true;
    const QHostAddress address(host);
    return !address.isNull() && address.isLoopback();
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
    QString schemeFolder;
    if (!schemeFolderFrom(arguments, schemeFolder)) {
        std::fprintf(stderr,
            "corvane-ui: --schemes needs a folder.\nTry 'corvane-ui --help' for the options.\n");
        return 1;
    }
    // Read once: the engine's own processes inherit the environment.
    qunsetenv(brokerPasswordVariable);

    // The DevTools protocol drives every page: never from another machine.
    QString debuggingHost;
    const QString debugging = remoteDebuggingAddress(arguments, debuggingHost);
    if (!debugging.isEmpty() && !isLoopback(debuggingHost)) {
        std::fprintf(stderr,
            "corvane-ui: remote debugging is only served on this machine: %s is not a loopback "
            "address.\nSet QTWEBENGINE_REMOTE_DEBUGGING to 127.0.0.1:<port>.\n",
            debuggingHost.toLocal8Bit().constData());
        return 1;
    }

    // The engine accepts custom schemes only before the application exists.
    const QWebEngineUrlScheme scheme = registerCorvaneScheme();
    const QWebEngineUrlScheme folderScheme = registerSchemeFolderScheme();
    QApplication app(argc, argv);
    MainWindow window(data.settings);
    window.setSchemeFolder(schemeFolder);
    if (!debugging.isEmpty())
        window.logMessage(QCoreApplication::translate(
            "main", "Remote debugging is on: the DevTools protocol is served at http://%1/")
                              .arg(debugging));
    window.show();
    return app.exec();
}
