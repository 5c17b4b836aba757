#include "mainwindow.h"
#include "schemeregistration.h"

#include <QApplication>
#include <QWebEngineUrlScheme>

int main(int argc, char **argv)
{
    // The engine accepts custom schemes only before the application exists.
    const QWebEngineUrlScheme scheme = registerCorvaneScheme();
    QApplication app(argc, argv);
    MainWindow window;
    window.show();
    return app.exec();
}
