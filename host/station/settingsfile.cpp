#include "settingsfile.h"

#include "stationlogging.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QSaveFile>
#include <QStandardPaths>

SettingsFile::SettingsFile(const QString &path)
    : path(path)
{
    writer.setMaxThreadCount(1);
    QFile file(path);
    if (file.open(QIODevice::ReadOnly)) {
        // At most a megabyte: a settings file is small, anything else is not one.
        const QJsonDocument document = QJsonDocument::fromJson(file.read(1 << 20));
        if (document.isObject())
            values = document.object();
    }
}

SettingsFile::~SettingsFile()
{
    writer.waitForDone();
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

void SettingsFile::setValue(const QString &key, const QJsonObject &value)
{
    values.insert(key, value);
    const QByteArray contents = QJsonDocument(values).toJson(QJsonDocument::Indented);
    writer.start([file = path, contents] {
        QDir().mkpath(QFileInfo(file).absolutePath());
        QSaveFile saved(file);
        if (!saved.open(QIODevice::WriteOnly) || saved.write(contents) != contents.size()
            || !saved.commit())
            qCWarning(lcViewSettings) << "the views' settings could not be written to" << file;
    });
}
