#include "externalcontenthandler.h"

#include "confinedfile.h"
#include "pathresolver.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QMimeDatabase>
#include <QPointer>
#include <QThreadPool>
#include <QUrl>
#include <QWebEngineUrlRequestJob>

ExternalContentHandler::ExternalContentHandler(QObject *parent)
    : QWebEngineUrlSchemeHandler(parent)
{ }

void ExternalContentHandler::setRootDirectory(const QString &path)
{
    rootDirectory = QDir(path).absolutePath();
}

void ExternalContentHandler::setBeforeOpenHook(std::function<void(const QString &)> hook)
{
    beforeOpen = std::move(hook);
}

void ExternalContentHandler::requestStarted(QWebEngineUrlRequestJob *job)
{
    const QUrl url = job->requestUrl();
    const auto fail
        = [this, job, &url](const QString &reason, QWebEngineUrlRequestJob::Error error) {
              emit resourceError(url.toDisplayString(), reason);
              job->fail(error);
          };

    const ResolvedRequest request = resolveRequest(rootDirectory, url);
    switch (request.outcome) {
    case ResolvedRequest::Unsupported:
        fail(tr("The requested path is not supported"), QWebEngineUrlRequestJob::UrlNotFound);
        return;
    case ResolvedRequest::Denied:
        fail(tr("Access to a file outside the selected directory is denied"),
            QWebEngineUrlRequestJob::RequestDenied);
        return;
    case ResolvedRequest::NotFound:
        fail(tr("File not found in the selected directory\nDirectory: %1\nRelative path: "
                "%2\nResolved "
                "path: %3")
                 .arg(rootDirectory, request.relativePath, request.absoluteFilePath),
            QWebEngineUrlRequestJob::UrlNotFound);
        return;
    case ResolvedRequest::File:
        break;
    }

    // Opened and typed on a pool thread: the GUI thread never waits on the
    // disk. The reply then streams from the handle that was checked.
    QPointer<ExternalContentHandler> handler(this);
    QPointer<QWebEngineUrlRequestJob> pending(job);
    const auto hook = beforeOpen;
    QThreadPool::globalInstance()->start([handler, pending, hook, request, url] {
        if (hook)
            hook(request.canonicalFilePath);
        ConfinedFile opened = openConfinedFile(request.canonicalFilePath, maxFileSize);
        QByteArray mimeType;
        if (opened.outcome == ConfinedFile::Opened) {
            // Name and contents both decide the type, as for mimeTypeForFile();
            // the contents are peeked from the handle already opened.
            mimeType = QMimeDatabase()
                           .mimeTypeForFileNameAndData(request.absoluteFilePath, opened.file.get())
                           .name()
                           .toUtf8();
            if (mimeType.isEmpty())
                mimeType = QByteArrayLiteral("application/octet-stream");
            opened.file->moveToThread(QCoreApplication::instance()->thread());
        }
        QFile *file = opened.file.release();
        const ConfinedFile::Outcome outcome = opened.outcome;
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [handler, pending, file, outcome, mimeType, url] {
                if (!pending || !handler) {
                    delete file;
                    return;
                }
                if (outcome == ConfinedFile::Opened) {
                    file->setParent(pending);
                    pending->reply(mimeType, file);
                    return;
                }
                QString reason;
                QWebEngineUrlRequestJob::Error error = QWebEngineUrlRequestJob::UrlNotFound;
                switch (outcome) {
                case ConfinedFile::Link:
                    reason = tr("The file was replaced by a link since it was found; links are "
                                "not followed");
                    error = QWebEngineUrlRequestJob::RequestDenied;
                    break;
                case ConfinedFile::NotRegular:
                    reason = tr("Not a regular file");
                    error = QWebEngineUrlRequestJob::RequestDenied;
                    break;
                case ConfinedFile::TooLarge:
                    reason = tr("The file is larger than %1 MiB").arg(maxFileSize >> 20);
                    error = QWebEngineUrlRequestJob::RequestDenied;
                    break;
                case ConfinedFile::Missing:
                case ConfinedFile::Failed:
                case ConfinedFile::Opened:
                    reason = tr("Could not open file for reading");
                    break;
                }
                emit handler->resourceError(url.toDisplayString(), reason);
                pending->fail(error);
            },
            Qt::QueuedConnection);
    });
}
