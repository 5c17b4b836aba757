#include "schemefolder.h"

#include "folderwatch.h"
#include "pathresolver.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>

SchemeFolder::SchemeFolder(QObject *parent)
    : QObject(parent)
{
    watch = new FolderWatch(this);
    connect(watch, &FolderWatch::changed, this, &SchemeFolder::scan);
}

QString SchemeFolder::defaultPath()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation))
        .filePath(QStringLiteral("schemes"));
}

void SchemeFolder::setPath(const QString &path)
{
    folderPath = QDir(path).absolutePath();
    reportedOutside.clear();
    if (!QDir().mkpath(folderPath))
        emit problem(
            tr("Could not create the scheme folder\n%1").arg(QDir::toNativeSeparators(folderPath)));
    watch->setFolder(folderPath);
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
    watch->watchFiles(watched);

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
