#include "site/replicasite.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <optional>

QByteArray contentTypeFor(const QString &fileName)
{
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    if (suffix == QLatin1String("html") || suffix == QLatin1String("htm") || suffix == QLatin1String("php"))
        return "text/html; charset=utf-8";
    if (suffix == QLatin1String("txt"))
        return "text/plain; charset=utf-8";
    if (suffix == QLatin1String("js"))
        return "text/javascript; charset=utf-8";
    if (suffix == QLatin1String("mp3"))
        return "audio/mpeg";
    if (suffix == QLatin1String("gif"))
        return "image/gif";
    if (suffix == QLatin1String("jpg") || suffix == QLatin1String("jpeg"))
        return "image/jpeg";
    if (suffix == QLatin1String("png"))
        return "image/png";
    return "application/octet-stream";
}

namespace {

constexpr char kLargeSingerUid[] = "1004";
constexpr int kLargeSingerWorks = 5000;

HttpResponse notFound()
{
    return HttpResponse::text(404, "<html><body><h1>404 Not Found</h1></body></html>", "text/html; charset=utf-8");
}

// The file under base that answers a site path, or an empty text. Nothing
// outside the site folder is served, however the path is spelled.
QString fileFor(const QString &base, const QString &path)
{
    const QString wanted = QDir::cleanPath(base + QLatin1Char('/') + path);
    const QFileInfo file(wanted);
    const QString canonical = file.canonicalFilePath();
    if (base.isEmpty() || !canonical.startsWith(base + QLatin1Char('/')) || !file.isFile())
        return {};
    return canonical;
}

// The byte range a "Range" header asks for, as [first, last]; nothing when it
// is absent or not one range this server understands.
std::optional<QPair<qint64, qint64>> wantedRange(const QByteArray &header, qint64 size)
{
    const QByteArray value = header.trimmed();
    if (!value.startsWith("bytes=") || value.contains(','))
        return std::nullopt;
    const QByteArray bounds = value.mid(6).trimmed();
    const qsizetype dash = bounds.indexOf('-');
    if (dash < 0)
        return std::nullopt;
    bool firstOk = false;
    bool lastOk = false;
    const QByteArray firstText = bounds.left(dash).trimmed();
    const QByteArray lastText = bounds.mid(dash + 1).trimmed();
    if (firstText.isEmpty()) { // the last N bytes
        const qint64 suffix = lastText.toLongLong(&lastOk);
        if (!lastOk || suffix <= 0)
            return std::nullopt;
        return QPair<qint64, qint64>(std::max<qint64>(0, size - suffix), size - 1);
    }
    const qint64 first = firstText.toLongLong(&firstOk);
    qint64 last = lastText.isEmpty() ? size - 1 : lastText.toLongLong(&lastOk);
    if (!firstOk || first < 0 || (!lastText.isEmpty() && (!lastOk || last < first)))
        return std::nullopt;
    return QPair<qint64, qint64>(first, std::min(last, size - 1));
}

HttpResponse serveFile(const HttpRequest &request, const QString &path)
{
    QFile content(path);
    if (!content.open(QIODevice::ReadOnly))
        return HttpResponse::text(403, "forbidden");
    QByteArray body = content.readAll();
    // Pages name the site's own addresses as {{site}}: the address the page was
    // asked for, so the replica works on any port.
    if (path.endsWith(QLatin1String(".html")))
        body.replace("{{site}}", "http://" + request.header("host"));
    if (path.endsWith(QLatin1String(".mp3")) && request.query.queryItemValue(QStringLiteral("framing")) == "chunked") {
        HttpResponse response = HttpResponse::text(200, body, contentTypeFor(path));
        response.framing = HttpResponse::Framing::Chunked;
        return response;
    }
    return rangedBody(request, body, contentTypeFor(path));
}

// The site's own addresses onto the folder's files:
//   /s/CODE                                    -> s/CODE.html (song pages)
//   /userdata/userwork/ANY/ID.mp3              -> audio/ID.mp3 (any server folder)
//   /userPage.php?uid=N                        -> user/N.html (singer pages; 1004 is made on request)
//   /member/personcenter/loadplayurl.php?wid=N -> the song-page address of work N
//   /video/player?wid=N                        -> video/player.js (the video player script)
QString siteFile(const QString &base, const HttpRequest &request)
{
    const QString &path = request.path;
    if (path.startsWith(QLatin1String("/s/")) && !path.endsWith(QLatin1String(".html")))
        return fileFor(base, path + QStringLiteral(".html"));
    if (path.startsWith(QLatin1String("/userdata/userwork/")) && path.endsWith(QLatin1String(".mp3")))
        return fileFor(base, QStringLiteral("/audio/") + path.section(QLatin1Char('/'), -1));
    if (path == QLatin1String("/userPage.php"))
        return fileFor(base, QStringLiteral("/user/") + request.query.queryItemValue(QStringLiteral("uid")) +
                                 QStringLiteral(".html"));
    if (path == QLatin1String("/video/player"))
        return fileFor(base, QStringLiteral("/video/player.js"));
    if (path.endsWith(QLatin1Char('/')))
        return fileFor(base, path + QStringLiteral("index.html"));
    return fileFor(base, path);
}

// A singer with thousands of works, made on request rather than kept as a file.
QByteArray largeSingerPage()
{
    QByteArray page = "<!DOCTYPE html>\n<html lang=\"zh-CN\"><head><meta charset=\"utf-8\">"
                      "<title>千曲的个人主页 - Cantora K歌社区</title></head>\n<body>\n"
                      "<h1 class=\"nickname\">千曲</h1>\n<div class=\"work-list\">\n<ul>\n";
    for (int i = 1; i <= kLargeSingerWorks; ++i) {
        const QByteArray id = QByteArray::number(6000000 + i) + "109";
        page += "<li class=\"work\"><a class=\"work-name\" href=\"/s/" + id + "\" target=\"_blank\" data-id=\"" + id +
                "\">练习曲 第" + QByteArray::number(i) + "首</a></li>\n";
    }
    return page + "</ul>\n<a class=\"more-works\" href=\"javascript:;\" data-id=\"1004\">查看更多作品</a>\n"
                  "</div>\n</body>\n</html>\n";
}

} // namespace

