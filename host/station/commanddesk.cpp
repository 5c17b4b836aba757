#include "commanddesk.h"

#include "pointtable.h"

#include <QDateTime>
#include <QTimer>

#include <algorithm>

#include <cmath>

namespace {

constexpr int followCheckMs = 100;

QString number(double value)
{
    return QString::number(value, 'g', 12);
}

} // namespace

CommandDesk::CommandDesk(PointTable *points, const QString &station, Clock clock, QObject *parent)
    : QObject(parent)
    , points(points)
    , station(station)
    , clock(std::move(clock))
    , timer(new QTimer(this))
{
    timer->setInterval(followCheckMs);
    connect(timer, &QTimer::timeout, this, &CommandDesk::follow);
}

CommandDesk::~CommandDesk() = default;

qint64 CommandDesk::now() const
{
    return clock ? clock() : QDateTime::currentMSecsSinceEpoch();
}

void CommandDesk::setSender(Send sender)
{
    send = std::move(sender);
}

QString CommandDesk::check(const PointInfo &info, const QJsonValue &value)
{
    if (!info.writable)
        return QStringLiteral("Точка «%1» не принимает команд").arg(info.id);
    if (info.kind == QLatin1String("discrete")) {
        if (!value.isBool())
            return QStringLiteral("Точке «%1» нужна команда «Включить» или «Отключить»")
                .arg(info.id);
        return {};
    }
    if (!value.isDouble() || !std::isfinite(value.toDouble()))
        return QStringLiteral("Введите число");
    const double given = value.toDouble();
    if ((info.min && given < *info.min) || (info.max && given > *info.max)) {
        const QString low = info.min ? number(*info.min) : QStringLiteral("−∞");
        const QString high = info.max ? number(*info.max) : QStringLiteral("∞");
        return QStringLiteral("Значение вне диапазона %1–%2").arg(low, high);
    }
    return {};
}

bool CommandDesk::follows(const PointInfo &info, const QVariant &value, const QJsonValue &target)
{
    if (!value.isValid() || value.isNull())
        return false;
    if (target.isBool())
        return value.typeId() == QMetaType::Bool && value.toBool() == target.toBool();
    if (value.typeId() == QMetaType::Bool || !target.isDouble())
        return false;
    bool isNumber = false;
    const double shown = value.toDouble(&isNumber);
    if (!isNumber)
        return false;
    const double wanted = target.toDouble();
    // Within 1 % of the range, or as good as exact without one.
    const double tolerance = info.min && info.max && *info.max > *info.min
        ? (*info.max - *info.min) * 0.01
        : std::max(1e-9, std::abs(wanted) * 1e-9);
    return std::abs(shown - wanted) <= tolerance;
}

QString CommandDesk::text(const QVariant &value)
{
    if (!value.isValid() || value.isNull())
        return QStringLiteral("нет значения");
    if (value.typeId() == QMetaType::Bool)
        return value.toBool() ? QStringLiteral("вкл.") : QStringLiteral("откл.");
    return number(value.toDouble());
}

void CommandDesk::command(
    const QString &id, const QJsonValue &value, const QString &user, Answer answer)
{
    const PointTable::Entry entry = points->entry(id);
    const QList<PointInfo> catalogue = points->catalogue();
    const auto info = std::find_if(catalogue.cbegin(), catalogue.cend(),
        [&id](const PointInfo &point) { return point.id == id; });
    const bool known = info != catalogue.cend();
    QString problem = known ? check(*info, value) : QStringLiteral("Точка «%1» не найдена").arg(id);
    if (problem.isEmpty() && !send)
        problem = QStringLiteral("Команда не отправлена: нет связи с объектом");
    const QString before = text(entry.value);
    const QString change = QStringLiteral("%1 → %2").arg(before, text(value.toVariant()));
    if (!problem.isEmpty()) {
        if (known)
            record(id, user, value, QStringLiteral("%1; не отправлена: %2").arg(change, problem));
        answer(QJsonObject { { QStringLiteral("error"), problem } });
        return;
    }
    QString why;
    if (!send(id, value, { user, station }, why)) {
        const QString shown = why == QLatin1String("no connection")
            ? QStringLiteral("Команда не отправлена: нет связи с брокером")
            : QStringLiteral("Команда не отправлена: %1").arg(why);
        record(id, user, value, QStringLiteral("%1; %2").arg(change, shown));
        answer(QJsonObject { { QStringLiteral("error"), shown } });
        return;
    }
    record(id, user, value, QStringLiteral("%1; отправлена").arg(change));
    pending.append({ id, *info, value, user, before, now() + followMs, std::move(answer) });
    timer->start();
    follow();
}

void CommandDesk::follow()
{
    const qint64 at = now();
    for (qsizetype i = 0; i < pending.size();) {
        const Pending &command = pending.at(i);
        const PointTable::Entry entry = points->entry(command.id);
        const bool done = entry.status == PointStatus::Good
            && follows(command.info, entry.value, command.target);
        if (!done && at < command.until) {
            ++i;
            continue;
        }
        const Pending finished = pending.takeAt(i);
        const QString change
            = QStringLiteral("%1 → %2").arg(finished.before, text(finished.target.toVariant()));
        record(finished.id, finished.user, finished.target,
            done ? QStringLiteral("%1; выполнена").arg(change)
                 : QStringLiteral("%1; нет подтверждения от объекта").arg(change));
        finished.answer(QJsonObject { { QStringLiteral("outcome"),
            done ? QStringLiteral("done") : QStringLiteral("unconfirmed") } });
    }
    if (pending.isEmpty())
        timer->stop();
}

void CommandDesk::record(
    const QString &id, const QString &user, const QJsonValue &value, const QString &text)
{
    JournalRecord entry;
    entry.time = now();
    entry.event = QStringLiteral("command");
    entry.point = id;
    entry.value = CommandDesk::text(value.toVariant());
    entry.user = user;
    entry.station = station;
    entry.text = text;
    emit journal({ entry });
}
