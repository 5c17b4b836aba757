<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ru_RU">
<context>
    <name>MainWindow</name>
    <message>
        <source>Application</source>
        <translation>Меню</translation>
    </message>
    <message>
        <source>Open application file...</source>
        <translation>Открыть файл WEB-приложения...</translation>
    </message>
    <message>
        <source>Open URL...</source>
        <translation>Открыть URL...</translation>
    </message>
    <message>
        <source>Use bundled application</source>
        <translation>Использовать встроенное WEB-приложение</translation>
    </message>
    <message>
        <source>WebView log</source>
        <translation>WebView консоль</translation>
    </message>
    <message>
        <source>Open URL</source>
        <translation>Открыть URL</translation>
    </message>
    <message>
        <source>Website address:</source>
        <translation>Адрес:</translation>
    </message>
    <message>
        <source>Could not open URL
%1</source>
        <translation>Не удалось открыть URL
%1</translation>
    </message>
    <message>
        <source>Page loading error
%1
Code %2: %3</source>
        <translation>Ошибка загрузки страницы
%1
Code %2: %3</translation>
    </message>
    <message>
        <source>Select application file</source>
        <translation>Выбор файла приложения</translation>
    </message>
    <message>
        <source>All files (*)</source>
        <translation>Все файлы (*)</translation>
    </message>
    <message>
        <source>Opening external file
File: %1
Resource directory: %2</source>
        <translation>Открытие внешнего файла
Файл: %1
Директория: %2</translation>
    </message>
    <message>
        <source>Resource loading error
%1
%2</source>
        <translation>Ошибка загрузки ресурса
%1
%2</translation>
    </message>
    <message>
        <source>Save file</source>
        <translation>Сохранение файла</translation>
    </message>
    <message>
        <source>Could not save file
%1
%2</source>
        <translation>Не удалось сохранить файл
%1
%2</translation>
    </message>
    <message>
        <source>The file could not be written</source>
        <translation>Не удалось записать файл</translation>
    </message>
    <message>
        <source>crashed</source>
        <translation>сбой</translation>
    </message>
    <message>
        <source>killed</source>
        <translation>принудительно завершён</translation>
    </message>
    <message>
        <source>abnormal termination</source>
        <translation>аварийное завершение</translation>
    </message>
    <message>
        <source>The page&apos;s process ended: %1, exit code %2
%3</source>
        <translation>Процесс страницы завершился: %1, код выхода %2
%3</translation>
    </message>
    <message>
        <source>The page is not reloaded again: its process ended %1 times within a minute</source>
        <translation>Страница больше не перезагружается: её процесс завершился %1 раза за минуту</translation>
    </message>
    <message>
        <source>Download refused: only the built-in application saves files
%1</source>
        <translation>Загрузка отклонена: сохранять файлы может только встроенное приложение
%1</translation>
    </message>
    <message>
        <source>The save was cancelled</source>
        <translation>Сохранение отменено</translation>
    </message>
    <message>
        <source>Only the application&apos;s own saves are written</source>
        <translation>Записываются только собственные сохранения приложения</translation>
    </message>
    <message>
        <source>Wrong user name or password</source>
        <translation>Неверное имя пользователя или пароль</translation>
    </message>
    <message>
        <source>Too many failed logins: this name is locked for %1 s</source>
        <translation>Слишком много неудачных попыток: вход под этим именем заблокирован на %1 с</translation>
    </message>
    <message>
        <source>Nobody can log in: the users file was not accepted (see the log)</source>
        <translation>Вход невозможен: файл пользователей не принят (см. журнал)</translation>
    </message>
</context>
<context>
    <name>ExternalContentHandler</name>
    <message>
        <source>The requested path is not supported</source>
        <translation>Запрошенный путь не поддерживается</translation>
    </message>
    <message>
        <source>Access to a file outside the selected directory is denied</source>
        <translation>Доступ к файлу за пределами выбранной директории запрещён</translation>
    </message>
    <message>
        <source>File not found in the selected directory
Directory: %1
Relative path: %2
Resolved path: %3</source>
        <translation>Файл не найден в выбранной папке
Папка: %1
Относительный путь: %2
Итоговый путь: %3</translation>
    </message>
    <message>
        <source>Could not open file for reading</source>
        <translation>Не получилось открыть файл на чтение</translation>
    </message>
    <message>
        <source>The file was replaced by a link since it was found; links are not followed</source>
        <translation>Файл заменён ссылкой после того, как был найден; ссылки не открываются</translation>
    </message>
    <message>
        <source>Not a regular file</source>
        <translation>Это не обычный файл</translation>
    </message>
    <message>
        <source>The file is larger than %1 MiB</source>
        <translation>Файл больше %1 МиБ</translation>
    </message>
