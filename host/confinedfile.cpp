#include "confinedfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#ifdef Q_OS_UNIX

namespace {

ConfinedFile::Outcome outcomeOf(int error)
{
    switch (error) {
    case ENOENT:
        return ConfinedFile::Missing;
    // A link where a directory or the file was expected.
    case ELOOP:
    case ENOTDIR:
    case EMLINK:
        return ConfinedFile::Link;
    case ENXIO: // a socket, or a FIFO without a writer
        return ConfinedFile::NotRegular;
    default:
        return ConfinedFile::Failed;
    }
}

// Directories are only walked through: search permission is enough.
#ifdef O_PATH
constexpr int directoryFlags = O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
#else
constexpr int directoryFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
#endif
constexpr int fileFlags = O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;

} // namespace

ConfinedFile openConfinedFile(const QString &path, qint64 maxSize)
{
    ConfinedFile result;
    const QByteArray native = QFile::encodeName(QDir::cleanPath(path));
    if (!native.startsWith('/'))
        return result;

    // One component at a time from the file system's root, none of them
    // followed if it is a link: the same as openat2's RESOLVE_NO_SYMLINKS,
    // on every POSIX system.
    int current = ::open("/", directoryFlags & ~O_NOFOLLOW);
    if (current < 0)
        return result;
    const QList<QByteArray> parts = native.mid(1).split('/');
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const bool last = i + 1 == parts.size();
        const int next
            = ::openat(current, parts.at(i).constData(), last ? fileFlags : directoryFlags);
        const int error = errno;
        ::close(current);
        if (next < 0) {
            result.outcome = outcomeOf(error);
            return result;
        }
        current = next;
    }

    struct stat status = {};
    if (::fstat(current, &status) != 0) {
        ::close(current);
        return result;
    }
    if (!S_ISREG(status.st_mode)) {
        ::close(current);
        result.outcome = ConfinedFile::NotRegular;
        return result;
    }
    result.size = qint64(status.st_size);
    if (result.size > maxSize) {
        ::close(current);
        result.outcome = ConfinedFile::TooLarge;
        return result;
    }
    auto file = std::make_unique<QFile>();
    if (!file->open(current, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(current);
        return result;
    }
    result.file = std::move(file);
    result.outcome = ConfinedFile::Opened;
    return result;
}

#else

// Without POSIX descriptors: the resolved path is checked and opened as it is.
ConfinedFile openConfinedFile(const QString &path, qint64 maxSize)
{
    ConfinedFile result;
    const QFileInfo info(path);
    if (!info.exists()) {
        result.outcome = ConfinedFile::Missing;
        return result;
    }
    if (info.isSymLink() || info.isShortcut() || info.isJunction()) {
        result.outcome = ConfinedFile::Link;
        return result;
    }
    if (!info.isFile()) {
        result.outcome = ConfinedFile::NotRegular;
        return result;
    }
    auto file = std::make_unique<QFile>(path);
    if (!file->open(QIODevice::ReadOnly))
        return result;
    result.size = file->size();
    if (result.size > maxSize) {
        result.outcome = ConfinedFile::TooLarge;
        return result;
    }
    result.file = std::move(file);
    result.outcome = ConfinedFile::Opened;
    return result;
}

#endif
