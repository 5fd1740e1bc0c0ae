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

QtMediaDevice::~QtMediaDevice()
{
    m_player->stop();
    m_player->setSource(QUrl());
    m_player->setAudioOutput(nullptr);
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
