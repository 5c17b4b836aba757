// The Russian catalogue carried in the resources, and the host speaking it.

#include "mainwindow.h"
#include "schemeregistration.h"
#include "webconsolepage.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QLibraryInfo>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QResource>
#include <QSignalSpy>
#include <QTest>
#include <QTranslator>
#include <QWebEngineUrlScheme>
#include <QWebEngineView>
#include <QtEndian>

#include <iterator>

namespace {

constexpr char catalogue[] = ":/tr/corvane-ui-tr.qm";

struct Message
{
    const char *context;
    const char *source;
    const char *russian;
};

// Every message of the host, and nothing else, is in the catalogue.
constexpr Message messages[] = {
    { "MainWindow", "Application", "Меню" },
    { "MainWindow", "Open application file...", "Открыть файл WEB-приложения..." },
    { "MainWindow", "Open URL...", "Открыть URL..." },
    { "MainWindow", "Use bundled application", "Использовать встроенное WEB-приложение" },
    { "MainWindow", "WebView log", "WebView консоль" },
    { "MainWindow", "Open URL", "Открыть URL" },
    { "MainWindow", "Website address:", "Адрес:" },
    { "MainWindow", "Could not open URL\n%1", "Не удалось открыть URL\n%1" },
    { "MainWindow", "Page loading error\n%1\nCode %2: %3",
        "Ошибка загрузки страницы\n%1\nCode %2: %3" },
    { "MainWindow", "Select application file", "Выбор файла приложения" },
    { "MainWindow", "All files (*)", "Все файлы (*)" },
    { "MainWindow", "Opening external file\nFile: %1\nResource directory: %2",
        "Открытие внешнего файла\nФайл: %1\nДиректория: %2" },
    { "MainWindow", "Resource loading error\n%1\n%2", "Ошибка загрузки ресурса\n%1\n%2" },
    { "MainWindow", "Save file", "Сохранение файла" },
    { "MainWindow", "Could not save file\n%1\n%2", "Не удалось сохранить файл\n%1\n%2" },
    { "MainWindow", "The file could not be written", "Не удалось записать файл" },
    { "MainWindow", "crashed", "сбой" },
    { "MainWindow", "killed", "принудительно завершён" },
    { "MainWindow", "abnormal termination", "аварийное завершение" },
    { "MainWindow", "The page's process ended: %1, exit code %2\n%3",
        "Процесс страницы завершился: %1, код выхода %2\n%3" },
    { "MainWindow", "The page is not reloaded again: its process ended %1 times within a minute",
        "Страница больше не перезагружается: её процесс завершился %1 раза за минуту" },
    { "ExternalContentHandler", "The requested path is not supported",
        "Запрошенный путь не поддерживается" },
    { "ExternalContentHandler", "Access to a file outside the selected directory is denied",
        "Доступ к файлу за пределами выбранной директории запрещён" },
    { "ExternalContentHandler",
        "File not found in the selected directory\nDirectory: %1\nRelative path: %2\n"
        "Resolved path: %3",
        "Файл не найден в выбранной папке\nПапка: %1\nОтносительный путь: %2\n"
        "Итоговый путь: %3" },
    { "ExternalContentHandler", "Could not open file for reading",
        "Не получилось открыть файл на чтение" },
    { "WebConsolePage", "JavaScript message", "JS сообщение" },
    { "WebConsolePage", "JavaScript warning", "JS warning" },
    { "WebConsolePage", "JavaScript error", "JS error" },
    { "WebViewLogDialog", "WebView log", "WebView сообщения" },
    { "WebViewLogDialog", "Clear", "Очистить" },
    { "WebViewLogDialog", "Close", "Закрыть" },
    { "Bridge", "A call to the station was refused: it did not come from the built-in application",
        "Вызов станции отклонён: он пришёл не от встроенного приложения" },
    { "Bridge", "A call to the station was refused: %1", "Вызов станции отклонён: %1" },
    { "MainWindow", "Only the application's own saves are written",
        "Записываются только собственные сохранения приложения" },
    { "MainWindow", "Download refused: only the built-in application saves files\n%1",
        "Загрузка отклонена: сохранять файлы может только встроенное приложение\n%1" },
    { "MainWindow", "The save was cancelled", "Сохранение отменено" },
    { "ExternalContentHandler",
        "The file was replaced by a link since it was found; links are not followed",
        "Файл заменён ссылкой после того, как был найден; ссылки не открываются" },
    { "ExternalContentHandler", "Not a regular file", "Это не обычный файл" },
    { "ExternalContentHandler", "The file is larger than %1 MiB", "Файл больше %1 МиБ" },
    { "SchemeFolderHandler",
        "The scheme file was replaced by a link since it was found; links are not followed",
        "Файл схемы заменён ссылкой после того, как был найден; ссылки не открываются" },
    { "SchemeFolderHandler", "Not a regular file", "Это не обычный файл" },
    { "WebConsolePage", "Navigation refused: only the built-in application may show %1",
        "Переход отклонён: %1 может показывать только встроенное приложение" },
    { "WebConsolePage",
        "Navigation refused: the built-in application's page shows only what the program opens in "
        "it\n%1",
        "Переход отклонён: страница встроенного приложения показывает только то, что открывает в "
        "ней программа\n%1" },
    { "WebConsolePage", "Frame refused in the built-in application\n%1",
        "Фрейм во встроенном приложении отклонён\n%1" },
    { "WebConsolePage", "Dialogs of %1 dropped: more than %2 within %3 s",
        "Диалоги %1 отброшены: больше %2 за %3 с" },
    { "WebViewLogDialog", "%1… (%2 more characters)", "%1… (ещё символов: %2)" },
    { "main", "Remote debugging is on: the DevTools protocol is served at http://%1/",
        "Удалённая отладка включена: протокол DevTools доступен по адресу http://%1/" },
    { "main", "The alarm horn cannot sound: this machine has no audio output",
        "Звуковой сигнал тревоги не может звучать: на этом компьютере нет устройства вывода "
        "звука" },
    { "RendererNotice",
        "The page stopped working several times in a row and is no longer reloaded by itself.",
        "Страница несколько раз подряд перестала работать и больше не перезагружается сама." },
    { "RendererNotice", "Load the page again", "Загрузить страницу снова" },
    { "SchemeFolder", "Could not create the scheme folder\n%1",
        "Не удалось создать папку схем\n%1" },
    { "SchemeFolder", "Scheme file not listed: it leads outside the scheme folder\n%1",
        "Файл схемы не показан: он ведёт за пределы папки схем\n%1" },
    { "SchemeFolderHandler",
        "Only the built-in application may read the scheme folder\nRequested by: %1",
        "Папку схем может читать только встроенное приложение\nЗапрос от: %1" },
    { "SchemeFolderHandler", "a navigation", "переход по адресу" },
    { "SchemeFolderHandler", "The scheme folder is read-only",
        "Папка схем доступна только для чтения" },
    { "SchemeFolderHandler", "No scheme folder is set", "Папка схем не задана" },
    { "SchemeFolderHandler", "Access to a file outside the scheme folder is denied",
        "Доступ к файлу за пределами папки схем запрещён" },
    { "SchemeFolderHandler", "Scheme file not found\nFolder: %1\nFile: %2",
        "Файл схемы не найден\nПапка: %1\nФайл: %2" },
    { "SchemeFolderHandler", "Not a scheme file of the scheme folder: %1",
        "Не файл схемы из папки схем: %1" },
    { "SchemeFolderHandler", "Could not open file for reading",
        "Не получилось открыть файл на чтение" },
    { "SchemeFolderHandler", "The scheme file is larger than %1 MiB", "Файл схемы больше %1 МиБ" },
    { "SvgSanitizer", "The file is larger than %1 MiB", "Файл больше %1 МиБ" },
    { "SvgSanitizer", "A document type declaration is not allowed",
        "Объявление типа документа (DTD) запрещено" },
    { "SvgSanitizer", "Processing instructions are not allowed", "Инструкции обработки запрещены" },
    { "SvgSanitizer", "Not well-formed XML (line %1): %2",
        "Ошибка в разметке XML (строка %1): %2" },
    { "SvgSanitizer", "The file is not an SVG drawing", "Файл не является рисунком SVG" },
    { "SvgSanitizer", "The drawing has neither a viewBox nor a width and height",
        "У рисунка нет ни viewBox, ни ширины и высоты" },
    { "SvgSanitizer", "The element <%1> is not allowed", "Элемент <%1> запрещён" },
    { "SvgSanitizer", "The event attribute %1 is not allowed", "Атрибут события %1 запрещён" },
    { "SvgSanitizer", "The attribute %1 refers outside the file: %2",
        "Атрибут %1 ссылается за пределы файла: %2" },
    { "SvgSanitizer", "The attribute %1 holds a value that is not allowed: %2",
        "Атрибут %1 содержит недопустимое значение: %2" },
    { "SymbolFolder", "Could not create the symbol folder\n%1",
        "Не удалось создать папку символов\n%1" },
    { "SymbolFolder", "Symbol file not listed: %1\n%2", "Файл символа не показан: %1\n%2" },
    { "SymbolFolder", "it leads outside the symbol folder", "он ведёт за пределы папки символов" },
    { "SymbolFolder", "it could not be read", "его не удалось прочитать" },
    { "SymbolFolder", "its name %1 is already taken by %2", "его имя %1 уже занято файлом %2" },
    { "SymbolFolderHandler",
        "Only the built-in application may read the symbol folder\nRequested by: %1",
        "Папку символов может читать только встроенное приложение\nЗапрос от: %1" },
    { "SymbolFolderHandler", "a navigation", "переход по адресу" },
    { "SymbolFolderHandler", "The symbol folder is read-only",
        "Папка символов доступна только для чтения" },
    { "SymbolFolderHandler", "Not an address of the symbol folder: %1",
        "Не адрес папки символов: %1" },
    { "StationDatabase",
        "The history file could not be read and was renamed to %2; a new one is started\n%1\n%3",
        "Файл истории не удалось прочитать, он переименован в %2; начат новый\n%1\n%3" },
    { "StationDatabase", "The history is not recorded: the file could not be opened\n%1\n%2",
        "История не записывается: не удалось открыть файл\n%1\n%2" },
    { "StationDatabase", "The disk is full: recording of the history is paused\n%1",
        "Диск заполнен: запись истории приостановлена\n%1" },
    { "StationDatabase", "Recording of the history resumed\n%1",
        "Запись истории возобновлена\n%1" },
    { "StationDatabase", "The history could not be written\n%1\n%2",
        "Не удалось записать историю\n%1\n%2" },
    { "AccessControl", "Nobody can log in: the users file was not accepted\n%1",
        "Вход невозможен: файл пользователей не принят\n%1" },
    { "LoginDialog", "Log in to the station", "Вход на станцию" },
    { "LoginDialog", "User", "Пользователь" },
    { "LoginDialog", "Password", "Пароль" },
    { "LoginDialog", "Log in", "Войти" },
    { "MainWindow", "Wrong user name or password", "Неверное имя пользователя или пароль" },
    { "MainWindow", "Too many failed logins: this name is locked for %1 s",
        "Слишком много неудачных попыток: вход под этим именем заблокирован на %1 с" },
    { "MainWindow", "Nobody can log in: the users file was not accepted (see the log)",
        "Вход невозможен: файл пользователей не принят (см. журнал)" },
};

// A binary catalogue is a 16-byte magic number followed by sections, each a
// one-byte tag and a big-endian 32-bit length; the hash section (tag 0x42)
// holds one 8-byte entry per message. Returns -1 for a malformed catalogue.
int messageCountOf(const QByteArray &data)
{
    constexpr int magicSize = 16;
    constexpr char hashesTag = 0x42;
    qsizetype at = magicSize;
    while (at + 5 <= data.size()) {
        const char tag = data.at(at);
        const quint32 length = qFromBigEndian<quint32>(data.constData() + at + 1);
        at += 5;
        if (length > quint32(data.size() - at))
            return -1;
        if (tag == hashesTag)
            return length % 8 == 0 ? int(length / 8) : -1;
        at += length;
    }
    return -1;
}

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
    void shipsOnlyTheseMessagesUncompressed();
    void hostSpeaksRussian();
};

