#include "support/songpages.h"

#include <QBuffer>
#include <QFile>
#include <QImage>

QByteArray SongPage::html(const QString &base) const
{
    QString video;
    if (!videoQuery.isEmpty())
        video = QStringLiteral("<script src=\"%1/video/player%2\"></script>").arg(base, videoQuery);
    const QString page =
        QStringLiteral("<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n"
                       "<title>%1 - %2Cantora 唱出你的声音</title>\n</head>\n<body>\n"
                       "<header class=\"top-bar\"></header>\n"
                       "<img class=\"avatar\" src=\"%3%4\">\n"
                       "<p>粉丝 <em class=\"nm\">%5</em></p>\n<p class=\"des twemoji\">%6</p>\n"
                       "<span class=\"audience info\"><em>%7</em>次播放</span>\n"
                       "<span class=\"presents info\"><em>%8</em>个礼物</span>\n"
                       "<span class=\"share info\"><em>%9</em>次转发</span>\n"
                       "<span class=\"comment info\"><em>%10</em>条评论</span>\n"
                       "%11\n<script>(function(){var a=\"%12%13\",b=1;})();</script>\n</body>\n</html>\n")
            .arg(title, singer, base, avatarPath, fans, description, plays, gifts, shares)
            .arg(comments, video, base, audioPath);
    return page.toUtf8();
}

QByteArray samplePicture(const char *format, Qt::GlobalColor colour)
{
    QImage image(90, 90, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

HttpHandler SongSite::handler(const QString &base) const
{
    const auto pages = m_pages;
    const auto files = m_files;
    return [pages, files, base](const HttpRequest &request) {
        if (request.path.startsWith(QLatin1String("/s/"))) {
            const auto page = pages.constFind(request.path.mid(3));
            if (page != pages.cend())
                return HttpResponse::text(200, page->html(base), "text/html; charset=utf-8");
        }
        const auto file = files.constFind(request.path);
        if (file != files.cend())
            return HttpResponse::text(200, file->first, file->second);
        return HttpResponse::text(404, "<html>404</html>", "text/html");
    };
}

QByteArray replicaFile(const QString &path)
{
    QFile file(QStringLiteral(CANTORA_SITE_ROOT "/") + path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
