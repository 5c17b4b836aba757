#include "symbolfolder.h"

#include "folderwatch.h"
#include "pathresolver.h"
#include "svgsanitizer.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QStandardPaths>

SymbolFolder::SymbolFolder(QObject *parent)
    : QObject(parent)
{
    watch = new FolderWatch(this);
    connect(watch, &FolderWatch::changed, this, &SymbolFolder::scan);
    currentListing = QJsonDocument(QJsonObject { { QStringLiteral("symbols"), QJsonArray() } })
                         .toJson(QJsonDocument::Compact);
}

QString SymbolFolder::defaultPath()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation))
        .filePath(QStringLiteral("symbols"));
}

QString SymbolFolder::besideSchemeFolder(const QString &schemeFolder)
{
    return QDir::cleanPath(QDir(schemeFolder).absoluteFilePath(QStringLiteral("../symbols")));
}

void SymbolFolder::setPath(const QString &path)
{
    folderPath = QDir(path).absolutePath();
    reads.clear();
    reported.clear();
    if (!QDir().mkpath(folderPath))
        emit problem(
            tr("Could not create the symbol folder\n%1").arg(QDir::toNativeSeparators(folderPath)));
    watch->setFolder(folderPath);
    scan();
}

SymbolFolder::Read SymbolFolder::readFile(const QString &path, qint64 size, qint64 modified) const
{
    Read read;
    read.size = size;
    read.modified = modified;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        read.reason = tr("it could not be read");
        return read;
    }
    // One byte past the limit is enough to know a file is too large.
    const QByteArray contents = file.read(SvgSanitizer::maxFileSize + 1);
    read.readable = true;
    read.contentsHash = QCryptographicHash::hash(contents, QCryptographicHash::Sha256);
    const SanitizedSvg clean = SvgSanitizer::sanitize(contents);
    read.accepted = clean.accepted;
    read.reason = clean.reason;
    read.symbol = { QString(), clean.svg, clean.width, clean.height };
    return read;
}

void SymbolFolder::scan()
{
    QList<SymbolFileInfo> found;
    QStringList watched;
    QHash<QString, Read> nextReads;
    QHash<QString, QByteArray> nextReported;
    QHash<QString, QString> takenBy; // symbol name → file name
    const auto report = [this, &nextReported](const QFileInfo &entry, const QByteArray &about,
                            const QString &reason) {
        nextReported.insert(entry.fileName(), about);
        if (reported.value(entry.fileName()) != about)
            emit problem(tr("Symbol file not listed: %1\n%2")
                             .arg(reason, QDir::toNativeSeparators(entry.absoluteFilePath())));
    };

    const QLatin1String prefix(corvanePathPrefix);
    const QFileInfoList entries
        = QDir(folderPath).entryInfoList({ QStringLiteral("*.svg") }, QDir::Files, QDir::Name);
    for (const QFileInfo &entry : entries) {
        // The same confinement as every read of the station: a link may not lead out.
        const ResolvedRequest resolved = resolveRequestPath(folderPath, prefix + entry.fileName());
        if (resolved.outcome == ResolvedRequest::Denied) {
            report(entry, QByteArrayLiteral("outside"), tr("it leads outside the symbol folder"));
            continue;
        }
        if (resolved.outcome != ResolvedRequest::File)
            continue;
        watched.append(entry.absoluteFilePath());
        const QFileInfo target(resolved.canonicalFilePath);
        const qint64 modified = target.lastModified().toMSecsSinceEpoch();
        Read read = reads.value(entry.fileName());
        if (read.size != target.size() || read.modified != modified)
            read = readFile(resolved.canonicalFilePath, target.size(), modified);
        nextReads.insert(entry.fileName(), read);
        if (!read.accepted) {
            report(entry, read.contentsHash + read.reason.toUtf8(), read.reason);
            continue;
        }
        const QString name = entry.completeBaseName();
        // "pump.svg" and "pump.SVG" on a case-sensitive disk: the first keeps the name.
        if (takenBy.contains(name)) {
            report(entry, read.contentsHash + QByteArrayLiteral("taken"),
                tr("its name %1 is already taken by %2").arg(name, takenBy.value(name)));
            continue;
        }
        takenBy.insert(name, entry.fileName());
        SymbolFileInfo symbol = read.symbol;
        symbol.name = name;
        found.append(symbol);
    }
    reads = nextReads;
    reported = nextReported;
    watch->watchFiles(watched);

    QJsonArray listed;
    for (const SymbolFileInfo &symbol : found) {
        listed.append(QJsonObject { { QStringLiteral("name"), symbol.name },
            { QStringLiteral("svg"), QString::fromUtf8(symbol.svg) },
            { QStringLiteral("width"), symbol.width },
            { QStringLiteral("height"), symbol.height } });
    }
    const QByteArray listing = QJsonDocument(
        QJsonObject { { QStringLiteral("symbols"),
            listed } }).toJson(QJsonDocument::Compact);
    current = found;
    if (listing == currentListing)
        return;
    currentListing = listing;
    emit changed();
}
