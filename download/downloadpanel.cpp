#include "app/controls.h"
#include "app/form1.h"
#include "download/cls_download.h"
#include "download/filename.h"

#include <QDir>
#include <QFileInfo>
#include <QProgressBar>
#include <QPushButton>

// The download panel's handlers: the target file, the start/stop button, the
// progress and status display, and copying the audio address.

namespace {

const QString kStart = QStringLiteral("开始下载");
const QString kStop = QStringLiteral("停止下载");
const QString kNotParsed = QStringLiteral("请先进行解析..");

// downloaded × 100 / size, to the nearest whole number with halves to even.
int percentage(qint64 downloaded, qint64 size)
{
    if (size <= 0 || downloaded <= 0)
        return 0;
    if (downloaded >= size)
        return 100; // a body longer than announced still fills the bar only once
    const qint64 scaled = downloaded * 100;
    qint64 whole = scaled / size;
    const qint64 twiceRest = 2 * (scaled % size);
    if (twiceRest > size || (twiceRest == size && whole % 2 == 1))
        ++whole;
    return static_cast<int>(whole);
}

// The song title as the download names it: the title label's caption with
// every occurrence of its prefix taken out, not only the leading one.
QString downloadTitle(QString caption)
{
    return caption.remove(QStringLiteral("演唱歌曲："));
}

} // namespace

void Form1::connectDownloadHandlers()
{
    connect(Command2, &QPushButton::clicked, this, &Form1::Command2_Click);
    connect(Command1, &QPushButton::clicked, this, &Form1::Command1_Click);
    connect(Command6, &QPushButton::clicked, this, &Form1::Command6_Click);
    connect(Command13, &QPushButton::clicked, this, &Form1::Command13_Click);
    connect(aicAlphaImage4, &ImageButton::clicked, this, &Form1::aicAlphaImage4_Click);
}

void Form1::createDownloader()
{
    if (Cdf)
        return;
    Cdf = new Cls_DownLoad(this);
    connect(Cdf, &Cls_DownLoad::entDLFileDowning, this, &Form1::Cdf_entDLFileDowning);
    connect(Cdf, &Cls_DownLoad::entDLFileStatus, this, &Form1::Cdf_entDLFileStatus);
}

// "TITLE - SINGER.mp3", made safe to use as one file name.
QString Form1::downloadFileName() const
{
    return download::safeFileName(downloadTitle(Label2->caption()) + QStringLiteral(" - ") + m_song.singerName,
                                  QStringLiteral(".mp3"));
}

void Form1::Command2_Click()
{
    if (m_song.audioAddress.isEmpty()) {
        setStatus(kNotParsed);
    } else {
        setStatus(QStringLiteral("正在下载音乐.."));
        Label16->setCaption(QStringLiteral("音乐名称：") + downloadTitle(Label2->caption()));
        Label17->setCaption(QStringLiteral("演唱歌手：") + m_song.singerName);
        Picture3->move(width() / 2 - Picture3->width() / 2, height() / 2 - Picture3->height() / 2);
        Picture3->show();
        Picture3->raise();
    }
    m_downloadPath = m_config.programFolder + QStringLiteral("/Music/") + downloadFileName();
    ProgressBar1->setValue(0);
}

void Form1::Command1_Click()
{
    Label13->setCaption(QStringLiteral("如需更换在此请选择下载的路径："));
    const std::optional<QString> chosen = m_platform.saveDialog->chooseSaveFile(
        this, C1.DialogTitle, downloadFileName(), C1.filterDescription, C1.pattern);
    if (!chosen || chosen->isEmpty())
        return;
    m_downloadPath = *chosen;
    setStatus(QStringLiteral("已更换下载路径：") + m_downloadPath);
}

void Form1::Command6_Click()
{
    if (m_downloadPath.isEmpty()) {
        m_platform.messageBox->inform(this, QString::fromUtf8(kBoxTitle), QStringLiteral("请先选择要下载的文件路径!"),
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
        if (m_closing || m_ended)
            return;
        if (written != 0 && QFileInfo::exists(path))
            m_platform.launcher->showInFolder(path);
        // However the transfer ended, the panel is ready for the next one.
        Command2->setEnabled(true);
        Command6->setEnabled(true);
        Command6->setText(kStart);
    } else if (Command6->text() == kStop) {
        const bool yes = m_platform.messageBox->ask(this, QString::fromUtf8(kBoxTitle),
                                                    QStringLiteral("当前正在下载中..停止将损坏下载文件!"),
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

void Form1::Cdf_entDLFileDowning(const QString &, qint64 lDownLoaded, qint64 lFilesize, qint64)
{
    ProgressBar1->setValue(percentage(lDownLoaded, lFilesize));
}

void Form1::Cdf_entDLFileStatus(int TmpState)
{
    using S = Cls_DownLoad::Status;
    const int previous = m_lastDownloadStatus;
    m_lastDownloadStatus = TmpState;
    switch (static_cast<S>(TmpState)) {
    case S::Connecting:
        setStatus(QStringLiteral("正在连接服务器..."));
        break;
    case S::Requesting:
        setStatus(QStringLiteral("正在发送请求..."));
        break;
    case S::QueryingSize:
        setStatus(QStringLiteral("获取远程文件信息..."));
        break;
    case S::Receiving:
        setStatus(QStringLiteral("正在下载音乐数据..."));
        break;
    case S::Stopped:
        setStatus(QStringLiteral("停止音乐下载"));
        break;
    case S::Finished:
        // Only a complete body is a finished download; after a stop or a
        // failure its message stays on the status line.
        if (previous == Cls_DownLoad::code(S::DataComplete))
            setStatus(QStringLiteral("音乐下载完成"));
        Command6->setEnabled(true);
        Command6->setText(kStart);
        break;
    case S::ConnectFailed:
        setStatus(QStringLiteral("抱歉!连接服务器失败.."));
        break;
    case S::RequestFailed:
        setStatus(QStringLiteral("抱歉!发送请求失败.."));
        break;
    case S::DataComplete:
        setStatus(QStringLiteral("正在连接服务器.."));
        break;
    default:
        setStatus(QStringLiteral("下载被中止.."));
        Cdf->DLFileStop();
        break;
    }
}

void Form1::Command13_Click()
{
    if (m_song.audioAddress.isEmpty()) {
        setStatus(kNotParsed);
        return;
    }
    m_platform.clipboard->setText(m_song.audioAddress);
    setStatus(QStringLiteral("音乐地址已复制.."));
}

void Form1::aicAlphaImage4_Click()
{
    Picture3->hide();
}
