#pragma once

#include "journalrecord.h"
#include "plantlayout.h"
#include "pointinfo.h"

#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QObject>
#include <QVariant>

#include <functional>

class PointTable;
class QTimer;

// Commands to the plant's points: checked against the point's catalogue
// entry, sent to the source, followed until the value shows them or
// `followMs` pass, and written down in the journal.
class CommandDesk : public QObject
{
    Q_OBJECT

public:
    static constexpr qint64 followMs = 10'000;
    // Sends a command now; false and why not (in English) when it cannot.
    using Send = std::function<bool(
        const QString &id, const QJsonValue &value, const CommandOrigin &origin, QString &problem)>;
    // { outcome: "done" | "unconfirmed" } or { error: reason in Russian }.
    using Answer = std::function<void(const QJsonObject &answer)>;
    using Clock = std::function<qint64()>;

    CommandDesk(
        PointTable *points, const QString &station, Clock clock = {}, QObject *parent = nullptr);
    ~CommandDesk() override;

    void setSender(Send send);
    // Checks, sends and follows; `answer` is called once, possibly later.
    void command(const QString &id, const QJsonValue &value, const QString &user, Answer answer);

    // Why a point does not take `value`, in Russian; empty when it does.
    static QString check(const PointInfo &info, const QJsonValue &value);
    // Whether `value` shows the command `target` carried out.
    static bool follows(const PointInfo &info, const QVariant &value, const QJsonValue &target);
    // A value as the journal writes it.
    static QString text(const QVariant &value);

signals:
    void journal(const QList<JournalRecord> &records);

private:
    struct Pending
    {
        QString id;
        PointInfo info;
        QJsonValue target;
        QString user;
        QString before;
        qint64 until = 0;
        Answer answer;
    };

    void follow();
    void record(
        const QString &id, const QString &user, const QJsonValue &value, const QString &text);
    qint64 now() const;

    PointTable *points;
    QString station;
    Clock clock;
    Send send;
    QList<Pending> pending;
    QTimer *timer;
};
