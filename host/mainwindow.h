#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QMainWindow>
#include <QUrl>
#include <QWebEnginePage>

class DataSourceSettings;
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
    // The built-in application reads its values as `dataSettings` say.
    explicit MainWindow(const DataSourceSettings &dataSettings, QWidget *parent = nullptr);
    ~MainWindow() override;

    void openApplicationFile();
    void openUrl();
    void loadBuiltInApplication();
    void showLog();
    // Reads the station's scheme files from `path`, creating it when missing.
    void setSchemeFolder(const QString &path);
    // Reads the station's own SVG symbols from `path`, creating it when missing.
    void setSymbolFolder(const QString &path);

protected:
    void changeEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void retranslateUi();
    void openApplicationPath(const QString &fileName);
    void applyPageSettings(const QUrl &url);
    void saveDownload(QWebEngineDownloadRequest *download);
    void recoverFromRendererEnd(
        QWebEnginePage::RenderProcessTerminationStatus status, int exitCode);

    QWebEngineView *webView = nullptr;
    WebConsolePage *page = nullptr;
    ExternalContentHandler *contentHandler = nullptr;
    WebViewLogDialog *logDialog = nullptr;
    QMenu *appMenu = nullptr;
    QTranslator *translator = nullptr;
    SchemeFolder *schemeFolder = nullptr;
    SchemeFolderHandler *schemeFolderHandler = nullptr;
    SymbolFolder *symbolFolder = nullptr;
    SymbolFolderHandler *symbolFolderHandler = nullptr;

    // A close waits for the page's before-unload answer; the engine reports a
    // page willing to go with windowCloseRequested.
    bool closePending = false;
    bool closeConfirmed = false;
    // No page process to ask: between its end and the next one's start.
    bool rendererGone = false;

    // Automatic reloads after a renderer's end; more than three within a
    // minute is a crash loop, and the notice takes the page's place.
    RendererNotice *rendererNotice = nullptr;
    QElapsedTimer clock;
    QList<qint64> automaticReloads;
    QUrl lostUrl;
};
