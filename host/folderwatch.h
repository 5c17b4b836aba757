#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

class QFileSystemWatcher;
class QTimer;

// Watches one folder and the files listed in it, and announces a change once
// the folder has been quiet for a moment, so that a file being written is read
// whole. Shared by the folders the station reads (schemes, symbols).
class FolderWatch : public QObject
{
    Q_OBJECT

public:
    static constexpr int settleMs = 300;
    static constexpr int recheckMs = 1000;

    explicit FolderWatch(QObject *parent = nullptr);

    // Forgets what was watched and watches `folder` (an absolute path, may be empty).
    void setFolder(const QString &folder);
    // Watches exactly these files of the folder (a change of contents alone
    // leaves the folder as it was), and the folder itself again when it is back.
    void watchFiles(const QStringList &files);

signals:
    // The folder or one of its files changed, or a missing folder is to be looked at again.
    void changed();

private:
    QString folderPath;
    QFileSystemWatcher *watcher = nullptr;
    QTimer *settleTimer = nullptr;
    // While the folder is gone (removed, or replaced by another), look again
    // now and then: nothing can be watched until it is back.
    QTimer *recheckTimer = nullptr;
};
