#include "pathresolver.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>

// Cleaning the path only stops ".." segments. A symbolic link (or, on Windows,
// a junction) inside the root can still lead anywhere, so every answer that
// could open a file is checked again against the canonical root: the file's
// own canonical path, or for a missing file that of its nearest existing
// ancestor, must lie inside it.

namespace {

constexpr Qt::CaseSensitivity pathCase =
#ifdef Q_OS_WIN
    Qt::CaseInsensitive;
#else
    Qt::CaseSensitive;
#endif

bool liesInside(const QString &canonicalPath, const QString &canonicalRoot)
{
    if (canonicalPath.compare(canonicalRoot, pathCase) == 0)
        return true;
    const QString rootWithSlash = canonicalRoot.endsWith(QLatin1Char('/'))
        ? canonicalRoot
        : canonicalRoot + QLatin1Char('/');
    return canonicalPath.startsWith(rootWithSlash, pathCase);
}

// The canonical path of the entry, or of its nearest existing ancestor when
// the entry itself does not exist (a dangling link counts as not existing).
QString canonicalOfNearestExisting(const QString &absolutePath)
{
    QString path = absolutePath;
    for (;;) {
        const QFileInfo info(path);
        const QString canonical = info.canonicalFilePath();
        if (!canonical.isEmpty())
            return canonical;
        const QString parent = info.absolutePath();
        if (parent == path)
            return QString();
        path = parent;
    }
}

} // namespace

ResolvedRequest resolveRequestPath(const QString &rootDirectory, const QString &decodedPath)
{
    ResolvedRequest result;
    const QLatin1String prefix(corvanePathPrefix);
    if (rootDirectory.isEmpty() || !decodedPath.startsWith(prefix, Qt::CaseSensitive))
        return result;

    const QString relative
        = QDir::fromNativeSeparators(QDir::cleanPath(decodedPath.mid(prefix.size())));
    result.relativePath = relative;
    result.outcome = ResolvedRequest::Denied;
    if (relative == QLatin1String("..") || relative.startsWith(QLatin1String("../"))
        || QDir::isAbsolutePath(relative) || relative.contains(QChar(0)))
        return result;

    const QFileInfo resolved(QDir(rootDirectory).absoluteFilePath(relative));
    result.absoluteFilePath = resolved.absoluteFilePath();

    const QString canonicalRoot = QFileInfo(rootDirectory).canonicalFilePath();
    if (canonicalRoot.isEmpty()) {
        // The root itself is gone: nothing under it can be served.
        result.outcome = ResolvedRequest::NotFound;
        return result;
    }
    if (!liesInside(canonicalOfNearestExisting(result.absoluteFilePath), canonicalRoot))
        return result;

    result.outcome = ResolvedRequest::NotFound;
    if (!resolved.exists() || !resolved.isFile())
        return result;
    result.canonicalFilePath = resolved.canonicalFilePath();
    if (result.canonicalFilePath.isEmpty())
        return result;
    result.outcome = ResolvedRequest::File;
    return result;
}

ResolvedRequest resolveRequest(const QString &rootDirectory, const QUrl &url)
{
    return resolveRequestPath(rootDirectory, url.path(QUrl::FullyDecoded));
}
