#include "player/qtmediadevice.h"

#include <QAudioOutput>
#include <QMediaPlayer>

#include <algorithm>

QtMediaDevice::QtMediaDevice()
    : m_output(std::make_unique<QAudioOutput>())
    , m_player(std::make_unique<QMediaPlayer>())
{
    m_player->setAudioOutput(m_output.get());
}

// Destroying the player ends its stream at once. Stopping it first, or
// clearing its source, waits up to a second for a stream that never got going
// (an unreachable or broken address), and that second would freeze the window.
QtMediaDevice::~QtMediaDevice()
{
    m_player.reset();
}

bool QtMediaDevice::open(const QUrl &source)
{
    if (!source.isValid() || source.isEmpty())
        return false;
    m_player->setSource(source);
    return true;
}

void QtMediaDevice::play()
{
    m_player->play();
}

void QtMediaDevice::setVolume(int volume)
{
    m_output->setVolume(static_cast<float>(std::clamp(volume, 0, 1000)) / 1000.0f);
}
