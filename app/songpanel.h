#pragma once

#include "app/handlers.h"
#include "config/appconfig.h"
#include "page/songlookup.h"

class ImageBox;
class ImageButton;
class Label;
class PageFetcher;
class QLineEdit;
struct Form1Ui;

// The parse: the song-page address in Text1 looked up, and its facts shown in
// the singer and work panels and kept in the song record.
class SongPanel final : public Handlers
{
public:
    SongPanel(const Form1Ui &ui, StatusLine &status, const WindowLife &life, PageFetcher &fetcher,
              const AppConfig &config, SongRecord &song, QObject *parent);

    // The parse button's press. The works list runs it too, after putting an
    // address into Text1.
    void aicAlphaImage3_Click();

    // The song title: the caption of Label2 less its prefix.
    QString songTitle() const;

private:
    void showAvatar(const QString &address);

    QLineEdit *const Text1;
    ImageBox *const Image1;
    ImageBox *const Image2;
    Label *const Label1;
    Label *const Label4;
    Label *const Label10;
    Label *const Label2;
    Label *const Label5;
    Label *const Label6;
    Label *const Label7;
    Label *const Label9;
    ImageButton *const aicAlphaImage2;

    PageFetcher &m_fetcher;
    const AppConfig &m_config;
    SongRecord &m_song;
    songpage::WorkingTexts m_parseTexts;
};
