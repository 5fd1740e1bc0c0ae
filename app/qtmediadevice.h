#pragma once

#include "player/mediadevice.h"

#include <memory>

class QAudioOutput;
class QMediaPlayer;
class QObject;

// The media device over Qt Multimedia: one player with its own audio output.
//
// Every new player leaves a few kilobytes behind in the system's media stack
// when it goes, so a device that ends a healthy stream hands its player on to
// the next device instead. A player whose stream never got going (no answer,
// an error) is destroyed at once: stopping it would wait up to a second.
class QtMediaDevice final : public MediaDevice
{
public:
    QtMediaDevice();
    ~QtMediaDevice() override;

    bool open(const QUrl &source) override;
    void play() override;
    void setVolume(int volume) override;

    QMediaPlayer *player() const { return m_player.get(); }

private:
    void watchForFailure();

    std::unique_ptr<QAudioOutput> m_output;
    std::unique_ptr<QMediaPlayer> m_player;
    // Receives the player's errors for this device only; goes first, so a
    // player handed on never reports to a device that is gone.
    std::unique_ptr<QObject> m_watch;
    bool m_failed = false;
};
