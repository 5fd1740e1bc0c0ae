#include "app/downloadpanel.h"

#include "app/controls.h"
#include "app/form1ui.h"
#include "app/services.h"
#include "download/cls_download.h"
#include "download/downloadstatus.h"
#include "download/filename.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QProgressBar>
#include <QPushButton>

namespace {

const QString kStart = QStringLiteral("开始下载");
const QString kStop = QStringLiteral("停止下载");

// The song title as the download names it: the title label's caption with
// every occurrence of its prefix taken out, not only the leading one.
QString downloadTitle(QString caption)
{
    return caption.remove(QStringLiteral("演唱歌曲："));
}

} // namespace

DownloadPanel::DownloadPanel(const Form1Ui &ui, StatusLine &status, const WindowLife &life, Services services,
                             const FilePlaces &places, const SongRecord &song, QWidget *window)
    : Handlers(status, life, window)
    , Command2(ui.Command2)
    , Command6(ui.Command6)
    , Label2(ui.Label2)
    , Picture3(ui.Picture3)
    , Label13(ui.Label13)
    , Label16(ui.Label16)
    , Label17(ui.Label17)
    , ProgressBar1(ui.ProgressBar1)
    , C1(ui.C1)
    , m_services(services)
    , m_places(places)
    , m_song(song)
    , m_window(window)
{}

int DownloadPanel::width() const
{
    return m_window->width();
}

int DownloadPanel::height() const
{
    return m_window->height();
}

// "TITLE - SINGER.mp3", made safe to use as one file name.
QString DownloadPanel::downloadFileName() const
{
    return download::workFileName(downloadTitle(Label2->caption()), m_song.singerName);
}

void DownloadPanel::Command2_Click()
{
    if (m_song.audioAddress.isEmpty()) {
        setStatus(lookup::notParsedText());
    } else {
        setStatus(QStringLiteral("正在下载音乐.."));
        Label16->setCaption(QStringLiteral("音乐名称：") + downloadTitle(Label2->caption()));
        Label17->setCaption(QStringLiteral("演唱歌手：") + m_song.singerName);
        Picture3->move(width() / 2 - Picture3->width() / 2, height() / 2 - Picture3->height() / 2);
        Picture3->show();
        Picture3->raise();
        // The keyboard goes on where the eye does.
        Command6->setFocus();
    }
    m_downloadPath = QDir(m_places.downloadFolder).filePath(downloadFileName());
    ProgressBar1->setValue(0);
}

void DownloadPanel::Command1_Click()
{
    Label13->setCaption(QStringLiteral("如需更换在此请选择下载的路径："));
    const std::optional<QString> chosen = m_services.saveDialog.chooseSaveFile(
        m_window, C1.DialogTitle, QDir(m_places.downloadFolder).filePath(downloadFileName()), C1.filterDescription,
        C1.pattern);
    if (!chosen || chosen->isEmpty())
        return;
    m_downloadPath = *chosen;
    setStatus(QStringLiteral("已更换下载路径：") + m_downloadPath);
}

void DownloadPanel::Command6_Click()
{
    if (m_downloadPath.isEmpty()) {
        m_services.messageBox.inform(m_window, boxTitle(), QStringLiteral("请先选择要下载的文件路径!"),
                                     MessageBoxService::Icon::Warning);
        return;
    }
    if (!Cdf)
        return;

    if (Command6->text() == kStart) {
        // After a confirmed stop the caption reads "start" before the stopped
        // transfer has returned; it still owns the downloader.
        if (Cdf->isRunning())
            return;
        Command6->setText(kStop);
        Command2->setEnabled(false);
        // The save dialog stays usable meanwhile; this transfer keeps its path.
        const QString path = m_downloadPath;
        QDir().mkpath(QFileInfo(path).absolutePath());
        m_lastDownloadStatus = 0;
        const qint64 written = Cdf->DLFile(m_song.audioAddress, path, DownloadTimeOut);
        if (windowGone())
            return;
        // What a transfer that did not complete kept stays under its own,
        // clearly unfinished name; the file at the target may be an earlier copy.
        const bool complete = m_lastDownloadStatus == Cls_DownLoad::code(Cls_DownLoad::Status::DataComplete);
        const QString shown = complete ? path : Cls_DownLoad::partialPath(path);
        if (written != 0 && QFileInfo::exists(shown))
            m_services.launcher.showInFolder(shown);
        // However the transfer ended, the panel is ready for the next one.
        Command2->setEnabled(true);
        Command6->setEnabled(true);
        Command6->setText(kStart);
    } else if (Command6->text() == kStop) {
        const bool yes =
            m_services.messageBox.ask(m_window, boxTitle(), QStringLiteral("当前正在下载中..停止将损坏下载文件!"),
                                      MessageBoxService::Icon::Information);
        // The transfer may have ended while the question was open.
        if (!yes || !Cdf->isRunning())
            return;
        Command6->setText(kStart);
        Cdf->DLFileStop();
        Command2->setEnabled(true);
        // Usable again once the stopped transfer has returned.
        Command6->setEnabled(false);
    }
}

void DownloadPanel::Cdf_entDLFileDowning(const QString &, qint64 lDownLoaded, qint64 lFilesize, qint64)
{
    ProgressBar1->setValue(download::percentage(lDownLoaded, lFilesize));
}

void DownloadPanel::Cdf_entDLFileStatus(int TmpState)
{
    using S = Cls_DownLoad::Status;
    // The status before "finished" tells how the transfer ended.
    const int previous = m_lastDownloadStatus;
    if (TmpState != Cls_DownLoad::code(S::Finished))
        m_lastDownloadStatus = TmpState;
    const S state = static_cast<S>(TmpState);
    switch (state) {
    case S::Finished:
        // Only a complete body is a finished download; after a stop or a
        // failure its message stays on the status line.
        if (previous == Cls_DownLoad::code(S::DataComplete))
            setStatus(download::finishedText());
        Command6->setEnabled(true);
        Command6->setText(kStart);
        break;
    case S::ConnectFailed:
    case S::RequestFailed:
    case S::Incomplete:
    case S::WriteFailed:
    case S::DiskFull:
    case S::NotAudio:
    case S::EmptyBody:
    case S::Busy:
        setFailureStatus(download::failureText(state, Cdf->httpStatus()), Cdf->lastError());
        // The stages read as "aborted" end with a stop request, as any other would.
        if (state == S::Incomplete || state == S::WriteFailed)
            Cdf->DLFileStop();
        break;
    default:
        setStatus(download::statusText(state));
        break;
    }
}

void DownloadPanel::Command13_Click()
{
    if (m_song.audioAddress.isEmpty()) {
        setStatus(lookup::notParsedText());
        return;
    }
    // A line break or an escape would travel on into whatever it is pasted in.
    m_services.clipboard.setText(download::withoutControls(m_song.audioAddress));
    setStatus(QStringLiteral("音乐地址已复制.."));
}

void DownloadPanel::aicAlphaImage4_Click()
{
    // The keyboard returns to the button that opened the panel.
    if (Picture3->isAncestorOf(QApplication::focusWidget()))
        Command2->setFocus();
    Picture3->hide();
}
