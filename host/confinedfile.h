#pragma once

#include <QString>
#include <QtGlobal>

#include <memory>

class QFile;

// A file opened for a scheme handler, or why it was not.
struct ConfinedFile
{
    enum Outcome {
        Opened,
        Missing, // nothing there any more
        Link, // a component is a link now: swapped in since the path was resolved
        NotRegular, // a directory, a FIFO, a device or a socket
        TooLarge,
        Failed // any other error of the system
    };

    Outcome outcome = Failed;
    // Open for reading when the outcome is Opened; the handle that was checked.
    std::unique_ptr<QFile> file;
    qint64 size = 0;
};

// Opens `path`, an absolute path that the resolver found free of links,
// without following a link in any of its components and without blocking (a
// FIFO opens at once and is then refused). Only a regular file of at most
// `maxSize` bytes is handed back, and what the checks passed is exactly what
// is read. May run on any thread; blocks only as long as the disk does.
ConfinedFile openConfinedFile(const QString &path, qint64 maxSize);
