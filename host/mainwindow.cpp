#include "mainwindow.h"

#include "access.h"
#include "logindialog.h"

#include "bridge.h"
#include "builtinapplication.h"
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
#include <QJsonDocument>
#include <QJsonObject>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QTimer>
#include <QTranslator>
#include <QUrl>
#include <QWebChannel>
#include <QWebEngineDownloadRequest>
#include <QWebEngineLoadingInfo>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestInfo>
#include <QWebEngineUrlRequestInterceptor>
#include <QWebEngineUrlScheme>
#include <QWebEngineView>

namespace {
// From Qt 6.6 the scheme's fetch flag lets pages fetch() its addresses.
constexpr bool schemeFetchSupported = QT_VERSION >= QT_VERSION_CHECK(6, 6, 0);

constexpr int maxAutomaticReloads = 3;
constexpr qint64 crashLoopWindowMs = 60 * 1000;
constexpr int reloadDelayMs = 200;

// External content reaches neither the executable's resources nor the
// station's folders, whatever asks: a frame, an image, a script, a worker.
class ExternalRequestFilter : public QWebEngineUrlRequestInterceptor
{
public:
    using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;

    void interceptRequest(QWebEngineUrlRequestInfo &info) override
    {
        const QUrl url = info.requestUrl();
        const QByteArray scheme = url.scheme().toLatin1();
        if (isResourceUrl(url) || scheme == schemeFolderSchemeName
            || scheme == symbolFolderSchemeName)
            info.block(true);
    }
};
} // namespace

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
{
    webView = new QWebEngineView(this);
    // Both profiles off the record, as the engine's default one is.
    builtInProfile = new QWebEngineProfile(this);
    externalProfile = new QWebEngineProfile(this);
    externalProfile->setUrlRequestInterceptor(new ExternalRequestFilter(externalProfile));
    page = new WebConsolePage(builtInProfile, WebConsolePage::Content::BuiltInApplication, this);
    externalPage = new WebConsolePage(externalProfile, WebConsolePage::Content::External, this);
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

    externalProfile->installUrlSchemeHandler(corvaneSchemeName, contentHandler);

    // The scheme folder is offered only where main registered its scheme, and
    // to the built-in application only.
    schemeFolder = new SchemeFolder(this);
    schemeFolderHandler = new SchemeFolderHandler(schemeFolder, this);
    if (QWebEngineUrlScheme::schemeByName(schemeFolderSchemeName).name() == schemeFolderSchemeName)
        builtInProfile->installUrlSchemeHandler(schemeFolderSchemeName, schemeFolderHandler);
    connect(schemeFolderHandler, &SchemeFolderHandler::resourceError, this,
        [this](const QString &url, const QString &reason) {
            logDialog->appendMessage(tr("Resource loading error\n%1\n%2").arg(url, reason));
        });
    connect(schemeFolder, &SchemeFolder::problem, logDialog, &WebViewLogDialog::appendMessage);
    connect(schemeFolder, &SchemeFolder::changed, this, [this] {
        // The built-in application reads the listing again when told.
        page->runJavaScript(
            QStringLiteral("window.dispatchEvent(new Event('corvane-schemes-changed'))"));
    });
    symbolFolder = new SymbolFolder(this);
    symbolFolderHandler = new SymbolFolderHandler(symbolFolder, this);
    if (QWebEngineUrlScheme::schemeByName(symbolFolderSchemeName).name() == symbolFolderSchemeName)
        builtInProfile->installUrlSchemeHandler(symbolFolderSchemeName, symbolFolderHandler);
    connect(symbolFolderHandler, &SymbolFolderHandler::resourceError, this,
        [this](const QString &url, const QString &reason) {
            logDialog->appendMessage(tr("Resource loading error\n%1\n%2").arg(url, reason));
        });
    connect(symbolFolder, &SymbolFolder::problem, logDialog, &WebViewLogDialog::appendMessage);
    connect(symbolFolder, &SymbolFolder::changed, this, [this] {
        page->runJavaScript(
            QStringLiteral("window.dispatchEvent(new Event('corvane-symbols-changed'))"));
    });

    connect(contentHandler, &ExternalContentHandler::resourceError, this,
        [this](const QString &url, const QString &reason) {
            logDialog->appendMessage(tr("Resource loading error\n%1\n%2").arg(url, reason));
        });

    // Script clipboard access for the built-in application's copy and paste
    // buttons; the other page keeps the engine's refusal.
    page->settings()->setAttribute(QWebEngineSettings::JavascriptCanAccessClipboard, true);
    page->settings()->setAttribute(QWebEngineSettings::JavascriptCanPaste, true);
    externalPage->settings()->setAttribute(QWebEngineSettings::JavascriptCanAccessClipboard, false);
    externalPage->settings()->setAttribute(QWebEngineSettings::JavascriptCanPaste, false);

    connect(builtInProfile, &QWebEngineProfile::downloadRequested, this, &MainWindow::saveDownload);
    connect(
        externalProfile, &QWebEngineProfile::downloadRequested, this, &MainWindow::refuseDownload);
    rendererNotice = new RendererNotice(webView);
    clock.start();
    connect(rendererNotice, &RendererNotice::reloadRequested, this, [this] {
        automaticReloads.clear();
        if (lostPage)
            lostPage->load(lostUrl);
    });
    wirePage(page);
    wirePage(externalPage);
    if (!schemeFetchSupported)
        externalPage->scripts().insert(corvaneFetchScript());

    appMenu = menuBar()->addMenu(QString());
    retranslateUi();

    loadBuiltInApplication();
    setCentralWidget(webView);
    resize(1280, 800);
    setWindowTitle(
        QString::fromUtf8("corvane-ui ") + QString::asprintf(" v%d.%d.%d build %d", 0, 0, 0, 1));
}

