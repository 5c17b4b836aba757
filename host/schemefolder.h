#pragma once

#include <QList>
#include <QObject>
#include <QSet>
#include <QString>

class FolderWatch;

// One scheme file of the folder as the listing offers it.
struct SchemeFileInfo
{
    QString fileName;
    qint64 size = 0;
    qint64 modified = 0; // milliseconds since the epoch

    bool operator==(const SchemeFileInfo &other) const
    {
        return fileName == other.fileName && size == other.size && modified == other.modified;
    }
};

// The folder of scheme files the station shows beside its built-in schemes.
// It keeps the current listing and announces changes once the folder has
// been quiet for a moment, so that a file being written is read whole.
class SchemeFolder : public QObject
{
    Q_OBJECT

public:
    // Larger files are neither listed for reading nor served.
    static constexpr qint64 maxFileSize = 10 * 1024 * 1024;

    explicit SchemeFolder(QObject *parent = nullptr);

    // The per-user data folder's "schemes" sub-folder.
    static QString defaultPath();

    // Creates the folder when missing, watches it and lists it at once.
    void setPath(const QString &path);
    QString path() const { return folderPath; }

    QList<SchemeFileInfo> files() const { return current; }
    // The listing as JSON: {"files": [{"name", "size", "modified"}, …]}, sorted by name.
    QByteArray listing() const;

signals:
    void changed();
    void problem(const QString &message);

private:
    void scan();

    QString folderPath;
    FolderWatch *watch = nullptr;
    QList<SchemeFileInfo> current;
    // Names already reported as leading outside, so each is reported once.
    QSet<QString> reportedOutside;
};
