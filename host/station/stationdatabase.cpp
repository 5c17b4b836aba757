#include "stationdatabase.h"

#include "historyreader.h"
#include "stationlogging.h"

#include <QDateTime>
#include <QDir>
#include <QStandardPaths>
#include <QThread>

StationDatabase::StationDatabase(QObject *parent, Clock clock)
    : QObject(parent)
    , writerThread(new QThread(this))
    , readerThread(new QThread(this))
{
    qRegisterMetaType<JournalRecord>();
    qRegisterMetaType<AlarmStateRow>();
    qRegisterMetaType<QList<AlarmStateRow>>();
    if (!clock)
        clock = [] { return QDateTime::currentMSecsSinceEpoch(); };
    // Neither worker has a parent: each lives on its thread and is deleted there.
    writer = new HistoryWriter(std::move(clock));
    writer->moveToThread(writerThread);
    connect(writerThread, &QThread::finished, writer, &QObject::deleteLater);
    reader = new HistoryReader;
    reader->moveToThread(readerThread);
    connect(readerThread, &QThread::finished, reader, &QObject::deleteLater);
    writerThread->setObjectName(QStringLiteral("history writer"));
    readerThread->setObjectName(QStringLiteral("history reader"));

    connect(writer, &HistoryWriter::opened, reader, [reader = reader](const QString &path) {
        QString error;
        QList<AlarmStateRow> states;
        if (!reader->open(path, error))
            qCWarning(lcStationDatabase) << "reader could not open" << path << ":" << error;
        else if (!reader->alarmStates(states))
            qCWarning(lcStationDatabase) << "the alarm states of" << path << "could not be read";
        emit reader->alarmStatesRead(states);
    });
    connect(writer, &HistoryWriter::opened, this, [this] { setState(Recording::On); });
    connect(writer, &HistoryWriter::setAside, this,
        [this](const QString &path, const QString &aside, const QString &reason) {
            emit problem(
                tr("The history file could not be read and was renamed to %2; a new "
                   "one is started\n%1\n%3")
                    .arg(QDir::toNativeSeparators(path), QDir::toNativeSeparators(aside), reason));
        });
    connect(writer, &HistoryWriter::openFailed, this,
        [this](const QString &path, const QString &reason) {
            emit problem(tr("The history is not recorded: the file could not be opened\n%1\n%2")
                             .arg(QDir::toNativeSeparators(path), reason));
            setState(Recording::Unavailable);
            emit alarmStatesLoaded({});
        });
    connect(writer, &HistoryWriter::diskFullChanged, this, [this](bool full) {
        emit problem(full ? tr("The disk is full: recording of the history is paused\n%1")
                                .arg(QDir::toNativeSeparators(filePath))
                          : tr("Recording of the history resumed\n%1")
                                .arg(QDir::toNativeSeparators(filePath)));
        setState(full ? Recording::PausedDiskFull : Recording::On);
    });
    connect(writer, &HistoryWriter::writeFailed, this, [this](const QString &reason) {
        emit problem(tr("The history could not be written\n%1\n%2")
                         .arg(QDir::toNativeSeparators(filePath), reason));
    });
    connect(reader, &HistoryReader::answered, this, &StationDatabase::historyAnswered);
    connect(reader, &HistoryReader::alarmStatesRead, this, &StationDatabase::alarmStatesLoaded);
    connect(reader, &HistoryReader::journalAnswered, this, &StationDatabase::journalAnswered);
    connect(reader, &HistoryReader::journalCsvAnswered, this, &StationDatabase::journalCsvAnswered);

    writerThread->start();
    readerThread->start();
}

StationDatabase::~StationDatabase()
{
    close();
    writerThread->quit();
    readerThread->quit();
    writerThread->wait();
    readerThread->wait();
}

QString StationDatabase::defaultPath()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation))
        .filePath(QStringLiteral("history.sqlite"));
}

void StationDatabase::open(const QString &path)
{
    filePath = path;
    QMetaObject::invokeMethod(writer, [writer = writer, path] { writer->open(path); });
}

void StationDatabase::close()
{
    if (!writerThread->isRunning())
        return;
    QMetaObject::invokeMethod(
        writer, [writer = writer] { writer->close(); }, Qt::BlockingQueuedConnection);
    QMetaObject::invokeMethod(
        reader, [reader = reader] { reader->close(); }, Qt::BlockingQueuedConnection);
    setState(Recording::Off);
}

void StationDatabase::setRetentionDays(int days)
{
    QMetaObject::invokeMethod(writer, [writer = writer, days] { writer->setRetentionDays(days); });
}

void StationDatabase::setSizeLimit(qint64 bytes)
{
    QMetaObject::invokeMethod(writer, [writer = writer, bytes] { writer->setSizeLimit(bytes); });
}

void StationDatabase::append(const QList<HistoryWriter::Entry> &entries)
{
    QMetaObject::invokeMethod(writer, [writer = writer, entries] { writer->append(entries); });
}

void StationDatabase::appendJournal(const QList<JournalRecord> &records)
{
    QMetaObject::invokeMethod(
        writer, [writer = writer, records] { writer->appendJournal(records); });
}

void StationDatabase::saveAlarmStates(const QList<AlarmStateRow> &states)
{
    QMetaObject::invokeMethod(
        writer, [writer = writer, states] { writer->saveAlarmStates(states); });
}

void StationDatabase::removeAlarmStates(const QStringList &alarms)
{
    QMetaObject::invokeMethod(
        writer, [writer = writer, alarms] { writer->removeAlarmStates(alarms); });
}

void StationDatabase::setJournalDays(int days)
{
    QMetaObject::invokeMethod(writer, [writer = writer, days] { writer->setJournalDays(days); });
}

void StationDatabase::flush()
{
    QMetaObject::invokeMethod(
        writer, [writer = writer] { writer->flush(); }, Qt::BlockingQueuedConnection);
}

void StationDatabase::sync()
{
    QMetaObject::invokeMethod(
        writer, [] {}, Qt::BlockingQueuedConnection);
}

quint64 StationDatabase::transactionCount() const
{
    return writer->transactions();
}

void StationDatabase::requestHistory(
    quint64 request, const QStringList &ids, qint64 from, qint64 to, int maxPoints)
{
    QMetaObject::invokeMethod(reader, [reader = reader, request, ids, from, to, maxPoints] {
        reader->request(request, ids, from, to, maxPoints);
    });
}

void StationDatabase::requestJournal(quint64 request, const JournalFilter &filter, int limit)
{
    QMetaObject::invokeMethod(reader, [reader = reader, request, filter, limit] {
        reader->requestJournal(request, filter, limit);
    });
}

void StationDatabase::requestJournalCsv(quint64 request, const JournalFilter &filter)
{
    QMetaObject::invokeMethod(
        reader, [reader = reader, request, filter] { reader->requestJournalCsv(request, filter); });
}

void StationDatabase::setState(Recording recording)
{
    if (recording == state)
        return;
    state = recording;
    emit recordingChanged(state);
}