void MainWindow::wirePage(WebConsolePage *shownPage)
{
    connect(
        shownPage, &WebConsolePage::consoleMessage, logDialog, &WebViewLogDialog::appendMessage);
    connect(shownPage, &WebConsolePage::refused, logDialog, &WebViewLogDialog::appendMessage);
    connect(shownPage, &QWebEnginePage::loadingChanged, this,
        [this, shownPage](const QWebEngineLoadingInfo &info) {
            if (info.status() == QWebEngineLoadingInfo::LoadStartedStatus) {
                rendererGone.removeAll(shownPage);
                if (shownPage == webView->page())
                    rendererNotice->hide();
            }
            if (info.status() != QWebEngineLoadingInfo::LoadFailedStatus)
                return;
            logDialog->appendMessage(
                tr("Page loading error\n%1\nCode %2: %3")
                    .arg(info.url().toDisplayString(), QString::number(info.errorCode()),
                        info.errorString()));
        });
    connect(shownPage, &QWebEnginePage::renderProcessTerminated, this,
        [this, shownPage](QWebEnginePage::RenderProcessTerminationStatus status, int exitCode) {
            recoverFromRendererEnd(shownPage, status, exitCode);
        });
    connect(shownPage, &QWebEnginePage::windowCloseRequested, this, [this, shownPage] {
        // A page's own window.close() does not end the program; only a close
        // the user asked for and each page asked agreed to does.
        if (!closePending || pagesToAsk.value(0) != shownPage)
            return;
        pagesToAsk.removeFirst();
        askNextPageToClose();
    });
}

void MainWindow::showPage(WebConsolePage *shownPage)
{
    if (webView->page() == shownPage)
        return;
    webView->setPage(shownPage);
    // The page shown before took the keyboard away with it: the one shown now
    // gets it, as if the operator had clicked into it.
    webView->setFocus();
    if (shownPage != lostPage)
        rendererNotice->hide();
}

MainWindow::~MainWindow()
{
    // A profile must outlive its pages, and the view the pages it shows:
    // the children go in this order, not in the order they were made.
    delete webView;
    delete page;
    delete externalPage;
    delete builtInProfile;
    delete externalProfile;
}

