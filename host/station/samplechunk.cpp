#include "samplechunk.h"

#include <cmath>
#include <cstring>

namespace {

constexpr int maxDecimals = 7;
constexpr double powersOfTen[maxDecimals + 1] = { 1, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7 };
// Mantissas beyond this are not exact in a double.
constexpr double maxMantissa = 9007199254740992.0;

enum Tag : quint8 { Gap = 0, False = 1, True = 2, Decimal = 3, Double = 4 };

void putVarint(QByteArray &out, quint64 value)
{
    while (value >= 0x80) {
        out.append(char(quint8(value) | 0x80));
        value >>= 7;
    }
    out.append(char(value));
}

bool getVarint(const char *&at, const char *end, quint64 &value)
{
    value = 0;
    for (int shift = 0; shift < 64 && at < end; shift += 7) {
        const quint8 byte = quint8(*at++);
        value |= quint64(byte & 0x7f) << shift;
        if (!(byte & 0x80))
            return true;
    }
    return false;
}

quint64 zigzag(qint64 value)
{
    return (quint64(value) << 1) ^ quint64(value >> 63);
}
qint64 unzigzag(quint64 value)
{
    return qint64(value >> 1) ^ -qint64(value & 1);
}

// The fewest decimal places that give `v` back exactly, or -1.
int decimalsOf(double v, qint64 &mantissa)
{
    for (int places = 0; places <= maxDecimals; ++places) {
        const double scaled = std::round(v * powersOfTen[places]);
        if (std::fabs(scaled) >= maxMantissa)
            return -1;
        if (scaled / powersOfTen[places] == v) {
            mantissa = qint64(scaled);
            return places;
        }
    }
    return -1;
}

} // namespace

QByteArray SampleChunk::encode(const QList<HistorySample> &samples, qint64 t0)
{
    QByteArray out;
    out.reserve(samples.size() * 6);
    qint64 previousT = t0;
    int previousPlaces = -1;
    qint64 previousMantissa = 0;
    for (const HistorySample &sample : samples) {
        putVarint(out, quint64(sample.t - previousT));
        previousT = sample.t;
        const quint8 status = quint8(sample.status);
        switch (sample.kind) {
        case HistorySample::Kind::Gap:
            out.append(char(status | Gap << 2));
            previousPlaces = -1;
            break;
        case HistorySample::Kind::Discrete:
            out.append(char(status | (sample.v != 0 ? True : False) << 2));
            previousPlaces = -1;
            break;
        case HistorySample::Kind::Number: {
            qint64 mantissa = 0;
            const int places = decimalsOf(sample.v, mantissa);
            if (places < 0) {
                out.append(char(status | Double << 2));
                char bytes[sizeof(double)];
                std::memcpy(bytes, &sample.v, sizeof bytes);
                out.append(bytes, sizeof bytes);
                previousPlaces = -1;
                break;
            }
            out.append(char(status | Decimal << 2 | places << 5));
            const qint64 base = places == previousPlaces ? previousMantissa : 0;
            putVarint(out, zigzag(mantissa - base));
            previousPlaces = places;
            previousMantissa = mantissa;
            break;
        }
        }
    }
    return out;
}

bool SampleChunk::decode(const QByteArray &data, qint64 t0, QList<HistorySample> &out)
{
    const char *at = data.constData();
    const char *const end = at + data.size();
    qint64 t = t0;
    int previousPlaces = -1;
    qint64 previousMantissa = 0;
    while (at < end) {
        quint64 dt = 0;
        if (!getVarint(at, end, dt) || at >= end)
            return false;
        t += qint64(dt);
        const quint8 tag = quint8(*at++);
        HistorySample sample;
        sample.t = t;
        sample.status = PointStatus(tag & 3);
        if ((tag & 3) > quint8(PointStatus::Bad))
            return false;
        switch ((tag >> 2) & 7) {
        case Gap:
            sample.kind = HistorySample::Kind::Gap;
            previousPlaces = -1;
            break;
        case False:
        case True:
            sample.kind = HistorySample::Kind::Discrete;
            sample.v = ((tag >> 2) & 7) == True ? 1 : 0;
            previousPlaces = -1;
            break;
        case Decimal: {
            const int places = tag >> 5;
            quint64 change = 0;
            if (places > maxDecimals || !getVarint(at, end, change))
                return false;
            const qint64 mantissa
                = (places == previousPlaces ? previousMantissa : 0) + unzigzag(change);
            sample.kind = HistorySample::Kind::Number;
            sample.v = double(mantissa) / powersOfTen[places];
            previousPlaces = places;
            previousMantissa = mantissa;
            break;
        }
        case Double:
            if (end - at < qsizetype(sizeof(double)))
                return false;
            sample.kind = HistorySample::Kind::Number;
            std::memcpy(&sample.v, at, sizeof(double));
            at += sizeof(double);
            previousPlaces = -1;
            break;
        default:
            return false;
        }
        out.append(sample);
    }
    return true;
}
