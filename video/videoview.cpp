#include "app/form1.h"

#include "app/controls.h"
#include "video/form2.h"
#include "video/videopage.h"

#include <QLineEdit>
#include <QPushButton>

// The video command: writes the video page and shows the viewer.

void Form1::connectVideoHandlers()
{
    connect(Command8, &QPushButton::clicked, this, &Form1::Command8_Click);
    installChrome();
}

void Form1::Command8_Click()
{
    const QString &address = m_song.videoAddress;
    if (address.isEmpty()) {
        const QString none = QStringLiteral("没有发现视频文件..");
        m_platform.messageBox->inform(this, QString::fromUtf8(kBoxTitle), none, MessageBoxService::Icon::Information);
        setStatus(none);
        return;
    }

    const QString page = video::pagePath(m_config.programFolder);
    const QString line = video::embedLine(address);
    if (!video::writePage(page, line)) {
        // Without its page the viewer would offer a video it cannot play.
        setStatus(QStringLiteral("无法写入视频页面“video.htm”,请检查程序所在文件夹.."));
        return;
    }
    m_embedLine = line;

    // A closed viewer is gone (it deletes itself); the next command loads a new one.
    if (!m_form2 || m_form2->isHidden())
        m_form2 = new Form2(*m_platform.launcher, page, this);
    m_form2->Text1->setText(address);
    m_form2->Text2->setText(m_embedLine);
    // Both texts are longer than their boxes; show how they begin.
    m_form2->Text1->setCursorPosition(0);
    m_form2->Text2->setCursorPosition(0);
    m_form2->show();
}
