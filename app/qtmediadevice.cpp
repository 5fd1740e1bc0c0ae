#include "app/qtmediadevice.h"

#include <QAudioDevice>
#include <QAudioOutput>
#include <QCoreApplication>
#include <QMediaDevices>
#include <QMediaPlayer>
#include <QPointer>
#include <QTimer>

#include <algorithm>

namespace {

// The player a closed device left for the next one, with its output. Parked
// under the application object, so it goes with it at exit.
QPointer<QMediaPlayer> &sparePlayer()
{
    static QPointer<QMediaPlayer> spare;
    return spare;
}

// Stopping a player is quick only when its stream got going without error.
bool stopsAtOnce(const QMediaPlayer &player)
{
    if (player.error() != QMediaPlayer::NoError)
        return false;
    switch (player.mediaStatus()) {
    case QMediaPlayer::LoadedMedia:
    case QMediaPlayer::BufferingMedia:
    case QMediaPlayer::BufferedMedia:
    case QMediaPlayer::EndOfMedia:
        return true;
    default:
        return false;
    }
}

} // namespace

bool QtMediaDevice::systemHasOutput()
{
    return !QMediaDevices::audioOutputs().isEmpty();
}

QtMediaDevice::QtMediaDevice(OutputCheck hasOutput)
    : m_hasOutput(std::move(hasOutput))
{
    if (QMediaPlayer *spare = sparePlayer().data()) {
        sparePlayer().clear();
        spare->setParent(nullptr);
        m_player.reset(spare);
        m_output.reset(spare->audioOutput());
        m_output->setParent(nullptr);
        watchForFailure();
        return;
    }
    m_output = std::make_unique<QAudioOutput>();
    m_player = std::make_unique<QMediaPlayer>();
    m_player->setAudioOutput(m_output.get());
    watchForFailure();
}

void QtMediaDevice::watchForFailure()
{
    m_watch = std::make_unique<QObject>();
    // Queued: the report comes from the event loop, never from inside a call
    // to the player, and is dropped with m_watch if the device goes first.
    QObject::connect(
        m_player.get(), &QMediaPlayer::errorOccurred, m_watch.get(),
        [this](QMediaPlayer::Error error, const QString &text) {
            if (error == QMediaPlayer::NoError || m_failed)
                return;
            m_failed = true;
            // The player tells a missing file, a refused connection and a
            // web page apart by its words only, which are not for reading.
            reportFailure({error == QMediaPlayer::FormatError ? StreamTrouble::Unreadable : StreamTrouble::Failed,
                           text.isEmpty() ? m_player->errorString() : text});
        },
        Qt::QueuedConnection);
}

void QtMediaDevice::fail(const StreamFailure &failure)
{
    QTimer::singleShot(0, m_watch.get(), [this, failure] {
        if (m_failed)
            return;
        m_failed = true;
        reportFailure(failure);
    });
}

QtMediaDevice::~QtMediaDevice()
{
    m_watch.reset();
    QCoreApplication *app = QCoreApplication::instance();
    if (app && !sparePlayer() && stopsAtOnce(*m_player)) {
        m_player->stop();
        m_player->setSource(QUrl());
        m_output->setParent(m_player.get());
        m_player->setParent(app);
        sparePlayer() = m_player.release();
        m_output.release();
        return;
    }
    // Destroying the player ends its stream at once, whatever state it is in.
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
    if (m_hasOutput && !m_hasOutput()) {
        fail({StreamTrouble::NoOutput, QStringLiteral("系统中没有音频输出设备(声音服务可能没有运行)")});
        return;
    }
    m_player->play();
}

qint64 QtMediaDevice::position() const
{
    return m_player->position();
}

bool QtMediaDevice::atEnd() const
{
    return m_player->mediaStatus() == QMediaPlayer::EndOfMedia;
}

void QtMediaDevice::setVolume(int volume)
{
    m_output->setVolume(static_cast<float>(std::clamp(volume, 0, 1000)) / 1000.0f);
}
