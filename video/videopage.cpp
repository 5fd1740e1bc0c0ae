#include "video/videopage.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

namespace video {

QString embedLine(const QString &videoAddress)
{
    return QStringLiteral("<div><script src=\"") + videoAddress +
           QStringLiteral("\" type=\"text/javascript\"></script></div>");
}

QString pagePath(const QString &folder)
{
    return QDir(folder).filePath(QStringLiteral("video.htm"));
}

bool writePage(const QString &path, const QString &line)
{
    QSaveFile page(path);
    if (!page.open(QIODevice::WriteOnly))
        return false;
    const QByteArray bytes = line.toUtf8();
    if (page.write(bytes) != bytes.size()) {
        page.cancelWriting();
        return false;
    }
    return page.commit();
}

QString openFailedText(const QString &path)
{
    if (!QFileInfo::exists(path))
        return QStringLiteral("视频页面“video.htm”已不存在,请重新点击“获取MV”..");
    return QStringLiteral("没有找到可以打开“video.htm”的网页浏览器,请先安装一个网页浏览器..");
}

} // namespace video
