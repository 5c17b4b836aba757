#pragma once

#include <QString>
#include <QVariant>

// The quality of a value, as the page names it: "good", "uncertain", "bad".
enum class PointStatus : quint8 { Good, Uncertain, Bad };

inline QString statusName(PointStatus status)
{
    switch (status) {
    case PointStatus::Good:
        return QStringLiteral("good");
    case PointStatus::Uncertain:
        return QStringLiteral("uncertain");
    case PointStatus::Bad:
        return QStringLiteral("bad");
    }
    return QStringLiteral("bad");
}

// False for a word that is not a status.
inline bool statusFromName(const QString &name, PointStatus &status)
{
    for (PointStatus candidate : { PointStatus::Good, PointStatus::Uncertain, PointStatus::Bad }) {
        if (name == statusName(candidate)) {
            status = candidate;
            return true;
        }
    }
    return false;
}

// One value of one point as a source delivers it. `value` holds a double or a
// bool; a null value is a gap: the point has no source from `t` on.
struct PointSample
{
    QString id;
    qint64 t = 0; // milliseconds since the epoch
    QVariant value;
    PointStatus status = PointStatus::Good;
};
