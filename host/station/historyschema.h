#pragma once

#include <QSqlDatabase>
#include <QString>

// The layout of the station database, and its migrations.
//
// Samples are kept per point in chunks: a row of `chunks` holds up to
// `chunkSamples` samples of one point (at most `chunkSpan` apart) encoded by
// SampleChunk, at 4 to 6 bytes a sample where a plain (point, t, v, s) row
// with its index costs 30 and more. A rowid table that only grows at its end
// keeps its pages full, and the big rows spill into full overflow pages, so
// the file holds little but the encoded bytes; the index (point, t1) finds
// the chunks of a time range. Samples not yet sealed into a chunk are rows of
// `recent`, one per point and commit holding that commit's samples encoded
// the same way, so that a transaction costs one row per point whatever the
// rate and a crash loses nothing committed; the writer seals a point's rows
// into one chunk once enough samples have gathered. `recorder` holds the time of the last commit,
// so that the next start knows until when the points had a source.
//
// `journal` is the station's append-only log of alarm transitions and operator
// actions (a trigger refuses any UPDATE; only retention deletes), and
// `alarm_states` the last saved state of each alarm, so that states survive a
// restart.
class HistorySchema
{
public:
    static constexpr int version = 2;
    static constexpr int chunkSamples = 1024;
    static constexpr qint64 chunkSpan = 60 * 60 * 1000;

    // Brings the file's schema up to `version` in one transaction per step;
    // false with `error` set when it fails or the file is newer than this program.
    static bool migrate(QSqlDatabase &db, QString &error);
};
