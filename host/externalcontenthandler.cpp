#include "externalcontenthandler.h"

#include "pathresolver.h"

#include <QDir>
#include <QFile>
#include <QMimeDatabase>
#include <QUrl>
#include <QWebEngineUrlRequestJob>

ExternalContentHandler::ExternalContentHandler(QObject *parent)
    : QWebEngineUrlSchemeHandler(parent)
{ }

void ExternalContentHandler::setRootDirectory(const QString &path)
{
    rootDirectory = QDir(path).absolutePath();
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

    // The link-free path is opened, so what was checked is what is read.
    auto *file = new QFile(request.canonicalFilePath, job);
    if (!file->open(QIODevice::ReadOnly)) {
        delete file;
        fail(tr("Could not open file for reading"), QWebEngineUrlRequestJob::UrlNotFound);
        return;
    }

    // Name and contents both decide the type, as for mimeTypeForFile(); the
    // contents are peeked from the file already opened, never read again
    // through a path that could have been re-pointed meanwhile.
    QByteArray mimeType = QMimeDatabase()
                              .mimeTypeForFileNameAndData(request.absoluteFilePath, file)
                              .name()
                              .toUtf8();
    if (mimeType.isEmpty())
        mimeType = QByteArrayLiteral("application/octet-stream");
    job->reply(mimeType, file);
}
