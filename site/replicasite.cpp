#include "site/replicasite.h"

#include <QCryptographicHash>
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

// Singers whose works are made on request rather than kept as files: work n
// (from 1) has the id "<first + n>109", the song page /s/<id> and a small
// MP3 of its own. 1005 to 1009 are smaller catalogues of the same kind, for
// runs that want a few hundred works from one or several singers.
struct GeneratedSinger final
{
    const char *uid;
    const char *name;
    int works;
    qint64 first;
};
constexpr GeneratedSinger kGeneratedSingers[] = {
    {"1004", "千曲", 5000, 6000000},  {"1005", "百曲", 500, 7000000},   {"1006", "百曲乙", 500, 7001000},
    {"1007", "百曲丙", 500, 7002000}, {"1008", "百曲丁", 500, 7003000}, {"1009", "百曲戊", 500, 7004000},
};

// A generated singer's work: which singer and its number there.
struct GeneratedWork final
{
    const GeneratedSinger *singer = nullptr;
    int number = 0;
};

QByteArray generatedWorkId(const GeneratedSinger &singer, int number)
{
    return QByteArray::number(singer.first + number) + "109";
}

const GeneratedSinger *generatedSinger(const QString &uid)
{
    for (const GeneratedSinger &singer : kGeneratedSingers) {
        if (uid == QLatin1String(singer.uid))
            return &singer;
    }
    return nullptr;
}

// The generated work with this id; no singer when it is none of theirs.
GeneratedWork generatedWork(const QString &id)
{
    if (!id.endsWith(QLatin1String("109")) || id.size() <= 3)
        return {};
    bool ok = false;
    const qint64 prefix = id.chopped(3).toLongLong(&ok);
    // Only the spelling the singer page uses: no sign, no leading zeros.
    if (!ok || id.front() < QLatin1Char('1') || id.front() > QLatin1Char('9'))
        return {};
    for (const GeneratedSinger &singer : kGeneratedSingers) {
        if (prefix > singer.first && prefix <= singer.first + singer.works)
            return {&singer, static_cast<int>(prefix - singer.first)};
    }
    return {};
}

// A tiny picture (one white pixel, GIF) for the generated singers' avatars.
constexpr char kGeneratedAvatar[] = "GIF89a\x01\x00\x01\x00\x80\x00\x00\xff\xff\xff\x00\x00\x00"
                                    ",\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02\x44\x01\x00;";

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

// Answers with a page or file body named `name`. Pages name the site's own
// addresses as {{site}}: the address the page was asked for, so the replica
// works on any port.
HttpResponse serveBody(const HttpRequest &request, QByteArray body, const QString &name)
{
    if (name.endsWith(QLatin1String(".html")))
        body.replace("{{site}}", "http://" + request.header("host"));
    if (name.endsWith(QLatin1String(".mp3")) && request.query.queryItemValue(QStringLiteral("framing")) == "chunked") {
        HttpResponse response = HttpResponse::text(200, body, contentTypeFor(name));
        response.framing = HttpResponse::Framing::Chunked;
        return response;
    }
    return rangedBody(request, body, contentTypeFor(name));
}

HttpResponse serveFile(const HttpRequest &request, const QString &path)
{
    QFile content(path);
    if (!content.open(QIODevice::ReadOnly))
        return HttpResponse::text(403, "forbidden");
    return serveBody(request, content.readAll(), path);
}

// The site's own addresses onto the folder's files:
//   /s/CODE                                    -> s/CODE.html (song pages)
//   /userdata/userwork/ANY/ID.mp3              -> audio/ID.mp3 (any server folder)
//   /userPage.php?uid=N                        -> user/N.html (singer pages)
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

// A generated singer's page, listing every work.
QByteArray generatedSingerPage(const GeneratedSinger &singer)
{
    const QByteArray name(singer.name);
    QByteArray page = "<!DOCTYPE html>\n<html lang=\"zh-CN\"><head><meta charset=\"utf-8\">"
                      "<title>" +
                      name + "的个人主页 - Cantora K歌社区</title></head>\n<body>\n<h1 class=\"nickname\">" + name +
                      "</h1>\n<div class=\"work-list\">\n<ul>\n";
    for (int i = 1; i <= singer.works; ++i) {
        const QByteArray id = generatedWorkId(singer, i);
        page += "<li class=\"work\"><a class=\"work-name\" href=\"/s/" + id + "\" target=\"_blank\" data-id=\"" + id +
                "\">练习曲 第" + QByteArray::number(i) + "首</a></li>\n";
    }
    return page + "</ul>\n<a class=\"more-works\" href=\"javascript:;\" data-id=\"" + singer.uid +
           "\">查看更多作品</a>\n</div>\n</body>\n</html>\n";
}

