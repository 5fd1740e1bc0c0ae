#pragma once

#include "player/mediadevice.h"

#include <functional>
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
//
// Where the system offers no sound output (no sound server, no device), the
// media stack would play into nothing without a word: such a device does not
// play, and says so.
class QtMediaDevice final : public MediaDevice
{
public:
    // Whether there is an output to play on; the system's own answer by default.
    using OutputCheck = std::function<bool()>;
    static bool systemHasOutput();

    explicit QtMediaDevice(OutputCheck hasOutput = &QtMediaDevice::systemHasOutput);
    ~QtMediaDevice() override;

    bool open(const QUrl &source) override;
    void play() override;
    void setVolume(int volume) override;
    qint64 position() const override;
    bool atEnd() const override;

    QMediaPlayer *player() const { return m_player.get(); }

private:
    void watchForFailure();
    // Reports once, from the event loop.
    void fail(const StreamFailure &failure);

    std::unique_ptr<QAudioOutput> m_output;
    std::unique_ptr<QMediaPlayer> m_player;
    // Receives the player's errors for this device only; goes first, so a
    // player handed on never reports to a device that is gone.
    std::unique_ptr<QObject> m_watch;
    OutputCheck m_hasOutput;
    bool m_failed = false;
};
