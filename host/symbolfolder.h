#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>

class FolderWatch;

// One symbol of the folder as the listing offers it: already sanitised.
struct SymbolFileInfo
{
    QString name; // the file's name without ".svg"
    QByteArray svg;
    double width = 0;
    double height = 0;
};

// The folder of the station's own SVG symbols. Each file is read (at most
// the sanitiser's limit) and sanitised; one that fails is not listed and is
// reported once for each contents it has. Watched like the scheme folder.
class SymbolFolder : public QObject
{
    Q_OBJECT

public:
    explicit SymbolFolder(QObject *parent = nullptr);

    // The per-user data folder's "symbols" sub-folder.
    static QString defaultPath();
    // The folder beside a scheme folder: its sibling "symbols".
    static QString besideSchemeFolder(const QString &schemeFolder);

    // Creates the folder when missing, watches it and lists it at once.
    void setPath(const QString &path);
    QString path() const { return folderPath; }

    QList<SymbolFileInfo> symbols() const { return current; }
    // {"symbols": [{"name", "svg", "width", "height"}, …]}, sorted by file name.
    QByteArray listing() const { return currentListing; }

signals:
    void changed();
    void problem(const QString &message);

private:
    struct Read
    {
        qint64 size = -1;
        qint64 modified = 0;
        QByteArray contentsHash;
        bool readable = false;
        bool accepted = false;
        QString reason;
        SymbolFileInfo symbol;
    };

    void scan();
    Read readFile(const QString &path, qint64 size, qint64 modified) const;

    QString folderPath;
    FolderWatch *watch = nullptr;
    QList<SymbolFileInfo> current;
    QByteArray currentListing;
    // By file name: the last reading, so unchanged files are not read again.
    QHash<QString, Read> reads;
    // By file name: what its last report was about, so each is reported once.
    QHash<QString, QByteArray> reported;
};
