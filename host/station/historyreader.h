#pragma once

#include "historysample.h"

#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <optional>

// A reading connection to the station database. WAL lets it read while the
// writer commits, so queries wait neither for the writer nor on the GUI thread.
// Used on one thread only: the database's reader thread, or the thread of a
// command-line export.
class HistoryReader : public QObject
{
    Q_OBJECT

public:
    explicit HistoryReader(QObject *parent = nullptr);
    ~HistoryReader() override;

    // Opens `path` for reading; false with `error` set when it is not a
    // station database. `readOnly` never creates or changes the file.
    bool open(const QString &path, QString &error, bool readOnly = false);
    void close();
    bool isOpen() const;

    // A point's stored samples in [from, to], in time order; `before`, when
    // given, receives the last sample before `from`. False on a read error.
    bool samples(const QString &point, qint64 from, qint64 to, QList<HistorySample> &out,
        std::optional<HistorySample> *before = nullptr);

    // The answer to getHistory: {"points": {id: [sample, …]}, "downsampled": {id: bool}},
    // each list led by the last sample before `from`, and reduced by M4 to
    // floor(maxPoints / 4) columns when [from, to] holds more than `maxPoints`
    // samples (`maxPoints` below 1: never reduced).
    QJsonObject history(const QStringList &ids, qint64 from, qint64 to, int maxPoints);

    // Asynchronous form for the reader thread: answers with `answered`.
    void request(quint64 id, const QStringList &ids, qint64 from, qint64 to, int maxPoints);

signals:
    void answered(quint64 id, const QJsonObject &answer);

private:
    QString connectionName;
};
