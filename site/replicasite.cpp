#include "site/replicasite.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

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

HttpHandler replicaSite(const QString &root)
{
    const QString base = QDir(root).canonicalPath();
    return [base](const HttpRequest &request) -> HttpResponse {
        if (request.method != "GET" && request.method != "HEAD")
            return HttpResponse::text(400, "only GET is served here");

        QString path = request.path;
        if (path.endsWith(QLatin1Char('/')))
            path += QStringLiteral("index.html");
        const QString wanted = QDir::cleanPath(base + QLatin1Char('/') + path);
        const QFileInfo file(wanted);
        // Nothing outside the site folder is served, however the path is spelled.
        if (base.isEmpty() || !file.canonicalFilePath().startsWith(base + QLatin1Char('/')) || !file.isFile())
            return HttpResponse::text(404, "<html><body><h1>404 Not Found</h1></body></html>",
                                      "text/html; charset=utf-8");

        QFile content(file.canonicalFilePath());
        if (!content.open(QIODevice::ReadOnly))
            return HttpResponse::text(403, "forbidden");
        HttpResponse response = HttpResponse::text(200, content.readAll(), contentTypeFor(file.fileName()));
        if (request.method == "HEAD") {
            response.announcedLength = response.body.size();
            response.body.clear();
        }
        return response;
    };
}
