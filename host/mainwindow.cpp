#include "mainwindow.h"

#include "datasourcesettings.h"
#include "externalcontenthandler.h"
#include "fetchshim.h"
#include "renderernotice.h"
#include "schemefolder.h"
#include "schemefolderhandler.h"
#include "schemeregistration.h"
#include "symbolfolder.h"
#include "symbolfolderhandler.h"
#include "webconsolepage.h"
#include "webviewlogdialog.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>
#include <QTranslator>
#include <QUrl>
#include <QWebEngineDownloadRequest>
#include <QWebEngineLoadingInfo>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>
#include <QWebEngineUrlScheme>
#include <QWebEngineView>

namespace {
const QString builtInApplicationUrl = QStringLiteral("qrc:/mvp/index.html");

// From Qt 6.6 the scheme's fetch flag lets pages fetch() its addresses.
constexpr bool schemeFetchSupported = QT_VERSION >= QT_VERSION_CHECK(6, 6, 0);

constexpr int maxAutomaticReloads = 3;
constexpr qint64 crashLoopWindowMs = 60 * 1000;
constexpr int reloadDelayMs = 200;

bool isBuiltInApplication(const QUrl &url)
{
    return url.scheme() == QLatin1String("qrc") && url.path().startsWith(QLatin1String("/mvp/"));
}
} // namespace

MainWindow::MainWindow(QWidget *parent)
    : MainWindow(DataSourceSettings(), parent)
{ }

