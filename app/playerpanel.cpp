#include "app/playerpanel.h"

#include "app/form1ui.h"
#include "player/mciinterpreter.h"
#include "player/playback.h"

#include <QPushButton>
#include <QSlider>

PlayerPanel::PlayerPanel(const Form1Ui &ui, StatusLine &status, const WindowLife &life, MciService &mci,
                         const AppConfig &config, SongRecord &song, QObject *parent)
    : Handlers(status, life, parent)
    , Command7(ui.Command7)
    , Slider1(ui.Slider1)
    , m_mci(mci)
    , m_config(config)
    , m_song(song)
{
    // The service belongs to the window, as this panel does; it reports from
    // the event loop only, never while either is being torn down.
    m_mci.setFailureHandler([this](const StreamFailure &failure) { playbackFailed(failure); });
}

void PlayerPanel::playbackFailed(const StreamFailure &failure)
{
    Command7->setText(QStringLiteral("在线播放"));
    setFailureStatus(playback::failureText(failure.trouble), failure.cause);
}

void PlayerPanel::play(const QString &musicpath)
{
    // Every step is sent, whatever became of the one before.
    m_mci.sendString(QStringLiteral("close OpenFile"));
    m_mci.sendString(QStringLiteral("open ") + musicpath + QStringLiteral(" alias OpenFile type MPEGVideo"));
    m_mci.sendString(QStringLiteral("play OpenFile"));
    m_mci.sendString(playback::volumeCommand(Slider1->value()));
}

void PlayerPanel::Command7_Click()
{
    if (m_song.audioAddress.isEmpty()) {
        setStatus(lookup::notParsedText());
        return;
    }
    if (Command7->text() == QStringLiteral("在线播放")) {
        Command7->setText(QStringLiteral("停止播放"));
        play(m_song.audioAddress);
        setStatus(QStringLiteral("正在进行在线试播放.."));
    } else if (Command7->text() == QStringLiteral("停止播放")) {
        Command7->setText(QStringLiteral("在线播放"));
        m_mci.sendString(QStringLiteral("close all"));
    }
}

void PlayerPanel::Command16_Click()
{
    // Without a parsed address there is no server number to read.
    const QString server = playback::serverNumber(m_song.audioAddress);
    if (server.isEmpty()) {
        setStatus(lookup::notParsedText());
        return;
    }
    Command7->setText(QStringLiteral("停止播放"));
    m_song.audioAddress = playback::rebuiltAddress(m_config.audioHost(server), m_song.workId);
    play(m_song.audioAddress);
    setStatus(QStringLiteral("为您重新解析后,正在进行在线试播放.."));
}

void PlayerPanel::Slider1_Scroll()
{
    m_mci.sendString(playback::volumeCommand(Slider1->value()));
}
