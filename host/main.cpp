#include "mainwindow.h"
#include "schemeregistration.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QWebEngineUrlScheme>

#include <cstring>

namespace {

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

    // The engine accepts custom schemes only before the application exists.
    const QWebEngineUrlScheme scheme = registerCorvaneScheme();
    QApplication app(argc, argv);
    MainWindow window;
    window.show();
    return app.exec();
}
