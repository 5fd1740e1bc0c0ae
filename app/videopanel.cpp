#include "app/videopanel.h"

#include "app/controls.h"
#include "app/form2.h"
#include "app/services.h"
#include "video/videopage.h"

#include <QDir>
#include <QLineEdit>
#include <QPushButton>

VideoPanel::VideoPanel(StatusLine &status, const WindowLife &life, MessageBoxService &messageBox, Launcher &launcher,
                       const FilePlaces &places, const SongRecord &song, QWidget *window)
    : Handlers(status, life, window)
    , m_messageBox(messageBox)
    , m_launcher(launcher)
    , m_places(places)
    , m_song(song)
    , m_window(window)
{}

void VideoPanel::Command8_Click()
{
    const QString &address = m_song.videoAddress;
    if (address.isEmpty()) {
        const QString none = QStringLiteral("没有发现视频文件..");
        m_messageBox.inform(m_window, boxTitle(), none, MessageBoxService::Icon::Information);
        setStatus(none);
        return;
    }

    const QString page = video::pagePath(m_places.videoPageFolder);
    const QString line = video::embedLine(address);
    // The user's cache folder may not exist yet; a program folder always does.
    if (!QDir().mkpath(m_places.videoPageFolder) || !video::writePage(page, line)) {
        // Without its page the viewer would offer a video it cannot play.
        setStatus(QStringLiteral("无法写入视频页面“video.htm”,请检查程序所在文件夹.."));
        return;
    }
    m_embedLine = line;

    // A closed viewer is gone (it deletes itself); the next command loads a new one.
    if (!m_form2 || m_form2->isHidden())
        m_form2 = new Form2(m_launcher, m_messageBox, m_places, m_window);
    m_form2->Text1->setText(address);
    m_form2->Text2->setText(m_embedLine);
    // Both texts are longer than their boxes; show how they begin.
    m_form2->Text1->setCursorPosition(0);
    m_form2->Text2->setCursorPosition(0);
    m_form2->show();
}