HttpResponse rangedBody(const HttpRequest &request, const QByteArray &body, const QByteArray &contentType)
{
    HttpResponse response = HttpResponse::text(200, body, contentType);
    response.withHeader("Accept-Ranges", "bytes");
    const QByteArray size = QByteArray::number(body.size());
    if (const auto range = wantedRange(request.header("range"), body.size())) {
        const auto [first, last] = *range;
        if (first >= body.size()) {
            response = HttpResponse::text(416, QByteArray(), contentType);
            response.withHeader("Content-Range", "bytes */" + size);
            return response;
        }
        response.status = 206;
        response.body = body.mid(first, last - first + 1);
        response.withHeader("Content-Range",
                            "bytes " + QByteArray::number(first) + '-' + QByteArray::number(last) + '/' + size);
    }
    if (request.method == "HEAD") {
        response.announcedLength = response.body.size();
        response.body.clear();
    }
    return response;
}

HttpHandler replicaSite(const QString &root)
{
    const QString base = QDir(root).canonicalPath();
    return [base](const HttpRequest &request) -> HttpResponse {
        if (request.method != "GET" && request.method != "HEAD")
            return HttpResponse::text(400, "only GET is served here");

        if (request.path == QLatin1String("/member/personcenter/loadplayurl.php")) {
            // The site answers with the work's song page on the host that was asked.
            const QString wid = request.query.queryItemValue(QStringLiteral("wid"));
            const QByteArray host = request.header("host");
            if (wid.isEmpty() || fileFor(base, QStringLiteral("/s/") + wid + QStringLiteral(".html")).isEmpty())
                return HttpResponse::text(200, QByteArray());
            return HttpResponse::text(200, "http://" + host + "/s/" + wid.toUtf8());
        }

        if (request.path == QLatin1String("/userPage.php") &&
            request.query.queryItemValue(QStringLiteral("uid")) == QLatin1String(kLargeSingerUid))
            return HttpResponse::text(200, largeSingerPage(), "text/html; charset=utf-8");

        const QString file = siteFile(base, request);
        if (file.isEmpty())
            return notFound();
        return serveFile(request, file);
    };
}
