#pragma once

#include "app/handlers.h"
#include "config/fileplaces.h"
#include "page/songlookup.h"

#include <QPointer>

class Form2;
class Launcher;
class MessageBoxService;
class QWidget;

// The video command: writes the video page and shows the viewer.
class VideoPanel final : public Handlers
{
public:
    VideoPanel(StatusLine &status, const WindowLife &life, MessageBoxService &messageBox, Launcher &launcher,
               const FilePlaces &places, const SongRecord &song, QWidget *window);

    void Command8_Click();

private:
    MessageBoxService &m_messageBox;
    Launcher &m_launcher;
    const FilePlaces &m_places;
    const SongRecord &m_song;
    QWidget *const m_window;
    QString m_embedLine;     // the line last written to the video page
    QPointer<Form2> m_form2; // the viewer, while it is loaded
};
