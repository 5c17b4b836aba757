#pragma once

#include <QMainWindow>

class ExternalContentHandler;
class QMenu;
class QTranslator;
class QUrl;
class QWebEngineDownloadRequest;
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

protected:
    void changeEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void retranslateUi();
    void openApplicationPath(const QString &fileName);
    void applyPageSettings(const QUrl &url);
    void saveDownload(QWebEngineDownloadRequest *download);

    QWebEngineView *webView = nullptr;
    WebConsolePage *page = nullptr;
    ExternalContentHandler *contentHandler = nullptr;
    WebViewLogDialog *logDialog = nullptr;
    QMenu *appMenu = nullptr;
    QTranslator *translator = nullptr;

    // A close waits for the page's before-unload answer; the engine reports a
    // page willing to go with windowCloseRequested.
    bool closePending = false;
    bool closeConfirmed = false;
};
