#pragma once

#include "historysample.h"

#include <QByteArray>
#include <QList>

// The stored form of a run of one point's samples, in time order. Each sample
// takes a varint of the time since the previous one, a tag byte (status,
// kind and, for decimals, the number of decimal places) and for a number
// either a zigzag varint of the change of its decimal mantissa or the eight
// bytes of the double: a value read at 1 Hz with a few decimals costs 4 to 6
// bytes, an arbitrary double 11.
class SampleChunk
{
public:
    // `samples` must be in time order, none before `t0`.
    static QByteArray encode(const QList<HistorySample> &samples, qint64 t0);
    // Appends the decoded samples to `out`; false for malformed data (what
    // was decoded before the fault is kept).
    static bool decode(const QByteArray &data, qint64 t0, QList<HistorySample> &out);
};
