#pragma once

#include <QJsonObject>
#include <QString>
#include <QThreadPool>

// A small JSON record the station keeps for the page's views between runs
// (the trends view's pens and range, the scheme view's scale). Read once at
// start; every change is written whole and atomically on a thread of its own,
// so the GUI thread never waits on the disk. The last change wins.
class SettingsFile
{
public:
    explicit SettingsFile(const QString &path);
    // Waits for the last write.
    ~SettingsFile();

    static QString defaultPath();

    QJsonObject value(const QString &key) const;
    void setValue(const QString &key, const QJsonObject &value);

private:
    QString path;
    QJsonObject values;
    // One thread: writes happen in the order of the changes.
    QThreadPool writer;
};
