// How long a song-page lookup takes on a large page: the cut alone, and the
// whole press of the parse button (fetch over loopback, cut, labels, avatar);
// what the first press leaves in memory and the longest pause it makes in a
// 10 ms window timer, on a quiet machine and while a copy of the bench keeps
// one core busy. Then the same for a page whose facts (title, singer,
// description, plays) are each `fact-characters` long, repaint included.
// Run: build/bench/bench_parse [megabytes] [fact-characters]   (e.g. 30)
//      (QT_QPA_PLATFORM=offscreen is set here; defaults 2 and 1000000)

#include "app/downloadpanel.h"
#include "app/form1.h"
#include "app/songpanel.h"
#include "busycore.h"
#include "page/songparser.h"
#include "site/httpserver.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>

#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace {

// Resident memory of this process, in MiB.
double residentMiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return -1;
}

// The longest gap between ticks of a 10 ms timer while `work` runs, in ms.
template <typename Work> double longestPause(Work work)
{
    QElapsedTimer clock;
    qint64 last = 0;
    qint64 longest = 0;
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        longest = std::max(longest, now - last);
        last = now;
    });
    clock.start();
    timer.start(10);
    work();
    longest = std::max(longest, clock.nsecsElapsed() - last);
    return longest / 1e6;
}

// A small song page whose facts are each `characters` long.
QByteArray hugeFactsPage(const QString &base, int characters)
{
    const QByteArray fact(characters, 'W');
    const QByteArray site = base.toUtf8();
    return "<html><head><title>" + fact + " - " + fact + "Cantora</title></head><body><img src=\"" + site +
           "/img/a.gif\"><em class=\"nm\">1</em><p class=\"des twemoji\">" + fact +
           "</p><span class=\"audience info\"><em>" + fact + "</em></span></body></html>";
}

// A song page padded with ordinary markup up to `bytes`. With its facts at the
// end of the head and body, as on the site, every search runs far; with its
// facts first, every working text cut from it runs on to the end of the page.
QByteArray bigPage(const QString &base, qint64 bytes, bool factsFirst = false)
{
    QByteArray filler;
    const QByteArray row = "<li class=\"comment-row\"><a href=\"/u/1\">听众</a><p>好听！支持一下～</p></li>\n";
    while (filler.size() < bytes)
        filler += row;
    const QByteArray site = base.toUtf8();
    const QByteArray facts =
        "<img src=\"" + site + "/img/a.gif\"><em class=\"nm\">12873</em><p class=\"des twemoji\">hi</p>" +
        "<span class=\"audience info\"><em>1</em></span><span class=\"presents info\"><em>2</em></span>"
        "<span class=\"share info\"><em>3</em></span><span class=\"comment info\"><em>4</em></span>"
        "<script src=\"" +
        site + "/video/player?wid=1&amp;a=1\"></script><script>(function(){var a=\"" + site +
        "/userdata/userwork/a109/5200109.mp3\",b=1;})();</script>";
    return "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>晴天 - 林小夏Cantora 唱出你的声音</title>"
           "</head><body>" +
           (factsFirst ? facts + filler : filler + facts) + "</body></html>";
}

} // namespace

int main(int argc, char *argv[])
{
    spinIfBusyCore(argc, argv);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const double megabytes = argc > 1 ? QByteArray(argv[1]).toDouble() : 2.0;
    const qint64 size = static_cast<qint64>(megabytes * 1024 * 1024);
    const int factCharacters = argc > 2 ? QByteArray(argv[2]).toInt() : 1000000;

    LoopbackServer server;
    if (!server.start())
        return 1;
    const QByteArray page = bigPage(server.base(), size);
    const QByteArray factsFirstPage = bigPage(server.base(), size, true);
    const QByteArray factsPage = hugeFactsPage(server.base(), factCharacters);
    server.setHandler([&page, &factsFirstPage, &factsPage](const HttpRequest &request) {
        if (request.path == QLatin1String("/version/main.txt"))
            return HttpResponse::text(200, "kw:V3.3|");
        if (request.path == QLatin1String("/s/1"))
            return HttpResponse::text(200, page, "text/html; charset=utf-8");
        if (request.path == QLatin1String("/s/3"))
            return HttpResponse::text(200, factsFirstPage, "text/html; charset=utf-8");
        if (request.path == QLatin1String("/s/2"))
            return HttpResponse::text(200, factsPage, "text/html; charset=utf-8");
        return HttpResponse::text(404, "");
    });

    QTemporaryDir folder;
    AppConfig config = AppConfig::fromBuild();
    config.siteBase = config.updateBase = server.base();
    config.imageHost = server.base() + QStringLiteral("/img");
    config.videoHost = server.base() + QStringLiteral("/video");
    config.programFolder = folder.path();
    Form1 window(config, Platform::desktop());
    window.load();
    window.show();
    QCoreApplication::processEvents();

    // First, before anything else has used the heap: one press on the big page
    // with its facts first.
    const double rssBefore = residentMiB();
    window.Text1->setText(server.base() + QStringLiteral("/s/3"));
    const double pressPause = longestPause([&] { window.songPanel().aicAlphaImage3_Click(); });
    const double rssAfter = residentMiB();

    window.Text1->setText(server.base() + QStringLiteral("/s/1"));
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

    clock.restart();
    for (int i = 0; i < kRounds; ++i)
        window.songPanel().aicAlphaImage3_Click();
    const double pressMs = clock.nsecsElapsed() / 1e6 / kRounds;
    const QString bigTitle = window.songPanel().songTitle();
    const double quietPause = longestPause([&] { window.songPanel().aicAlphaImage3_Click(); });
    double busyPause = 0;
    {
        const BusyCore load;
        busyPause = longestPause([&] { window.songPanel().aicAlphaImage3_Click(); });
    }

    window.Text1->setText(server.base() + QStringLiteral("/s/2"));
    const double factsPause = longestPause([&] { window.songPanel().aicAlphaImage3_Click(); });
    QElapsedTimer paint;
    paint.start();
    window.repaint();
    const double repaintMs = paint.nsecsElapsed() / 1e6;

    std::printf("page size           %.2f MiB\n", page.size() / 1048576.0);
    std::printf("cut alone           %.2f ms\n", cutMs);
    std::printf("whole parse press   %.2f ms (loopback fetch, decode, cut, labels, avatar)\n", pressMs);
    std::printf("title read          %s\n", qPrintable(bigTitle));
    std::printf("RSS before / after  %.1f / %.1f MiB: +%.1f MiB, %.2fx the page (first press, facts first; target: "
                "within 3x)\n",
                rssBefore, rssAfter, rssAfter - rssBefore, (rssAfter - rssBefore) / (page.size() / 1048576.0));
    std::printf("longest 10 ms timer pause, first press: %.1f ms; a later press: %.1f ms, with one core busy "
                "beside: %.1f ms (target: under 250 ms)\n",
                pressPause, quietPause, busyPause);
    std::printf("facts of %d characters: longest timer pause %.1f ms, repaint %.1f ms, title kept whole: %s\n",
                factCharacters, factsPause, repaintMs,
                window.songPanel().songTitle().size() == factCharacters ? "yes" : "no");
    return 0;
}
