#include "folderwatch.h"

#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QTimer>

FolderWatch::FolderWatch(QObject *parent)
    : QObject(parent)
{
    watcher = new QFileSystemWatcher(this);
    settleTimer = new QTimer(this);
    settleTimer->setSingleShot(true);
    settleTimer->setInterval(settleMs);
    connect(settleTimer, &QTimer::timeout, this, &FolderWatch::changed);
    recheckTimer = new QTimer(this);
    recheckTimer->setSingleShot(true);
    recheckTimer->setInterval(recheckMs);
    connect(recheckTimer, &QTimer::timeout, this, &FolderWatch::changed);
    // Writers often touch a file several times in a row: one change after the last.
    connect(
        watcher, &QFileSystemWatcher::directoryChanged, settleTimer, qOverload<>(&QTimer::start));
    connect(watcher, &QFileSystemWatcher::fileChanged, settleTimer, qOverload<>(&QTimer::start));
}

void FolderWatch::setFolder(const QString &folder)
{
    if (!watcher->files().isEmpty())
        watcher->removePaths(watcher->files());
    if (!watcher->directories().isEmpty())
        watcher->removePaths(watcher->directories());
    folderPath = folder;
    if (!folderPath.isEmpty() && QFileInfo(folderPath).isDir())
        watcher->addPath(folderPath);
}

void FolderWatch::watchFiles(const QStringList &files)
{
    QStringList gone;
    for (const QString &file : watcher->files()) {
        if (!files.contains(file))
            gone.append(file);
    }
    if (!gone.isEmpty())
        watcher->removePaths(gone);
    QStringList added;
    for (const QString &file : files) {
        if (!watcher->files().contains(file))
            added.append(file);
    }
    if (!added.isEmpty())
        watcher->addPaths(added);
    if (!folderPath.isEmpty() && !watcher->directories().contains(folderPath)
        && (!QFileInfo(folderPath).isDir() || !watcher->addPath(folderPath)))
        recheckTimer->start();
}
