#pragma once

#include "app/handlers.h"
#include "config/appconfig.h"
#include "page/songlookup.h"

#include <QPointer>

#include <functional>

class ImageBox;
class ImageButton;
class Label;
class PageFetcher;
class PageRequest;
class QLineEdit;
struct Form1Ui;

// The parse: the song-page address in Text1 looked up, and its facts shown in
// the singer and work panels and kept in the song record.
class SongPanel final : public Handlers
{
public:
    SongPanel(const Form1Ui &ui, StatusLine &status, const WindowLife &life, PageFetcher &fetcher,
              const AppConfig &config, SongRecord &song, QObject *parent);

    // The parse button's press.
    void aicAlphaImage3_Click();
    // The parse, as the works list runs it after putting an address into
    // Text1: `then` runs once the parse has ended (the avatar in place), unless
    // a newer parse has taken its place or the window has gone. A newer parse
    // abandons the older one's page and picture.
    void parse(std::function<void()> then);

    // The song title: the caption of Label2 less its prefix.
    QString songTitle() const;

private:
    // Shows what the lookup found; false when the parse ends with it.
    bool show(const lookup::Result &found);
    // Loads the avatar, then runs `then`, for the parse `parse` only.
    void showAvatar(const QString &address, quint64 parse, const std::function<void()> &then);
    // Still the parse under way, in a window still there.
    bool current(quint64 parse) const { return parse == m_parse && !windowGone(); }

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
    quint64 m_parse = 0;             // the latest parse; answers for any other are dropped
    QPointer<PageRequest> m_request; // its page or picture under way
};
