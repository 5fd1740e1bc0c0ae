// cantora-site: the replica site on 127.0.0.1, for the demo.
//   cantora-site [--port N] [--root DIR]

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
    parser.addOption(portOption);
    parser.addOption(rootOption);
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

    HttpServer server;
    server.setHandler(replicaSite(root));
    if (!server.listen(QHostAddress::LocalHost, static_cast<quint16>(port))) {
        err << "cantora-site: cannot listen on 127.0.0.1:" << port << ": " << server.errorString() << Qt::endl;
        return 1;
    }
    QTextStream(stdout) << "cantora-site: serving " << QDir(root).absolutePath() << " on http://127.0.0.1:" << port
                        << Qt::endl;
    return app.exec();
}