</context>
<context>
    <name>WebConsolePage</name>
    <message>
        <source>JavaScript message</source>
        <translation>JS сообщение</translation>
    </message>
    <message>
        <source>JavaScript warning</source>
        <translation>JS warning</translation>
    </message>
    <message>
        <source>JavaScript error</source>
        <translation>JS error</translation>
    </message>
    <message>
        <source>Navigation refused: only the built-in application may show %1</source>
        <translation>Переход отклонён: %1 может показывать только встроенное приложение</translation>
    </message>
    <message>
        <source>Navigation refused: the built-in application&apos;s page shows only what the program opens in it
%1</source>
        <translation>Переход отклонён: страница встроенного приложения показывает только то, что открывает в ней программа
%1</translation>
    </message>
    <message>
        <source>Frame refused in the built-in application
%1</source>
        <translation>Фрейм во встроенном приложении отклонён
%1</translation>
    </message>
    <message>
        <source>Dialogs of %1 dropped: more than %2 within %3 s</source>
        <translation>Диалоги %1 отброшены: больше %2 за %3 с</translation>
    </message>
</context>
<context>
    <name>WebViewLogDialog</name>
    <message>
        <source>WebView log</source>
        <translation>WebView сообщения</translation>
    </message>
    <message>
        <source>Clear</source>
        <translation>Очистить</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Закрыть</translation>
    </message>
    <message>
        <source>%1… (%2 more characters)</source>
        <translation>%1… (ещё символов: %2)</translation>
    </message>
</context>
<context>
    <name>RendererNotice</name>
    <message>
        <source>The page stopped working several times in a row and is no longer reloaded by itself.</source>
        <translation>Страница несколько раз подряд перестала работать и больше не перезагружается сама.</translation>
    </message>
    <message>
        <source>Load the page again</source>
        <translation>Загрузить страницу снова</translation>
    </message>
</context>
<context>
    <name>SchemeFolder</name>
    <message>
        <source>Could not create the scheme folder
%1</source>
        <translation>Не удалось создать папку схем
%1</translation>
    </message>
    <message>
        <source>Scheme file not listed: it leads outside the scheme folder
%1</source>
        <translation>Файл схемы не показан: он ведёт за пределы папки схем
%1</translation>
    </message>
</context>
<context>
    <name>SchemeFolderHandler</name>
    <message>
        <source>Only the built-in application may read the scheme folder
Requested by: %1</source>
        <translation>Папку схем может читать только встроенное приложение
Запрос от: %1</translation>
    </message>
    <message>
        <source>a navigation</source>
        <translation>переход по адресу</translation>
    </message>
    <message>
        <source>The scheme folder is read-only</source>
        <translation>Папка схем доступна только для чтения</translation>
    </message>
    <message>
        <source>No scheme folder is set</source>
        <translation>Папка схем не задана</translation>
    </message>
    <message>
        <source>Access to a file outside the scheme folder is denied</source>
        <translation>Доступ к файлу за пределами папки схем запрещён</translation>
    </message>
    <message>
        <source>Scheme file not found
Folder: %1
File: %2</source>
        <translation>Файл схемы не найден
Папка: %1
Файл: %2</translation>
    </message>
    <message>
        <source>Not a scheme file of the scheme folder: %1</source>
        <translation>Не файл схемы из папки схем: %1</translation>
    </message>
    <message>
        <source>Could not open file for reading</source>
        <translation>Не получилось открыть файл на чтение</translation>
    </message>
    <message>
        <source>The scheme file is larger than %1 MiB</source>
        <translation>Файл схемы больше %1 МиБ</translation>
    </message>
    <message>
        <source>The scheme file was replaced by a link since it was found; links are not followed</source>
        <translation>Файл схемы заменён ссылкой после того, как был найден; ссылки не открываются</translation>
    </message>
    <message>
        <source>Not a regular file</source>
        <translation>Это не обычный файл</translation>
    </message>
</context>
<context>
    <name>main</name>
    <message>
        <source>Remote debugging is on: the DevTools protocol is served at http://%1/</source>
        <translation>Удалённая отладка включена: протокол DevTools доступен по адресу http://%1/</translation>
    </message>
    <message>
        <source>The alarm horn cannot sound: this machine has no audio output</source>
        <translation>Звуковой сигнал тревоги не может звучать: на этом компьютере нет устройства вывода звука</translation>
    </message>