void MainWindow::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslateUi();
    QMainWindow::changeEvent(event);
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (closeConfirmed) {
        QMainWindow::closeEvent(event);
        return;
    }
    // Let the pages' before-unload handlers ask first, the page shown and then
    // the built-in application with its editor; without a handler the engine
    // answers at once. A page without a live process has nothing to ask.
    pagesToAsk.clear();
    auto *shown = static_cast<WebConsolePage *>(webView->page());
    for (WebConsolePage *asked : { shown, page }) {
        if (!rendererGone.contains(asked) && !pagesToAsk.contains(asked))
            pagesToAsk.append(asked);
    }
    if (pagesToAsk.isEmpty()) {
        QMainWindow::closeEvent(event);
        return;
    }
    event->ignore();
    closePending = true;
    askNextPageToClose();
}

void MainWindow::askNextPageToClose()
{
    if (pagesToAsk.isEmpty()) {
        closeConfirmed = true;
        close();
        return;
    }
    WebConsolePage *asked = pagesToAsk.first();
    // Its question shows over the page it is about.
    showPage(asked);
    asked->triggerAction(QWebEnginePage::RequestClose);
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
    showPage(externalPage);
    externalPage->load(url);
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
        showPage(externalPage);
        externalPage->load(url);
        return;
    }
    logDialog->appendMessage(tr("Could not open URL\n%1").arg(text));
}

