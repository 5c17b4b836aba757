#include "symbolfolderhandler.h"

#include "builtinapplication.h"
#include "schemeregistration.h"
#include "symbolfolder.h"

#include <QBuffer>
#include <QUrl>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>

QWebEngineUrlScheme registerSymbolFolderScheme()
{
    return registerStationFolderScheme(symbolFolderSchemeName);
}

SymbolFolderHandler::SymbolFolderHandler(SymbolFolder *folder, QObject *parent)
    : QWebEngineUrlSchemeHandler(parent)
    , folder(folder)
{ }

void SymbolFolderHandler::requestStarted(QWebEngineUrlRequestJob *job)
{
    const QUrl url = job->requestUrl();
    const auto fail
        = [this, job, &url](const QString &reason, QWebEngineUrlRequestJob::Error error) {
              emit resourceError(url.toDisplayString(), reason);
              job->fail(error);
          };

    if (!isBuiltInApplicationOrigin(job->initiator())) {
        fail(tr("Only the built-in application may read the symbol folder\nRequested by: %1")
                 .arg(job->initiator().isEmpty() ? tr("a navigation")
                                                 : job->initiator().toDisplayString()),
            QWebEngineUrlRequestJob::RequestDenied);
        return;
    }
    if (job->requestMethod() != QByteArrayLiteral("GET")) {
        fail(tr("The symbol folder is read-only"), QWebEngineUrlRequestJob::RequestDenied);
        return;
    }
    const QString path = url.path(QUrl::FullyDecoded);
    if (path != QLatin1String("/") && !path.isEmpty()) {
        fail(tr("Not an address of the symbol folder: %1").arg(path),
            QWebEngineUrlRequestJob::UrlNotFound);
        return;
    }
    auto *buffer = new QBuffer(job);
    buffer->setData(folder->listing());
    buffer->open(QIODevice::ReadOnly);
    job->reply(QByteArrayLiteral("application/json"), buffer);
}
