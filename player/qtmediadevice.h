#pragma once

#include "player/mediadevice.h"

#include <memory>

class QAudioOutput;
class QMediaPlayer;

// The media device over Qt Multimedia: one player with its own audio output.
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
    std::unique_ptr<QAudioOutput> m_output;
    std::unique_ptr<QMediaPlayer> m_player;
};
