// The Russian catalogue carried in the resources, and the host speaking it.

#include "mainwindow.h"
#include "schemeregistration.h"
#include "webconsolepage.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTranslator>
#include <QWebEngineUrlScheme>
#include <QWebEngineView>

namespace {

constexpr char catalogue[] = ":/tr/corvane-ui-tr.qm";

class ProbePage : public WebConsolePage
{
public:
    using WebConsolePage::javaScriptConsoleMessage;
    using WebConsolePage::WebConsolePage;
};

} // namespace

class TestCatalogue : public QObject
{
    Q_OBJECT

private slots:
    void translatesEveryMessage_data();
    void translatesEveryMessage();
    void hostSpeaksRussian();
};

void TestCatalogue::translatesEveryMessage_data()
{
    QTest::addColumn<QByteArray>("context");
    QTest::addColumn<QByteArray>("source");
    QTest::addColumn<QString>("russian");

    const auto row = [](const char *context, const char *source, const char *russian) {
        QTest::addRow("%s: %s", context, source)
            << QByteArray(context) << QByteArray(source) << QString::fromUtf8(russian);
    };
    row("MainWindow", "Application", "Меню");
    row("MainWindow", "Open application file...", "Открыть файл WEB-приложения...");
    row("MainWindow", "Open URL...", "Открыть URL...");
    row("MainWindow", "Use bundled application", "Использовать встроенное WEB-приложение");
    row("MainWindow", "WebView log", "WebView консоль");
    row("MainWindow", "Open URL", "Открыть URL");
    row("MainWindow", "Website address:", "Адрес:");
    row("MainWindow", "Could not open URL\n%1", "Не удалось открыть URL\n%1");
    row("MainWindow", "Page loading error\n%1\nCode %2: %3",
        "Ошибка загрузки страницы\n%1\nCode %2: %3");
    row("MainWindow", "Select application file", "Выбор файла приложения");
    row("MainWindow", "All files (*)", "Все файлы (*)");
    row("MainWindow", "Opening external file\nFile: %1\nResource directory: %2",
        "Открытие внешнего файла\nФайл: %1\nДиректория: %2");
    row("MainWindow", "Resource loading error\n%1\n%2", "Ошибка загрузки ресурса\n%1\n%2");
    row("ExternalContentHandler", "The requested path is not supported",
        "Запрошенный путь не поддерживается");
    row("ExternalContentHandler", "Access to a file outside the selected directory is denied",
        "Доступ к файлу за пределами выбранной директории запрещён");
    row("ExternalContentHandler",
        "File not found in the selected directory\nDirectory: %1\nRelative path: %2\nResolved "
        "path: %3",
        "Файл не найден в выбранной папке\nПапка: %1\nОтносительный путь: %2\nИтоговый путь: %3");
    row("ExternalContentHandler", "Could not open file for reading",
        "Не получилось открыть файл на чтение");
    row("WebConsolePage", "JavaScript message", "JS сообщение");
    row("WebConsolePage", "JavaScript warning", "JS warning");
    row("WebConsolePage", "JavaScript error", "JS error");
    row("WebViewLogDialog", "WebView log", "WebView сообщения");
    row("WebViewLogDialog", "Clear", "Очистить");
    row("WebViewLogDialog", "Close", "Закрыть");
}

void TestCatalogue::translatesEveryMessage()
{
    QFETCH(QByteArray, context);
    QFETCH(QByteArray, source);
    QFETCH(QString, russian);

    QTranslator translator;
    QVERIFY(translator.load(QLatin1String(catalogue)));
    QCOMPARE(translator.language(), QStringLiteral("ru_RU"));
    QCOMPARE(translator.translate(context.constData(), source.constData(), nullptr, -1), russian);
}

void TestCatalogue::hostSpeaksRussian()
{
    MainWindow window;

    const QList<QAction *> menus = window.menuBar()->actions();
    QCOMPARE(menus.size(), 1);
    QMenu *menu = menus.first()->menu();
    QCOMPARE(menu->title(), QStringLiteral("Меню"));
    QStringList entries;
    const QList<QAction *> actions = menu->actions();
    for (const QAction *action : actions)
        entries << (action->isSeparator() ? QStringLiteral("-") : action->text());
    QCOMPARE(entries,
        QStringList({ "Открыть файл WEB-приложения...", "Открыть URL...",
            "Использовать встроенное WEB-приложение", "-", "WebView консоль" }));
    QCOMPARE(window.windowTitle(), QStringLiteral("corvane-ui  v0.0.0 build 1"));

    auto *log = window.findChild<QDialog *>();
    QCOMPARE(log->windowTitle(), QStringLiteral("WebView сообщения"));
    auto *box = log->findChild<QDialogButtonBox *>();
    QCOMPARE(box->button(QDialogButtonBox::Close)->text(), QStringLiteral("Закрыть"));
    QStringList buttons;
    for (const QAbstractButton *button : box->buttons())
        buttons << button->text();
    QVERIFY2(buttons.contains(QStringLiteral("Очистить")), qPrintable(buttons.join(',')));

    // The language change that installing the catalogue posts keeps the menu whole.
    QCoreApplication::processEvents();
    QCOMPARE(menu->actions().size(), 5);

    // A failed load is reported in Russian with the untranslated "Code ".
    auto *view = window.findChild<QWebEngineView *>();
    view->load(QUrl(QStringLiteral("http://127.0.0.1:1/")));
    auto *logView = log->findChild<QPlainTextEdit *>();
    QTRY_VERIFY2_WITH_TIMEOUT(logView->toPlainText().contains(QStringLiteral(
                                  "] Ошибка загрузки страницы\nhttp://127.0.0.1:1/\nCode ")),
        qPrintable(logView->toPlainText()), 30000);

    // Console titles follow the catalogue while it is installed.
    ProbePage page;
    QSignalSpy messages(&page, &WebConsolePage::consoleMessage);
    page.javaScriptConsoleMessage(
        QWebEnginePage::ErrorMessageLevel, QStringLiteral("e"), 2, QStringLiteral("s.js"));
    page.javaScriptConsoleMessage(
        QWebEnginePage::InfoMessageLevel, QStringLiteral("i"), 3, QStringLiteral("s.js"));
    QCOMPARE(messages.at(0).at(0).toString(), QStringLiteral("JS error\nSource: s.js, line 2\ne"));
    QCOMPARE(
        messages.at(1).at(0).toString(), QStringLiteral("JS сообщение\nSource: s.js, line 3\ni"));
}

int main(int argc, char **argv)
{
    // The scheme exists for the engine only when registered before the application.
    const QWebEngineUrlScheme scheme = registerCorvaneScheme();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    TestCatalogue test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_catalogue.moc"
