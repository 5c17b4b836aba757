#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QMainWindow>
#include <QPointer>
#include <QUrl>
#include <QWebEnginePage>

class AccessControl;
class Bridge;
class LoginDialog;
class QWebEngineProfile;
class ExternalContentHandler;
class QMenu;
class QTranslator;
class QWebEngineDownloadRequest;
class RendererNotice;
class SchemeFolder;
class SchemeFolderHandler;
class SymbolFolder;
class SymbolFolderHandler;
class QWebEngineView;
class WebConsolePage;
class WebViewLogDialog;

// The one top-level window: the web view, its menu and the log window.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    void openApplicationFile();
    void openUrl();
    void loadBuiltInApplication();
    void showLog();
    // Reads the station's scheme files from `path`, creating it when missing.
    void setSchemeFolder(const QString &path);
    // Reads the station's own SVG symbols from `path`, creating it when missing.
    void setSymbolFolder(const QString &path);
    // Writes a host report to the log window.
    void logMessage(const QString &message);
    // Gives the built-in application's page, and it alone, the station's bridge.
    void setBridge(Bridge *bridge);
    // Whether the built-in application's page holds the application now.
    bool showsBuiltInApplication() const;
    // Who may save into the scheme folder, and who logs in through openLogin().
    void setAccess(AccessControl *access);
    // Opens the station's login dialog, or raises the one open.
    void openLogin();

protected:
    void changeEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void retranslateUi();
    void openApplicationPath(const QString &fileName);
    void wirePage(WebConsolePage *shownPage);
    void showPage(WebConsolePage *shownPage);
    void saveDownload(QWebEngineDownloadRequest *download);
    void refuseDownload(QWebEngineDownloadRequest *download);
    // Tells the built-in application whether its save `url` wrote a file.
    void reportSave(const QUrl &url, const QString &outcome, const QString &detail = QString());
    void askNextPageToClose();
    void recoverFromRendererEnd(WebConsolePage *endedPage,
        QWebEnginePage::RenderProcessTerminationStatus status, int exitCode);

    AccessControl *access = nullptr;
    QPointer<LoginDialog> loginDialog;
    QWebEngineView *webView = nullptr;
    // Two pages on two profiles, kept apart by trust: the built-in
    // application's, with the scheme folder, its scripts, the clipboard and
    // its saves; and one for external applications and web addresses, off the
    // record, with only the "corvane" scheme. The view shows one or the other.
    QWebEngineProfile *builtInProfile = nullptr;
    QWebEngineProfile *externalProfile = nullptr;
    WebConsolePage *page = nullptr;
    WebConsolePage *externalPage = nullptr;
    ExternalContentHandler *contentHandler = nullptr;
    WebViewLogDialog *logDialog = nullptr;
    QMenu *appMenu = nullptr;
    QTranslator *translator = nullptr;
    SchemeFolder *schemeFolder = nullptr;
    SchemeFolderHandler *schemeFolderHandler = nullptr;
    SymbolFolder *symbolFolder = nullptr;
    SymbolFolderHandler *symbolFolderHandler = nullptr;

    // A close waits for the before-unload answer of the page shown, then of
    // the built-in application's; the engine reports a page willing to go
    // with windowCloseRequested.
    bool closePending = false;
    bool closeConfirmed = false;
    QList<WebConsolePage *> pagesToAsk;
    // Pages without a process to ask: between its end and the next one's start.
    QList<WebConsolePage *> rendererGone;

    // Automatic reloads after a renderer's end; more than three within a
    // minute is a crash loop, and the notice takes the page's place.
    RendererNotice *rendererNotice = nullptr;
    QElapsedTimer clock;
    QList<qint64> automaticReloads;
    QUrl lostUrl;
    WebConsolePage *lostPage = nullptr;
};
