#include "downsampler.h"

#include <algorithm>

QList<HistorySample> Downsampler::m4(
    const QList<HistorySample> &samples, qint64 from, qint64 to, int columns)
{
    QList<HistorySample> kept;
    if (to < from || columns < 1)
        return kept;
    const qint64 span = to - from + 1;
    const double perMillisecond = double(columns) / double(span);
    // Rounded operations are monotonic, so columns never interleave.
    auto columnOf = [&](qint64 t) {
        return std::min<qint64>(columns - 1, qint64(double(t - from) * perMillisecond));
    };

    qsizetype i = std::lower_bound(samples.cbegin(), samples.cend(), from,
                      [](const HistorySample &s, qint64 t) { return s.t < t; })
        - samples.cbegin();
    const qsizetype end = samples.size();
    QList<qsizetype> picked;
    while (i < end && samples.at(i).t <= to) {
        const HistorySample &first = samples.at(i);
        if (first.isGap()) {
            kept.append(first);
            ++i;
            continue;
        }
        // One stretch: same column, same status, no gap.
        const qint64 column = columnOf(first.t);
        qsizetype last = i, min = i, max = i;
        qsizetype j = i + 1;
        for (; j < end; ++j) {
            const HistorySample &s = samples.at(j);
            if (s.t > to || s.isGap() || s.status != first.status || columnOf(s.t) != column)
                break;
            if (s.v < samples.at(min).v)
                min = j;
            if (s.v > samples.at(max).v)
                max = j;
            last = j;
        }
        picked = { i, min, max, last };
        std::sort(picked.begin(), picked.end());
        picked.erase(std::unique(picked.begin(), picked.end()), picked.end());
        for (qsizetype index : picked)
            kept.append(samples.at(index));
        i = j;
    }
    return kept;
}