void MainWindow::loadBuiltInApplication()
{
    // Back from external content the application is shown as it was left;
    // asked again while shown, it is reloaded.
    if (webView->page() != page && !page->url().isEmpty() && !rendererGone.contains(page)) {
        showPage(page);
        // External content does not run on behind the built-in application.
        if (!externalPage->url().isEmpty())
            externalPage->load(QUrl(QStringLiteral("about:blank")));
        return;
    }
    showPage(page);
    page->load(QUrl(builtInApplicationAddress(), QUrl::TolerantMode));
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

void MainWindow::logMessage(const QString &message)
{
    logDialog->appendMessage(message);
}

void MainWindow::setBridge(Bridge *bridge)
{
    // The transport goes into the main world of this page only; the page of
    // external content never has one.
    page->setWebChannel(bridge->channel());
    connect(bridge, &Bridge::refused, logDialog, &WebViewLogDialog::appendMessage);
}

bool MainWindow::showsBuiltInApplication() const
{
    return isBuiltInApplicationUrl(page->url());
}

void MainWindow::refuseDownload(QWebEngineDownloadRequest *download)
{
    // Neither the page nor anything else of the download is looked at: it
    // may come from a page that has long gone.
    logDialog->appendMessage(tr("Download refused: only the built-in application saves files\n%1")
                                 .arg(download->url().toDisplayString()));
    download->cancel();
}

void MainWindow::saveDownload(QWebEngineDownloadRequest *download)
{
    // Only the built-in application's own saves, made by its page from data
    // it holds; a download left unaccepted is cancelled by the engine.
    if (download->state() != QWebEngineDownloadRequest::DownloadRequested)
        return;
    if (download->isSavePageDownload() || download->page() != page
        || !isBuiltInApplicationBlob(download->url())) {
        const QUrl refused = download->url();
        refuseDownload(download);
        reportSave(
            refused, QStringLiteral("failed"), tr("Only the application's own saves are written"));
        return;
    }
    const QUrl url = download->url();
    // Schemes are saved where the station reads them, unless the user goes
    // elsewhere; anything else (a trend's CSV) where downloads go.
    const bool scheme
        = download->suggestedFileName().endsWith(QLatin1String(".json"), Qt::CaseInsensitive);
    const QString directory = scheme && !schemeFolder->path().isEmpty()
        ? schemeFolder->path()
        : download->downloadDirectory();
    const QString proposed = QDir(directory).filePath(download->suggestedFileName());
    // The dialog runs an event loop of its own: the download may end meanwhile.
    QPointer<QWebEngineDownloadRequest> pending(download);
    const QString path
        = QFileDialog::getSaveFileName(this, tr("Save file"), proposed, tr("All files (*)"));
    if (!pending || pending->state() != QWebEngineDownloadRequest::DownloadRequested) {
        reportSave(url, QStringLiteral("failed"), tr("The save was cancelled"));
        return;
    }
    if (path.isEmpty()) {
        pending->cancel();
        reportSave(url, QStringLiteral("cancelled"));
        return;
    }
    const QFileInfo target(path);
    // Into the scheme folder only for those allowed to, whatever the page showed.
    const QString folder = QDir(schemeFolder->path()).canonicalPath();
    const QString into = QDir(target.absolutePath()).canonicalPath();
    const bool intoSchemes = !schemeFolder->path().isEmpty() && !folder.isEmpty()
        && (into == folder || into.startsWith(folder + QLatin1Char('/')));
    if (intoSchemes && access && !access->allows(Permission::SaveSchemes)) {
        access->refused(
            Permission::SaveSchemes, QStringLiteral("сохранение схемы %1").arg(target.fileName()));
        pending->cancel();
        reportSave(url, QStringLiteral("failed"), access->refusal(Permission::SaveSchemes));
        return;
    }
    pending->setDownloadDirectory(target.absolutePath());
    pending->setDownloadFileName(target.fileName());
    // Once accepted, only a failure ends a download short of completion: a
    // folder that cannot be made, a full disk, a file that cannot be written.
    connect(pending, &QWebEngineDownloadRequest::isFinishedChanged, this,
        [this, pending, path, url, intoSchemes] {
            if (!pending)
                return;
            if (pending->state() == QWebEngineDownloadRequest::DownloadCompleted) {
                if (intoSchemes && access)
                    access->note(QStringLiteral("save"), QFileInfo(path).fileName());
                reportSave(url, QStringLiteral("written"), QFileInfo(path).fileName());
                return;
            }
            const QString reason = pending->interruptReasonString();
            const QString shown = reason.isEmpty() ? tr("The file could not be written") : reason;
            logDialog->appendMessage(
                tr("Could not save file\n%1\n%2").arg(QDir::toNativeSeparators(path), shown));
            reportSave(url, QStringLiteral("failed"), shown);
        });
    pending->accept();
}

void MainWindow::setAccess(AccessControl *control)
{
    access = control;
}

void MainWindow::openLogin()
{
    if (!access)
        return;
    if (loginDialog) {
        loginDialog->raise();
        loginDialog->activateWindow();
        return;
    }
    loginDialog = new LoginDialog(
        [this](const QString &name, const QByteArray &password) -> QString {
            qint64 locked = 0;
            switch (access->login(name, password, &locked)) {
            case AccessControl::Login::Done:
                return {};
            case AccessControl::Login::Wrong:
                return tr("Wrong user name or password");
            case AccessControl::Login::Locked:
                return tr("Too many failed logins: this name is locked for %1 s")
                    .arg((locked + 999) / 1000);
            case AccessControl::Login::Unavailable:
                break;
            }
            return tr("Nobody can log in: the users file was not accepted (see the log)");
        },
        this);
    loginDialog->setAttribute(Qt::WA_DeleteOnClose);
    loginDialog->open();
}

void MainWindow::reportSave(const QUrl &url, const QString &outcome, const QString &detail)
{
    const QJsonObject result { { QStringLiteral("url"), url.toString() },
        { QStringLiteral("outcome"), outcome }, { QStringLiteral("detail"), detail } };
    page->runJavaScript(
        QStringLiteral(
            "window.dispatchEvent(new CustomEvent('corvane-save-result', { detail: %1 }))")
            .arg(QString::fromUtf8(QJsonDocument(result).toJson(QJsonDocument::Compact))));
}

void MainWindow::recoverFromRendererEnd(
    WebConsolePage *endedPage, QWebEnginePage::RenderProcessTerminationStatus status, int exitCode)
{
    if (!rendererGone.contains(endedPage))
        rendererGone.append(endedPage);
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
    QUrl url = endedPage->url();
    if (url.isEmpty() && endedPage == page)
        url = QUrl(builtInApplicationAddress());
    logDialog->appendMessage(tr("The page's process ended: %1, exit code %2\n%3")
                                 .arg(kind, QString::number(exitCode), url.toDisplayString()));

    const qint64 now = clock.elapsed();
    while (!automaticReloads.isEmpty() && now - automaticReloads.first() > crashLoopWindowMs)
        automaticReloads.removeFirst();
    lostUrl = url;
    lostPage = endedPage;
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
    QTimer::singleShot(reloadDelayMs, endedPage, [endedPage, url] { endedPage->load(url); });
}
