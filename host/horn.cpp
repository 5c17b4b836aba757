#include "horn.h"

#include <QAudioDevice>
#include <QMediaDevices>
#include <QSoundEffect>
#include <QUrl>

Horn::Horn(bool enabled, QObject *parent)
    : QObject(parent)
    , enabled(enabled)
{
    audio = !QMediaDevices::audioOutputs().isEmpty();
    if (!enabled || !audio)
        return;
    effect = new QSoundEffect(this);
    effect->setSource(QUrl(QStringLiteral("qrc:/sounds/horn.wav")));
    effect->setLoopCount(QSoundEffect::Infinite);
}

void Horn::setSounding(bool on)
{
    if (on == sounding)
        return;
    sounding = on;
    if (!effect)
        return;
    if (on)
        effect->play();
    else
        effect->stop();
}