void TestCatalogue::translatesEveryMessage_data()
{
    QTest::addColumn<QByteArray>("context");
    QTest::addColumn<QByteArray>("source");
    QTest::addColumn<QString>("russian");

    for (const Message &message : messages) {
        QTest::addRow("%s: %s", message.context, message.source) << QByteArray(
            message.context) << QByteArray(message.source) << QString::fromUtf8(message.russian);
    }
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

void TestCatalogue::shipsOnlyTheseMessagesUncompressed()
{
    const QResource resource { QString::fromLatin1(catalogue) };
    QVERIFY(resource.isValid());
    QCOMPARE(resource.compressionAlgorithm(), QResource::NoCompression);
    QCOMPARE(messageCountOf(resource.uncompressedData()), int(std::size(messages)));
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

    // The language change that installing the catalogue posts keeps the menu
    // whole and the log window's texts Russian.
    QCoreApplication::processEvents();
    QCOMPARE(menu->actions().size(), 5);
    QCOMPARE(menu->title(), QStringLiteral("Меню"));
    QCOMPARE(log->windowTitle(), QStringLiteral("WebView сообщения"));
    QCOMPARE(box->button(QDialogButtonBox::Close)->text(), QStringLiteral("Закрыть"));

    // Qt's own dialogs speak Russian where Qt's translations are installed,
    // and English without an error where they are not.
    const bool qtTranslations = QFile::exists(
        QLibraryInfo::path(QLibraryInfo::TranslationsPath) + QStringLiteral("/qtbase_ru.qm"));
    QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"),
        qtTranslations ? QStringLiteral("Отмена") : QStringLiteral("Cancel"));

    // A failed load is reported in Russian with the untranslated "Code ".
    for (WebConsolePage *page : window.findChildren<WebConsolePage *>()) {
        if (page->content() == WebConsolePage::Content::External)
            page->load(QUrl(QStringLiteral("http://127.0.0.1:1/")));
    }
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