</context>
<context>
    <name>SvgSanitizer</name>
    <message>
        <source>The file is larger than %1 MiB</source>
        <translation>Файл больше %1 МиБ</translation>
    </message>
    <message>
        <source>A document type declaration is not allowed</source>
        <translation>Объявление типа документа (DTD) запрещено</translation>
    </message>
    <message>
        <source>Processing instructions are not allowed</source>
        <translation>Инструкции обработки запрещены</translation>
    </message>
    <message>
        <source>Not well-formed XML (line %1): %2</source>
        <translation>Ошибка в разметке XML (строка %1): %2</translation>
    </message>
    <message>
        <source>The file is not an SVG drawing</source>
        <translation>Файл не является рисунком SVG</translation>
    </message>
    <message>
        <source>The drawing has neither a viewBox nor a width and height</source>
        <translation>У рисунка нет ни viewBox, ни ширины и высоты</translation>
    </message>
    <message>
        <source>The element &lt;%1&gt; is not allowed</source>
        <translation>Элемент &lt;%1&gt; запрещён</translation>
    </message>
    <message>
        <source>The event attribute %1 is not allowed</source>
        <translation>Атрибут события %1 запрещён</translation>
    </message>
    <message>
        <source>The attribute %1 refers outside the file: %2</source>
        <translation>Атрибут %1 ссылается за пределы файла: %2</translation>
    </message>
    <message>
        <source>The attribute %1 holds a value that is not allowed: %2</source>
        <translation>Атрибут %1 содержит недопустимое значение: %2</translation>
    </message>
</context>
<context>
    <name>SymbolFolder</name>
    <message>
        <source>Could not create the symbol folder
%1</source>
        <translation>Не удалось создать папку символов
%1</translation>
    </message>
    <message>
        <source>Symbol file not listed: %1
%2</source>
        <translation>Файл символа не показан: %1
%2</translation>
    </message>
    <message>
        <source>it leads outside the symbol folder</source>
        <translation>он ведёт за пределы папки символов</translation>
    </message>
    <message>
        <source>it could not be read</source>
        <translation>его не удалось прочитать</translation>
    </message>
    <message>
        <source>its name %1 is already taken by %2</source>
        <translation>его имя %1 уже занято файлом %2</translation>
    </message>
</context>
<context>
    <name>SymbolFolderHandler</name>
    <message>
        <source>Only the built-in application may read the symbol folder
Requested by: %1</source>
        <translation>Папку символов может читать только встроенное приложение
Запрос от: %1</translation>
    </message>
    <message>
        <source>a navigation</source>
        <translation>переход по адресу</translation>
    </message>
    <message>
        <source>The symbol folder is read-only</source>
        <translation>Папка символов доступна только для чтения</translation>
    </message>
    <message>
        <source>Not an address of the symbol folder: %1</source>
        <translation>Не адрес папки символов: %1</translation>
    </message>
</context>
<context>
    <name>Bridge</name>
    <message>
        <source>A call to the station was refused: it did not come from the built-in application</source>
        <translation>Вызов станции отклонён: он пришёл не от встроенного приложения</translation>
    </message>
    <message>
        <source>A call to the station was refused: %1</source>
        <translation>Вызов станции отклонён: %1</translation>
    </message>
</context>
<context>
    <name>StationDatabase</name>
    <message>
        <source>The history file could not be read and was renamed to %2; a new one is started
%1
%3</source>
        <translation>Файл истории не удалось прочитать, он переименован в %2; начат новый
%1
%3</translation>
    </message>
    <message>
        <source>The history is not recorded: the file could not be opened
%1
%2</source>
        <translation>История не записывается: не удалось открыть файл
%1
%2</translation>
    </message>
    <message>
        <source>The disk is full: recording of the history is paused
%1</source>
        <translation>Диск заполнен: запись истории приостановлена
%1</translation>
    </message>
    <message>
        <source>Recording of the history resumed
%1</source>
        <translation>Запись истории возобновлена
%1</translation>
    </message>
    <message>
        <source>The history could not be written
%1
%2</source>
        <translation>Не удалось записать историю
%1
%2</translation>
    </message>
</context>
<context>
    <name>AccessControl</name>
    <message>
        <source>Nobody can log in: the users file was not accepted
%1</source>
        <translation>Вход невозможен: файл пользователей не принят
%1</translation>
    </message>
</context>
<context>
    <name>LoginDialog</name>
    <message>
        <source>Log in to the station</source>
        <translation>Вход на станцию</translation>
    </message>
    <message>
        <source>User</source>
        <translation>Пользователь</translation>
    </message>
    <message>
        <source>Password</source>
        <translation>Пароль</translation>
    </message>
    <message>
        <source>Log in</source>
        <translation>Войти</translation>
    </message>
</context>
</TS>
