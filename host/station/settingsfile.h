#pragma once

#include <QJsonObject>
#include <QString>

// A small JSON record the station keeps for the page's views between runs
// (the trends view's pens and range), written whole and atomically.
class SettingsFile
{
public:
    explicit SettingsFile(const QString &path);

    static QString defaultPath();

    QJsonObject value(const QString &key) const;
    // False when the file could not be written; the value is kept in memory.
    bool setValue(const QString &key, const QJsonObject &value);

private:
    QString path;
    QJsonObject values;
};
