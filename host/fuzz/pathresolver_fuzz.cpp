// Feeds arbitrary request paths to the resolver over a small tree with links
// that lead out of it, and stops on any answer that would open a file outside
// the root or report a relative path that climbs above it.
//
// First input byte: even = the rest is an address path as it arrives encoded,
// odd = the rest is an already decoded path. The "/mvp/" prefix is added when
// the second byte is odd, so most inputs get past the prefix check.

#include "pathresolver.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QUrl>

#include <cstdint>
#include <cstdlib>

namespace {

struct Tree
{
    QTemporaryDir base;
    QString root;
    QString canonicalRoot;
};

void touch(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        abort();
    file.write("x");
}

// base/root is served; base/outside only through links or climbing.
const Tree &tree()
{
    static Tree *const instance = [] {
        auto *t = new Tree;
        if (!t->base.isValid())
            abort();
        const QString base = QFileInfo(t->base.path()).canonicalFilePath();
        t->root = base + QStringLiteral("/root");
        const QString outside = base + QStringLiteral("/outside");
        QDir dir;
        if (!dir.mkpath(t->root + QStringLiteral("/sub/deeper")) || !dir.mkpath(outside))
            abort();
        touch(t->root + QStringLiteral("/index.html"));
        touch(t->root + QStringLiteral("/sub/app.js"));
        touch(t->root + QStringLiteral("/sub/deeper/a b.css"));
        touch(outside + QStringLiteral("/secret.txt"));
        QFile::link(outside, t->root + QStringLiteral("/out"));
        QFile::link(outside + QStringLiteral("/secret.txt"), t->root + QStringLiteral("/sub/s"));
        QFile::link(QStringLiteral("../.."), t->root + QStringLiteral("/sub/up"));
        QFile::link(t->root + QStringLiteral("/sub"), t->root + QStringLiteral("/in"));
        t->canonicalRoot = QFileInfo(t->root).canonicalFilePath();
        return t;
    }();
    return *instance;
}

bool inside(const QString &path, const QString &root)
{
    return path == root || path.startsWith(root + QLatin1Char('/'));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    const Tree &t = tree();
    const bool decoded = data[0] & 1;
    const bool addPrefix = data[1] & 1;
    const QByteArray bytes(reinterpret_cast<const char *>(data + 2), qsizetype(size - 2));
    const QString prefix = addPrefix ? QLatin1String(corvanePathPrefix) : QString();

    ResolvedRequest result;
    if (decoded) {
        result = resolveRequestPath(t.root, prefix + QString::fromUtf8(bytes));
    } else {
        QUrl url;
        url.setScheme(QStringLiteral("corvane"));
        url.setHost(QStringLiteral("content"));
        url.setPath(prefix + QString::fromUtf8(bytes), QUrl::TolerantMode);
        result = resolveRequest(t.root, url);
    }

    if (result.relativePath == QLatin1String("..")
        || result.relativePath.startsWith(QLatin1String("../"))) {
        if (result.outcome != ResolvedRequest::Denied)
            abort();
    }
    if (result.outcome == ResolvedRequest::File) {
        if (result.relativePath.startsWith(QLatin1String("../")))
            abort();
        if (!inside(result.canonicalFilePath, t.canonicalRoot))
            abort();
        // What will be opened is really that file, link-free.
        if (QFileInfo(result.canonicalFilePath).canonicalFilePath() != result.canonicalFilePath)
            abort();
    }
    return 0;
}
