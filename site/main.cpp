// cantora-site: the replica site on 127.0.0.1, for the demo.
//   cantora-site [--port N] [--root DIR] [--audio-rate KiB]

#include "site/httpserver.h"
#include "site/replicasite.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QTextStream>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("cantora-site"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Serves the replica site on 127.0.0.1."));
    parser.addHelpOption();
    const QCommandLineOption portOption(QStringLiteral("port"), QStringLiteral("Port to listen on."),
                                        QStringLiteral("port"), QStringLiteral("18733"));
    const QCommandLineOption rootOption(QStringLiteral("root"), QStringLiteral("Folder with the site's files."),
                                        QStringLiteral("dir"), QStringLiteral(CANTORA_SITE_ROOT));
    const QCommandLineOption audioRateOption(
        QStringLiteral("audio-rate"),
        QStringLiteral("Send MP3s at most this many KiB a second, as a distant server would (0: at once)."),
        QStringLiteral("KiB"), QStringLiteral("0"));
    parser.addOption(portOption);
    parser.addOption(rootOption);
    parser.addOption(audioRateOption);
    parser.process(app);

    QTextStream err(stderr);
    bool portOk = false;
    const uint port = parser.value(portOption).toUInt(&portOk);
    if (!portOk || port == 0 || port > 65535) {
        err << "cantora-site: not a port: " << parser.value(portOption) << Qt::endl;
        return 2;
    }
    const QString root = parser.value(rootOption);
    if (!QDir(root).exists()) {
        err << "cantora-site: no such folder: " << root << Qt::endl;
        return 2;
    }

    bool rateOk = false;
    const uint audioRate = parser.value(audioRateOption).toUInt(&rateOk);
    if (!rateOk || audioRate > 1024 * 1024) {
        err << "cantora-site: not a rate: " << parser.value(audioRateOption) << Qt::endl;
        return 2;
    }

    HttpServer server;
    HttpHandler site = replicaSite(root);
    if (audioRate > 0) {
        // A tenth of the rate every 100 ms.
        site = [site, audioRate](const HttpRequest &request) {
            HttpResponse response = site(request);
            if (request.path.endsWith(QLatin1String(".mp3")) && response.status < 400) {
                response.trickleBytes = static_cast<int>(audioRate * 1024 / 10);
                response.trickleMs = 100;
            }
            return response;
        };
    }
    server.setHandler(site);
    if (!server.listen(QHostAddress::LocalHost, static_cast<quint16>(port))) {
        err << "cantora-site: cannot listen on 127.0.0.1:" << port << ": " << server.errorString() << Qt::endl;
        return 1;
    }
    QTextStream(stdout) << "cantora-site: serving " << QDir(root).absolutePath() << " on http://127.0.0.1:" << port
                        << Qt::endl;
    return app.exec();
}
