#include "download/downloadstatus.h"

#include "download/filename.h"
#include "page/netcause.h"

namespace download {

QString statusText(Cls_DownLoad::Status status)
{
    using S = Cls_DownLoad::Status;
    switch (status) {
    case S::Connecting:
        return QStringLiteral("正在连接服务器...");
    case S::Requesting:
        return QStringLiteral("正在发送请求...");
    case S::QueryingSize:
        return QStringLiteral("获取远程文件信息...");
    case S::Receiving:
        return QStringLiteral("正在下载音乐数据...");
    case S::Stopped:
        return QStringLiteral("停止音乐下载");
    case S::Finished:
        return QString();
    case S::ConnectFailed:
        return QStringLiteral("抱歉!连接服务器失败..");
    case S::RequestFailed:
        return QStringLiteral("抱歉!发送请求失败..");
    case S::DataComplete:
        return QStringLiteral("正在连接服务器..");
    case S::DiskFull:
        return QStringLiteral("磁盘空间不足,下载被中止..");
    case S::WriteFailed:
        return QStringLiteral("无法写入目标文件,请检查下载路径..");
    case S::NotAudio:
        return QStringLiteral("抱歉!服务器返回的不是音乐文件..");
    case S::EmptyBody:
        return QStringLiteral("抱歉!服务器返回的内容是空的..");
    case S::Busy:
        return QStringLiteral("另一个程序正在下载这首歌..");
    case S::Incomplete:
        break;
    }
    return QStringLiteral("下载被中止..");
}

QString failureText(Cls_DownLoad::Status status, int httpStatus)
{
    if (status == Cls_DownLoad::Status::RequestFailed && netcause::meansGone(httpStatus))
        return netcause::workGoneText();
    return statusText(status);
}

QString finishedText()
{
    return QStringLiteral("音乐下载完成");
}

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

QString tagModuleMissingText(const QString &why)
{
    return QStringLiteral("tags not written: the tagging module could not be loaded (%1)").arg(why);
}

QString workFileName(const QString &title, const QString &singer)
{
    return safeFileName(title + QStringLiteral(" - ") + singer, QStringLiteral(".mp3"));
}

} // namespace download
