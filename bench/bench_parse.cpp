// How long a song-page lookup takes on a large page: the cut alone, and the
// whole press of the parse button (fetch over loopback, cut, labels, avatar).
// Run: build/bench/bench_parse [megabytes]   (QT_QPA_PLATFORM=offscreen is set here)

#include "app/downloadpanel.h"
#include "app/form1.h"
#include "app/songpanel.h"
#include "page/songparser.h"
#include "site/httpserver.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>

#include <cstdio>

namespace {

// A song page padded with ordinary markup up to `bytes`, its facts at the end
// of the head and body as on the site, so every search runs far.
QByteArray bigPage(const QString &base, qint64 bytes)
{
    QByteArray filler;
    const QByteArray row = "<li class=\"comment-row\"><a href=\"/u/1\">听众</a><p>好听！支持一下～</p></li>\n";
    while (filler.size() < bytes)
        filler += row;
    const QByteArray site = base.toUtf8();
    return "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>晴天 - 林小夏Cantora 唱出你的声音</title>"
           "</head><body>" +
           filler + "<img src=\"" + site + "/img/a.gif\"><em class=\"nm\">12873</em><p class=\"des twemoji\">hi</p>" +
           "<span class=\"audience info\"><em>1</em></span><span class=\"presents info\"><em>2</em></span>"
           "<span class=\"share info\"><em>3</em></span><span class=\"comment info\"><em>4</em></span>"
           "<script src=\"" +
           site + "/video/player?wid=1&amp;a=1\"></script><script>(function(){var a=\"" + site +
           "/userdata/userwork/a109/5200109.mp3\",b=1;})();</script></body></html>";
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const double megabytes = argc > 1 ? QByteArray(argv[1]).toDouble() : 2.0;
    const qint64 size = static_cast<qint64>(megabytes * 1024 * 1024);

    LoopbackServer server;
    if (!server.start())
        return 1;
    const QByteArray page = bigPage(server.base(), size);
    server.setHandler([&page](const HttpRequest &request) {
        if (request.path == QLatin1String("/version/main.txt"))
            return HttpResponse::text(200, "kw:V3.3|");
        if (request.path == QLatin1String("/s/1"))
            return HttpResponse::text(200, page, "text/html; charset=utf-8");
        return HttpResponse::text(404, "");
    });

    const QString text = QString::fromUtf8(page);
    const songpage::Markers markers{server.base() + QStringLiteral("/img"),
                                    server.base() + QStringLiteral("/video/player")};
    constexpr int kRounds = 20;
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < kRounds; ++i) {
        songpage::WorkingTexts texts;
        songpage::cut(text, markers, texts);
    }
    const double cutMs = clock.nsecsElapsed() / 1e6 / kRounds;

    QTemporaryDir folder;
    AppConfig config = AppConfig::fromBuild();
    config.siteBase = config.updateBase = server.base();
    config.imageHost = server.base() + QStringLiteral("/img");
    config.videoHost = server.base() + QStringLiteral("/video");
    config.programFolder = folder.path();
    Form1 window(config, Platform::desktop());
    window.load();
    window.Text1->setText(server.base() + QStringLiteral("/s/1"));
    window.songPanel().aicAlphaImage3_Click(); // warm-up
    clock.restart();
    for (int i = 0; i < kRounds; ++i)
        window.songPanel().aicAlphaImage3_Click();
    const double pressMs = clock.nsecsElapsed() / 1e6 / kRounds;

    std::printf("page size           %.2f MiB\n", page.size() / 1048576.0);
    std::printf("cut alone           %.2f ms\n", cutMs);
    std::printf("whole parse press   %.2f ms (loopback fetch, decode, cut, labels, avatar)\n", pressMs);
    std::printf("title read          %s\n", qPrintable(window.songPanel().songTitle()));
    return 0;
}