MainWindow::MainWindow(const DataSourceSettings &dataSettings, QWidget *parent)
    : QMainWindow(parent)
{
    webView = new QWebEngineView(this);
    page = new WebConsolePage(webView);
    webView->setPage(page);

    contentHandler = new ExternalContentHandler(this);

    translator = new QTranslator(this);
    if (translator->load(QStringLiteral(":/tr/corvane-ui-tr.qm"))) {
        QCoreApplication::installTranslator(translator);
        // Qt's own dialogs and the engine's questions in the same language,
        // where Qt's translations are installed.
        const QString qtTranslations = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
        for (const QString &name : { QStringLiteral("qtbase"), QStringLiteral("qtwebengine") }) {
            auto *qtTranslator = new QTranslator(this);
            if (qtTranslator->load(
                    QLocale(translator->language()), name, QStringLiteral("_"), qtTranslations))
                QCoreApplication::installTranslator(qtTranslator);
        }
    }

    logDialog = new WebViewLogDialog(this);

    page->profile()->installUrlSchemeHandler(corvaneSchemeName, contentHandler);

    // The scheme folder is offered only where main registered its scheme.
    schemeFolder = new SchemeFolder(this);
    schemeFolderHandler = new SchemeFolderHandler(schemeFolder, this);
    if (QWebEngineUrlScheme::schemeByName(schemeFolderSchemeName).name() == schemeFolderSchemeName)
        page->profile()->installUrlSchemeHandler(schemeFolderSchemeName, schemeFolderHandler);
    connect(schemeFolderHandler, &SchemeFolderHandler::resourceError, this,
        [this](const QString &url, const QString &reason) {
            logDialog->appendMessage(tr("Resource loading error\n%1\n%2").arg(url, reason));
        });
    connect(schemeFolder, &SchemeFolder::problem, logDialog, &WebViewLogDialog::appendMessage);
    connect(schemeFolder, &SchemeFolder::changed, this, [this] {
        // The built-in application reads the listing again when told.
        if (isBuiltInApplication(page->url()))
            page->runJavaScript(
                QStringLiteral("window.dispatchEvent(new Event('corvane-schemes-changed'))"));
    });
    symbolFolder = new SymbolFolder(this);
    symbolFolderHandler = new SymbolFolderHandler(symbolFolder, this);
    if (QWebEngineUrlScheme::schemeByName(symbolFolderSchemeName).name() == symbolFolderSchemeName)
        page->profile()->installUrlSchemeHandler(symbolFolderSchemeName, symbolFolderHandler);
    connect(symbolFolderHandler, &SymbolFolderHandler::resourceError, this,
        [this](const QString &url, const QString &reason) {
            logDialog->appendMessage(tr("Resource loading error\n%1\n%2").arg(url, reason));
        });
    connect(symbolFolder, &SymbolFolder::problem, logDialog, &WebViewLogDialog::appendMessage);
    connect(symbolFolder, &SymbolFolder::changed, this, [this] {
        if (isBuiltInApplication(page->url()))
            page->runJavaScript(
                QStringLiteral("window.dispatchEvent(new Event('corvane-symbols-changed'))"));
    });

    connect(page, &WebConsolePage::consoleMessage, logDialog, &WebViewLogDialog::appendMessage);
    connect(contentHandler, &ExternalContentHandler::resourceError, this,
        [this](const QString &url, const QString &reason) {
            logDialog->appendMessage(tr("Resource loading error\n%1\n%2").arg(url, reason));
        });
    connect(page, &QWebEnginePage::loadingChanged, this, [this](const QWebEngineLoadingInfo &info) {
        if (info.status() == QWebEngineLoadingInfo::LoadStartedStatus) {
            applyPageSettings(info.url());
            rendererNotice->hide();
        }
        if (info.status() != QWebEngineLoadingInfo::LoadFailedStatus)
            return;
        logDialog->appendMessage(tr("Page loading error\n%1\nCode %2: %3")
                                     .arg(info.url().toDisplayString(),
                                         QString::number(info.errorCode()), info.errorString()));
    });

    connect(
        page->profile(), &QWebEngineProfile::downloadRequested, this, &MainWindow::saveDownload);
    rendererNotice = new RendererNotice(webView);
    clock.start();
    connect(
        page, &QWebEnginePage::renderProcessTerminated, this, &MainWindow::recoverFromRendererEnd);
    connect(rendererNotice, &RendererNotice::reloadRequested, this, [this] {
        automaticReloads.clear();
        webView->load(lostUrl);
    });
    if (!schemeFetchSupported)
        page->scripts().insert(corvaneFetchScript());
    // The broker's settings, password included, reach the built-in application
    // alone; without them it runs its emulator.
    if (dataSettings.usesBroker())
        page->scripts().insert(dataSettings.pageScript());

    connect(page, &QWebEnginePage::windowCloseRequested, this, [this] {
        // A page's own window.close() does not end the program; only a close
        // the user asked for and the page agreed to does.
        if (!closePending)
            return;
        closeConfirmed = true;
        close();
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

void MainWindow::closeEvent(QCloseEvent *event)
{
    // A page without a live process has nothing to ask.
    if (closeConfirmed || rendererGone) {
        QMainWindow::closeEvent(event);
        return;
    }
    // Let the page's before-unload handler ask first; without one the engine
    // answers at once and the window closes.
    event->ignore();
    closePending = true;
    page->triggerAction(QWebEnginePage::RequestClose);
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

void MainWindow::setSchemeFolder(const QString &path)
{
    schemeFolder->setPath(path);
}

void MainWindow::setSymbolFolder(const QString &path)
{
    symbolFolder->setPath(path);
}

void MainWindow::applyPageSettings(const QUrl &url)
{
    // Script clipboard access for the built-in application's copy and paste
    // buttons only; other pages keep the engine's refusal.
    const bool builtIn = isBuiltInApplication(url);
    QWebEngineSettings *settings = page->settings();
    settings->setAttribute(QWebEngineSettings::JavascriptCanAccessClipboard, builtIn);
    settings->setAttribute(QWebEngineSettings::JavascriptCanPaste, builtIn);
}

void MainWindow::saveDownload(QWebEngineDownloadRequest *download)
{
    // Only the built-in application saves files; a download left unaccepted
    // is cancelled by the engine.
    if (download->page() != page || !isBuiltInApplication(page->url()))
        return;
    // Schemes are saved where the station reads them, unless the user goes elsewhere.
    const QString directory
        = schemeFolder->path().isEmpty() ? download->downloadDirectory() : schemeFolder->path();
    const QString proposed = QDir(directory).filePath(download->suggestedFileName());
    const QString path
        = QFileDialog::getSaveFileName(this, tr("Save file"), proposed, tr("All files (*)"));
    if (path.isEmpty()) {
        download->cancel();
        return;
    }
    const QFileInfo target(path);
    download->setDownloadDirectory(target.absolutePath());
    download->setDownloadFileName(target.fileName());
    // Once accepted, only a failure ends a download short of completion: a
    // folder that cannot be made, a full disk, a file that cannot be written.
    connect(download, &QWebEngineDownloadRequest::isFinishedChanged, this, [this, download, path] {
        if (download->state() == QWebEngineDownloadRequest::DownloadCompleted)
            return;
        const QString reason = download->interruptReasonString();
        logDialog->appendMessage(
            tr("Could not save file\n%1\n%2")
                .arg(QDir::toNativeSeparators(path),
                    reason.isEmpty() ? tr("The file could not be written") : reason));
    });
    download->accept();
}

void MainWindow::recoverFromRendererEnd(
    QWebEnginePage::RenderProcessTerminationStatus status, int exitCode)
{
    rendererGone = true;
    if (status == QWebEnginePage::NormalTerminationStatus)
        return;
    QString kind;
    switch (status) {
    case QWebEnginePage::CrashedTerminationStatus:
        kind = tr("crashed");
        break;
    case QWebEnginePage::KilledTerminationStatus:
        kind = tr("killed");
        break;
    default:
        kind = tr("abnormal termination");
        break;
    }
    const QUrl url = page->url().isEmpty() ? QUrl(builtInApplicationUrl) : page->url();
    logDialog->appendMessage(tr("The page's process ended: %1, exit code %2\n%3")
                                 .arg(kind, QString::number(exitCode), url.toDisplayString()));

    const qint64 now = clock.elapsed();
    while (!automaticReloads.isEmpty() && now - automaticReloads.first() > crashLoopWindowMs)
        automaticReloads.removeFirst();
    lostUrl = url;
    if (automaticReloads.size() >= maxAutomaticReloads) {
        logDialog->appendMessage(
            tr("The page is not reloaded again: its process ended %1 times within a minute")
                .arg(maxAutomaticReloads + 1));
        rendererNotice->show();
        rendererNotice->raise();
        return;
    }
    automaticReloads.append(now);
    // Out of the engine's notification first; the view then starts a new process.
    QTimer::singleShot(reloadDelayMs, this, [this, url] { webView->load(url); });
}
