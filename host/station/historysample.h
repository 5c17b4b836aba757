#pragma once

#include "pointsample.h"

#include <QJsonObject>
#include <QJsonValue>

#include <cmath>

// A sample as the history keeps it: a number, a discrete value (v 0 or 1) or
// a gap, with its status.
struct HistorySample
{
    enum class Kind : quint8 { Number, Discrete, Gap };

    qint64 t = 0;
    double v = 0;
    Kind kind = Kind::Gap;
    PointStatus status = PointStatus::Bad;

    bool operator==(const HistorySample &other) const
    {
        return t == other.t && kind == other.kind && status == other.status && v == other.v;
    }

    bool isGap() const { return kind == Kind::Gap; }

    // Same value and status, whatever the time.
    bool sameReading(const HistorySample &other) const
    {
        return kind == other.kind && status == other.status && (isGap() || v == other.v);
    }

    static HistorySample gap(qint64 t) { return { t, 0, Kind::Gap, PointStatus::Bad }; }

    // A value that is neither a number nor a bool, or not finite, is kept as
    // a gap with its status: there is nothing to draw.
    static HistorySample from(const PointSample &sample)
    {
        HistorySample stored { sample.t, 0, Kind::Gap, sample.status };
        if (sample.value.typeId() == QMetaType::Bool) {
            stored.kind = Kind::Discrete;
            stored.v = sample.value.toBool() ? 1 : 0;
        } else if (sample.value.isValid() && !sample.value.isNull()) {
            bool ok = false;
            const double v = sample.value.toDouble(&ok);
            if (ok && std::isfinite(v)) {
                stored.kind = Kind::Number;
                stored.v = v;
            }
        }
        return stored;
    }

    QJsonValue jsonValue() const
    {
        switch (kind) {
        case Kind::Number:
            return v;
        case Kind::Discrete:
            return v != 0;
        case Kind::Gap:
            return QJsonValue::Null;
        }
        return QJsonValue::Null;
    }

    // {"t": ms, "v": number | true | false | null, "s": "good" | "bad" | "uncertain"}
    QJsonObject toJson() const
    {
        return { { QStringLiteral("t"), QJsonValue(t) }, { QStringLiteral("v"), jsonValue() },
            { QStringLiteral("s"), statusName(status) } };
    }
};
