#pragma once

#include "historysample.h"

#include <QList>

// M4 downsampling (Jugel et al., PVLDB 2014): [from, to] is split into
// `columns` equal columns, and each column keeps the first, minimum, maximum
// and last sample of the raw data, so a line drawn through what is kept
// covers the same pixels as the raw line. A column is reduced per stretch of
// one status between gaps, and gaps are kept as they are, so that the line
// still breaks where the raw line breaks and a stretch of another status
// still starts and ends where it did.
class Downsampler
{
public:
    // `samples` in time order; those outside [from, to] are dropped.
    static QList<HistorySample> m4(
        const QList<HistorySample> &samples, qint64 from, qint64 to, int columns);
};
