#pragma once

#include "app/handlers.h"
#include "config/appconfig.h"
#include "page/songlookup.h"
#include "player/streamfailure.h"

class MciService;
class QPushButton;
class QSlider;
struct Form1Ui;

// Online playback of the looked-up work under the one device alias, the
// play/stop toggle, the re-resolve command and the volume.
class PlayerPanel final : public Handlers
{
public:
    PlayerPanel(const Form1Ui &ui, StatusLine &status, const WindowLife &life, MciService &mci, const AppConfig &config,
                SongRecord &song, QObject *parent);

    // Plays musicpath from the start at the slider's volume.
    void play(const QString &musicpath);

    void Command7_Click();
    void Command16_Click();
    void Slider1_Scroll();
    // The stream being played failed after all: the button is ready to play
    // again and the status line says why, with the cause in its tool tip.
    void playbackFailed(const StreamFailure &failure);

private:
    QPushButton *const Command7;
    QSlider *const Slider1;

    MciService &m_mci;
    const AppConfig &m_config;
    SongRecord &m_song;
};