// A generated work's song page, marked up as the hand-made ones; its counters
// follow from its number.
QByteArray generatedSongPage(const GeneratedWork &work)
{
    const GeneratedSinger &singer = *work.singer;
    const QByteArray id = generatedWorkId(singer, work.number);
    const QByteArray name(singer.name);
    const QByteArray title = "练习曲 第" + QByteArray::number(work.number) + "首";
    const auto counter = [&work](int factor, int modulus) {
        return QByteArray::number(work.number * factor % modulus);
    };
    return "<!DOCTYPE html>\n<html lang=\"zh-CN\">\n<head>\n<meta charset=\"utf-8\">\n<title>" + title + " - " + name +
           "Cantora 唱出你的声音</title>\n</head>\n<body>\n<header class=\"top-bar\"><a "
           "href=\"/\">Cantora</a></header>\n"
           "<section class=\"singer\">\n  <a href=\"/userPage.php?uid=" +
           singer.uid + "\"><img class=\"avatar\" src=\"{{site}}/img/avatar/" + singer.uid +
           ".gif\" width=\"90\" height=\"90\" alt=\"\"></a>\n  <div class=\"singer_info\">\n"
           "    <h2 class=\"singer_name\">" +
           name + "</h2>\n    <p class=\"fans\">粉丝 <em class=\"nm\">" + QByteArray::number(singer.works * 3) +
           "</em></p>\n    <p class=\"des twemoji\">" + name +
           "的练习曲，一天一首。</p>\n  </div>\n</section>\n<section class=\"work\">\n  <h1 class=\"work_title\">" +
           title + "</h1>\n  <div class=\"stat\">\n    <span class=\"audience info\"><em>" + counter(37, 100000) +
           "</em>次播放</span>\n    <span class=\"presents info\"><em>" + counter(7, 1000) +
           "</em>个礼物</span>\n    <span class=\"share info\"><em>" + counter(3, 100) +
           "</em>次转发</span>\n    <span class=\"comment info\"><em>" + counter(11, 500) +
           "</em>条评论</span>\n  </div>\n  <div id=\"player\"></div>\n</section>\n"
           "<script>(function(){var a=\"{{site}}/userdata/userwork/109/" +
           id +
           ".mp3\",b=document.getElementById(\"player\");if(b){var c=document.createElement(\"audio\");c.src=a;"
           "c.controls=true;b.appendChild(c);}})();</script>\n</body>\n</html>\n";
}

// A generated work's song: silent MPEG-1 Layer III frames (64 kbit/s, 44.1
// kHz, mono, 208 bytes each), as many as follow from its number, with the
// work id in the first frame's unused main data so no two songs are alike.
QByteArray generatedSong(const GeneratedWork &work)
{
    constexpr int kFrameBytes = 208;
    constexpr int kSideInfoBytes = 17;
    const int frames = 24 + work.number % 16;
    QByteArray frame(kFrameBytes, '\0');
    frame[0] = '\xff';
    frame[1] = '\xfb';
    frame[2] = '\x50';
    frame[3] = '\xc4';
    QByteArray song = frame.repeated(frames);
    const QByteArray id = generatedWorkId(*work.singer, work.number);
    song.replace(4 + kSideInfoBytes, id.size(), id);
    return song;
}

// The page or file a generated singer or work has at this address; no
// answer when the address is none of theirs.
std::optional<HttpResponse> generatedAnswer(const HttpRequest &request)
{
    const QString &path = request.path;
    if (path == QLatin1String("/userPage.php")) {
        if (const GeneratedSinger *singer = generatedSinger(request.query.queryItemValue(QStringLiteral("uid"))))
            return HttpResponse::text(200, generatedSingerPage(*singer), "text/html; charset=utf-8");
        return std::nullopt;
    }
    if (path.startsWith(QLatin1String("/img/avatar/")) && path.endsWith(QLatin1String(".gif")) &&
        generatedSinger(path.section(QLatin1Char('/'), -1).chopped(4)))
        return serveBody(request, QByteArray(kGeneratedAvatar, sizeof(kGeneratedAvatar) - 1), path);
    if (path.startsWith(QLatin1String("/s/"))) {
        if (const GeneratedWork work = generatedWork(path.mid(3)); work.singer)
            return serveBody(request, generatedSongPage(work), QStringLiteral("page.html"));
        return std::nullopt;
    }
    if (path.startsWith(QLatin1String("/userdata/userwork/")) && path.endsWith(QLatin1String(".mp3"))) {
        if (const GeneratedWork work = generatedWork(path.section(QLatin1Char('/'), -1).chopped(4)); work.singer)
            return serveBody(request, generatedSong(work), path);
    }
    return std::nullopt;
}

} // namespace

HttpResponse rangedBody(const HttpRequest &request, const QByteArray &body, const QByteArray &contentType)
{
    HttpResponse response = HttpResponse::text(200, body, contentType);
    response.withHeader("Accept-Ranges", "bytes");
    // The tag names these very bytes, so a range asked for under another tag
    // (If-Range) gets the whole new body.
    const QByteArray etag = '"' + QCryptographicHash::hash(body, QCryptographicHash::Md5).toHex().left(16) + '"';
    response.withHeader("ETag", etag);
    const QByteArray size = QByteArray::number(body.size());
    const QByteArray tie = request.header("if-range");
    if (const auto range = wantedRange(request.header("range"), body.size()); range && (tie.isEmpty() || tie == etag)) {
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
            if (wid.isEmpty() || (fileFor(base, QStringLiteral("/s/") + wid + QStringLiteral(".html")).isEmpty() &&
                                  !generatedWork(wid).singer))
                return HttpResponse::text(200, QByteArray());
            return HttpResponse::text(200, "http://" + host + "/s/" + wid.toUtf8());
        }

        if (std::optional<HttpResponse> answer = generatedAnswer(request))
            return *answer;

        const QString file = siteFile(base, request);
        if (file.isEmpty())
            return notFound();
        return serveFile(request, file);
    };
}
