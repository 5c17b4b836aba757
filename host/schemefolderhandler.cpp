#include "schemefolderhandler.h"

#include "builtinapplication.h"
#include "confinedfile.h"
#include "pathresolver.h"
#include "schemefolder.h"
#include "schemeregistration.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QThreadPool>
#include <QUrl>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>

namespace {
const QByteArray jsonType = QByteArrayLiteral("application/json");
} // namespace

QWebEngineUrlScheme registerSchemeFolderScheme()
{
    return registerStationFolderScheme(schemeFolderSchemeName);
}

SchemeFolderHandler::SchemeFolderHandler(SchemeFolder *folder, QObject *parent)
    : QWebEngineUrlSchemeHandler(parent)
    , folder(folder)
{ }

void SchemeFolderHandler::requestStarted(QWebEngineUrlRequestJob *job)
{
    const QUrl url = job->requestUrl();
    const auto fail
        = [this, job, &url](const QString &reason, QWebEngineUrlRequestJob::Error error) {
              emit resourceError(url.toDisplayString(), reason);
              job->fail(error);
          };

    if (!isBuiltInApplicationOrigin(job->initiator())) {
        fail(tr("Only the built-in application may read the scheme folder\nRequested by: %1")
                 .arg(job->initiator().isEmpty() ? tr("a navigation")
                                                 : job->initiator().toDisplayString()),
            QWebEngineUrlRequestJob::RequestDenied);
        return;
    }
    if (job->requestMethod() != QByteArrayLiteral("GET")) {
        fail(tr("The scheme folder is read-only"), QWebEngineUrlRequestJob::RequestDenied);
        return;
    }
    const QString root = folder->path();
    if (root.isEmpty()) {
        fail(tr("No scheme folder is set"), QWebEngineUrlRequestJob::UrlNotFound);
        return;
    }

    const QString path = url.path(QUrl::FullyDecoded);
    if (path == QLatin1String("/") || path.isEmpty()) {
        auto *buffer = new QBuffer(job);
        buffer->setData(folder->listing());
        buffer->open(QIODevice::ReadOnly);
        job->reply(jsonType, buffer);
        return;
    }

    // The resolver of external applications confines the path: "..", encoded
    // separators and links that lead out are all refused alike.
    const ResolvedRequest request
        = resolveRequestPath(root, QLatin1String(corvanePathPrefix) + path.mid(1));
    switch (request.outcome) {
    case ResolvedRequest::Unsupported:
    case ResolvedRequest::Denied:
        fail(tr("Access to a file outside the scheme folder is denied"),
            QWebEngineUrlRequestJob::RequestDenied);
        return;
    case ResolvedRequest::NotFound:
        fail(tr("Scheme file not found\nFolder: %1\nFile: %2")
                 .arg(QDir::toNativeSeparators(root), request.relativePath),
            QWebEngineUrlRequestJob::UrlNotFound);
        return;
    case ResolvedRequest::File:
        break;
    }
    // Only the scheme files of the folder itself, as the listing names them:
    // neither sub-folders nor hidden files.
    if (request.relativePath.contains(QLatin1Char('/'))
        || !request.relativePath.endsWith(QLatin1String(".json"), Qt::CaseInsensitive)
        || QFileInfo(request.absoluteFilePath).isHidden()) {
        fail(tr("Not a scheme file of the scheme folder: %1").arg(request.relativePath),
            QWebEngineUrlRequestJob::RequestDenied);
        return;
    }

    // Opened and read on a pool thread, from the handle that was checked:
    // the GUI thread never waits on the disk.
    QPointer<SchemeFolderHandler> handler(this);
    QPointer<QWebEngineUrlRequestJob> pending(job);
    const auto hook = beforeOpen;
    const QString filePath = request.canonicalFilePath;
    QThreadPool::globalInstance()->start([handler, pending, hook, filePath, url] {
        if (hook)
            hook(filePath);
        ConfinedFile opened = openConfinedFile(filePath, SchemeFolder::maxFileSize);
        QByteArray contents;
        ConfinedFile::Outcome outcome = opened.outcome;
        if (outcome == ConfinedFile::Opened) {
            // At most one byte past the limit: a file that grew is still refused.
            contents = opened.file->read(SchemeFolder::maxFileSize + 1);
            if (contents.size() > SchemeFolder::maxFileSize)
                outcome = ConfinedFile::TooLarge;
        }
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [handler, pending, outcome, contents, url] {
                if (!pending || !handler)
                    return;
                if (outcome == ConfinedFile::Opened) {
                    auto *buffer = new QBuffer(pending);
                    buffer->setData(contents);
                    buffer->open(QIODevice::ReadOnly);
                    pending->reply(jsonType, buffer);
                    return;
                }
                QString reason;
                QWebEngineUrlRequestJob::Error error = QWebEngineUrlRequestJob::RequestDenied;
                switch (outcome) {
                case ConfinedFile::Link:
                    reason = tr("The scheme file was replaced by a link since it was found; links "
                                "are not followed");
                    break;
                case ConfinedFile::NotRegular:
                    reason = tr("Not a regular file");
                    break;
                case ConfinedFile::TooLarge:
                    reason = tr("The scheme file is larger than %1 MiB")
                                 .arg(SchemeFolder::maxFileSize >> 20);
                    break;
                case ConfinedFile::Missing:
                case ConfinedFile::Failed:
                case ConfinedFile::Opened:
                    reason = tr("Could not open file for reading");
                    error = QWebEngineUrlRequestJob::UrlNotFound;
                    break;
                }
                emit handler->resourceError(url.toDisplayString(), reason);
                pending->fail(error);
            },
            Qt::QueuedConnection);
    });
}

void SchemeFolderHandler::setBeforeOpenHook(std::function<void(const QString &)> hook)
{
    beforeOpen = std::move(hook);
}
