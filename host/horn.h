#pragma once

#include <QObject>

class QSoundEffect;

// The alarm horn: a sound from the resources, repeated while the station's
// alarms want it. Without an audio device it stays silent; its state is
// still shown in the page's banner.
class Horn : public QObject
{
    Q_OBJECT

public:
    // `enabled` false: the user turned the horn off (--no-horn).
    explicit Horn(bool enabled, QObject *parent = nullptr);

    bool isEnabled() const { return enabled; }
    // Whether the machine has an audio output to sound on.
    bool hasAudio() const { return audio; }
    bool isSounding() const { return sounding; }

public slots:
    void setSounding(bool on);

private:
    bool enabled;
    bool audio = false;
    bool sounding = false;
    QSoundEffect *effect = nullptr;
};
