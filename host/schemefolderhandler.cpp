#include "schemefolderhandler.h"

#include "builtinorigin.h"
#include "pathresolver.h"
#include "schemefolder.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>

namespace {
const QByteArray jsonType = QByteArrayLiteral("application/json");
} // namespace

QWebEngineUrlScheme registerSchemeFolderScheme()
{
    QWebEngineUrlScheme scheme(schemeFolderSchemeName);
    scheme.setSyntax(QWebEngineUrlScheme::Syntax::Host);
    // Secure for the secure "qrc:" page; CORS so that it may read the replies.
    scheme.setFlags(QWebEngineUrlScheme::SecureScheme | QWebEngineUrlScheme::CorsEnabled);
    QWebEngineUrlScheme::registerScheme(scheme);
    return scheme;
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

    if (!fromBuiltInApplication(job->initiator())) {
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

    // Read from the link-free path, at most one byte past the limit, so that
    // what is checked is exactly what is served.
    QFile file(request.canonicalFilePath);
    if (!file.open(QIODevice::ReadOnly)) {
        fail(tr("Could not open file for reading"), QWebEngineUrlRequestJob::UrlNotFound);
        return;
    }
    const QByteArray contents = file.read(SchemeFolder::maxFileSize + 1);
    if (contents.size() > SchemeFolder::maxFileSize) {
        fail(tr("The scheme file is larger than %1 MiB").arg(SchemeFolder::maxFileSize >> 20),
            QWebEngineUrlRequestJob::RequestDenied);
        return;
    }
    auto *buffer = new QBuffer(job);
    buffer->setData(contents);
    buffer->open(QIODevice::ReadOnly);
    job->reply(jsonType, buffer);
}
