#include "settingsfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QSaveFile>
#include <QStandardPaths>

SettingsFile::SettingsFile(const QString &path)
    : path(path)
{
    QFile file(path);
    if (file.open(QIODevice::ReadOnly)) {
        // At most a megabyte: a settings file is small, anything else is not one.
        const QJsonDocument document = QJsonDocument::fromJson(file.read(1 << 20));
        if (document.isObject())
            values = document.object();
    }
}

QString SettingsFile::defaultPath()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation))
        .filePath(QStringLiteral("views.json"));
}

QJsonObject SettingsFile::value(const QString &key) const
{
    return values.value(key).toObject();
}

bool SettingsFile::setValue(const QString &key, const QJsonObject &value)
{
    values.insert(key, value);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(QJsonDocument(values).toJson(QJsonDocument::Indented));
    return file.commit();
}
