#include "schemefolder.h"

#include "pathresolver.h"

#include <QDir>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>
#include <QTimer>

SchemeFolder::SchemeFolder(QObject *parent)
    : QObject(parent)
{
    watcher = new QFileSystemWatcher(this);
    settleTimer = new QTimer(this);
    settleTimer->setSingleShot(true);
    settleTimer->setInterval(settleMs);
    connect(settleTimer, &QTimer::timeout, this, &SchemeFolder::scan);
    recheckTimer = new QTimer(this);
    recheckTimer->setSingleShot(true);
    recheckTimer->setInterval(recheckMs);
    connect(recheckTimer, &QTimer::timeout, this, &SchemeFolder::scan);
    // Writers often touch a file several times in a row: one scan after the last.
    connect(
        watcher, &QFileSystemWatcher::directoryChanged, settleTimer, qOverload<>(&QTimer::start));
    connect(watcher, &QFileSystemWatcher::fileChanged, settleTimer, qOverload<>(&QTimer::start));
}

QString SchemeFolder::defaultPath()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation))
        .filePath(QStringLiteral("schemes"));
}

void SchemeFolder::setPath(const QString &path)
{
    if (!watcher->files().isEmpty())
        watcher->removePaths(watcher->files());
    if (!watcher->directories().isEmpty())
        watcher->removePaths(watcher->directories());
    folderPath = QDir(path).absolutePath();
    reportedOutside.clear();
    if (!QDir().mkpath(folderPath))
        emit problem(
            tr("Could not create the scheme folder\n%1").arg(QDir::toNativeSeparators(folderPath)));
    else
        watcher->addPath(folderPath);
    scan();
}

void SchemeFolder::scan()
{
    QList<SchemeFileInfo> found;
    QSet<QString> outside;
    QStringList watched;
    const QLatin1String prefix(corvanePathPrefix);
    const QFileInfoList entries
        = QDir(folderPath).entryInfoList({ QStringLiteral("*.json") }, QDir::Files, QDir::Name);
    for (const QFileInfo &entry : entries) {
        // The same confinement as every read: a link may not lead out of the folder.
        const ResolvedRequest resolved = resolveRequestPath(folderPath, prefix + entry.fileName());
        if (resolved.outcome == ResolvedRequest::Denied) {
            outside.insert(entry.fileName());
            if (!reportedOutside.contains(entry.fileName()))
                emit problem(tr("Scheme file not listed: it leads outside the scheme folder\n%1")
                                 .arg(QDir::toNativeSeparators(entry.absoluteFilePath())));
            continue;
        }
        if (resolved.outcome != ResolvedRequest::File)
            continue;
        const QFileInfo target(resolved.canonicalFilePath);
        found.append(
            { entry.fileName(), target.size(), target.lastModified().toMSecsSinceEpoch() });
        watched.append(entry.absoluteFilePath());
    }
    reportedOutside = outside;

    // Files are watched too: a change of contents alone leaves the folder as it was.
    QStringList gone;
    for (const QString &file : watcher->files()) {
        if (!watched.contains(file))
            gone.append(file);
    }
    if (!gone.isEmpty())
        watcher->removePaths(gone);
    QStringList added;
    for (const QString &file : watched) {
        if (!watcher->files().contains(file))
            added.append(file);
    }
    if (!added.isEmpty())
        watcher->addPaths(added);
    if (!folderPath.isEmpty() && !watcher->directories().contains(folderPath)
        && (!QFileInfo(folderPath).isDir() || !watcher->addPath(folderPath)))
        recheckTimer->start();

    if (found == current)
        return;
    current = found;
    emit changed();
}

QByteArray SchemeFolder::listing() const
{
    QJsonArray files;
    for (const SchemeFileInfo &file : current) {
        files.append(QJsonObject { { QStringLiteral("name"), file.fileName },
            { QStringLiteral("size"), double(file.size) },
            { QStringLiteral("modified"), double(file.modified) } });
    }
    return QJsonDocument(QJsonObject { { QStringLiteral("files"), files } })
        .toJson(QJsonDocument::Compact);
}
