#include "video/videopage.h"

#include <QDir>
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

} // namespace video
