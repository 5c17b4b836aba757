#include "mainwindow.h"

#include "externalcontenthandler.h"
#include "schemeregistration.h"
#include "webconsolepage.h"
#include "webviewlogdialog.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QTranslator>
#include <QUrl>
#include <QWebEngineLoadingInfo>
#include <QWebEngineProfile>
#include <QWebEngineView>

namespace {
const QString builtInApplicationUrl = QStringLiteral("qrc:/mvp/index.html");
} // namespace

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
{
    webView = new QWebEngineView(this);
    page = new WebConsolePage(webView);
    webView->setPage(page);

    contentHandler = new ExternalContentHandler(this);

    translator = new QTranslator(this);
    if (translator->load(QStringLiteral(":/tr/corvane-ui-tr.qm")))
        QCoreApplication::installTranslator(translator);

    logDialog = new WebViewLogDialog(this);

    page->profile()->installUrlSchemeHandler(corvaneSchemeName, contentHandler);

    connect(page, &WebConsolePage::consoleMessage, logDialog, &WebViewLogDialog::appendMessage);
    connect(contentHandler, &ExternalContentHandler::resourceError, this,
        [this](const QString &url, const QString &reason) {
            logDialog->appendMessage(tr("Resource loading error\n%1\n%2").arg(url, reason));
        });
    connect(page, &QWebEnginePage::loadingChanged, this, [this](const QWebEngineLoadingInfo &info) {
        if (info.status() != QWebEngineLoadingInfo::LoadFailedStatus)
            return;
        logDialog->appendMessage(tr("Page loading error\n%1\nCode %2: %3")
                                     .arg(info.url().toDisplayString(),
                                         QString::number(info.errorCode()), info.errorString()));
    });

    appMenu = menuBar()->addMenu(QString());
    retranslateUi();

    loadBuiltInApplication();
    setCentralWidget(webView);
    resize(1280, 800);
    setWindowTitle(
        QString::fromUtf8("corvane-ui ") + QString::asprintf(" v%d.%d.%d build %d", 0, 0, 0, 1));
}

// Children (view with page, handler, translator, log dialog) go with the window.
MainWindow::~MainWindow() = default;

void MainWindow::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslateUi();
    QMainWindow::changeEvent(event);
}

void MainWindow::retranslateUi()
{
    appMenu->setTitle(tr("Application"));
    appMenu->clear();
    connect(appMenu->addAction(tr("Open application file...")), &QAction::triggered, this,
        &MainWindow::openApplicationFile);
    connect(appMenu->addAction(tr("Open URL...")), &QAction::triggered, this, &MainWindow::openUrl);
    connect(appMenu->addAction(tr("Use bundled application")), &QAction::triggered, this,
        &MainWindow::loadBuiltInApplication);
    appMenu->addSeparator();
    connect(appMenu->addAction(tr("WebView log")), &QAction::triggered, this, &MainWindow::showLog);
}

void MainWindow::openApplicationFile()
{
    const QString fileName = QFileDialog::getOpenFileName(
        this, tr("Select application file"), QString(), tr("All files (*)"));
    if (fileName.isEmpty())
        return;
    openApplicationPath(fileName);
}

void MainWindow::openApplicationPath(const QString &fileName)
{
    const QFileInfo info(fileName);
    contentHandler->setRootDirectory(info.absolutePath());
    logDialog->appendMessage(tr("Opening external file\nFile: %1\nResource directory: %2")
                                 .arg(info.absoluteFilePath(), info.absolutePath()));

    QUrl url;
    url.setScheme(QString::fromLatin1(corvaneSchemeName));
    url.setHost(QStringLiteral("content"), QUrl::DecodedMode);
    url.setPath(QLatin1String("/mvp/") + info.fileName(), QUrl::DecodedMode);
    webView->load(url);
}

void MainWindow::openUrl()
{
    bool accepted = false;
    const QString text = QInputDialog::getText(
        this, tr("Open URL"), tr("Website address:"), QLineEdit::Normal, QString(), &accepted)
                             .trimmed();
    if (!accepted || text.isEmpty())
        return;

    const QUrl url = QUrl::fromUserInput(text, QString(), QUrl::DefaultResolution);
    const QString scheme = url.scheme();
    if (url.isValid() && (scheme == QLatin1String("http") || scheme == QLatin1String("https"))) {
        webView->load(url);
        return;
    }
    logDialog->appendMessage(tr("Could not open URL\n%1").arg(text));
}

void MainWindow::loadBuiltInApplication()
{
    webView->load(QUrl(builtInApplicationUrl, QUrl::TolerantMode));
}

void MainWindow::showLog()
{
    logDialog->show();
    logDialog->raise();
    logDialog->activateWindow();
}
