#pragma once

#include "plantlayout.h"

#include <QHash>
#include <QSet>

// The plain topic layout under a prefix:
//   PREFIX/<point id>      the point's value, retained
//   PREFIX/$catalogue      the catalogue, a JSON list of point records, retained
//   PREFIX/<point id>/set  commands to a point (QoS 1, not retained)
// Publishers are not trusted: every payload is checked, one that cannot be
// read turns its point "bad", and each problem is reported once when it
// begins, not once per message.
class PlainLayout : public PlantLayout
{
public:
    // Larger point payloads are dropped unread.
    static constexpr qsizetype maxValuePayload = 64 * 1024;
    // A catalogue lists every point of a plant, so it may be larger.
    static constexpr qsizetype maxCataloguePayload = 4 * 1024 * 1024;
    // More distinct points than this are not taken in: a flood of topics
    // must not exhaust memory.
    static constexpr int maxPoints = 100000;

    // What a point's payload says.
    struct ValueReading
    {
        enum Kind { Value, Empty, Unreadable } kind = Unreadable;
        QVariant value; // a double or a bool
        PointStatus status = PointStatus::Good;
        std::optional<qint64> timestamp;
        QString reason;
    };
    // A number, a flag, or {"value": number or flag, "status"?: "good" |
    // "bad" | "uncertain", "timestamp"?: ms since the epoch}; other keys of
    // the record are ignored. An empty payload withdraws the value.
    static ValueReading readValue(const QByteArray &payload);

    struct CatalogueReading
    {
        enum Kind { Catalogue, Empty, Unreadable } kind = Unreadable;
        QList<PointInfo> points;
        QStringList skipped;
        QString reason;
    };
    // A list of {"id", "kind": "analog" | "discrete", "unit"?, "description"?};
    // entries that cannot be used are skipped and named, a repeated id keeps
    // its first entry.
    static CatalogueReading readCatalogue(const QByteArray &payload);

    // Whether `id` can name a point in a topic.
    static bool isTopicSafeId(const QString &id);

    explicit PlainLayout(const QString &prefix);

    QList<QByteArray> subscriptions() const override;
    void receive(
        const QByteArray &topic, const QByteArray &payload, qint64 now, PlantOutput &out) override;
    void lost(qint64 now, PlantOutput &out) override;
    bool command(const QString &id, const QJsonValue &value, const CommandOrigin &origin,
        qint64 now, PlantPublish &publish, QString &problem) override;
    QList<PointInfo> catalogue() const override;

private:
    struct Held
    {
        QVariant value;
        PointStatus status = PointStatus::Good;
    };

    void receiveValue(const QString &id, const QByteArray &payload, qint64 now, PlantOutput &out);
    void receiveCatalogue(const QByteArray &payload, PlantOutput &out);
    void turnBad(const QString &id, qint64 now, PlantOutput &out);
    void reportCatalogue(const QString &text, PlantOutput &out);

    QByteArray prefix; // with its trailing '/'
    QHash<QString, Held> values;
    QStringList heardOrder;
    QSet<QString> unreadable;
    QSet<QString> notListed;
    std::optional<QList<PointInfo>> published;
    QSet<QString> publishedIds;
    QString lastCatalogueReport;
    bool overflowReported = false;
};
