#pragma once

#include <QString>

class QUrl;

// Where a "corvane" request leads. Kept free of the web engine so that the
// confinement rules can be tested by table and fuzzed.
struct ResolvedRequest
{
    enum Outcome {
        Unsupported, // no root yet, or the path lacks the "/mvp/" prefix
        Denied, // the path, or what its links lead to, leaves the root
        NotFound, // nothing there, or not a regular file
        File // a regular file inside the root
    };

    Outcome outcome = Unsupported;
    // The cleaned path relative to the root (set from Denied on).
    QString relativePath;
    // The root joined with the relative path, as the user sees it.
    QString absoluteFilePath;
    // The file to open: the fully resolved path, with no links left.
    QString canonicalFilePath;
};

// The fixed prefix that every served path carries.
inline constexpr char corvanePathPrefix[] = "/mvp/";

// Maps a request address onto a file under rootDirectory (an absolute path,
// or empty when no application was opened). Never reports File for anything
// whose resolved location lies outside the canonical root directory.
ResolvedRequest resolveRequest(const QString &rootDirectory, const QUrl &url);

// The same, for an already decoded request path.
ResolvedRequest resolveRequestPath(const QString &rootDirectory, const QString &decodedPath);
