// Downloads one large file from a loopback server three ways in the same run:
// with curl, and with the window's downloader driven the way the window drives
// it (progress listener and progress bar attached). Prints both throughputs,
// their ratio and the longest gap between two ticks of a 10 ms window timer
// during the downloader's transfer.
//
//   bench_download [MiB] [rounds]      (defaults: 64 MiB, 3 rounds)
//
// The nested mode serves an endless MP3 as fast as loopback goes and, after
// the first block, keeps the window in a nested event loop (as the stop
// question or the save dialog do) for the given seconds; it prints how much
// the resident memory grew meanwhile, with and without an announced length.
//
//   bench_download nested [seconds]    (default: 10 s)

#include "app/downloadpanel.h"
#include "app/form1.h"
#include "app/songpanel.h"
#include "bench/resident.h"
#include "download/cls_download.h"
#include "site/httpserver.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

struct Round
{
    double curlMiBs = 0;
    double ownMiBs = 0;
    qint64 longestGapMs = 0;
    qint64 blocks = 0;
};

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0.0 : values[values.size() / 2];
}

// curl's own timing, so starting the process is not counted.
double curlRate(const QString &url, const QString &target, qint64 size)
{
    QProcess curl;
    curl.start(QStringLiteral("curl"), {QStringLiteral("-s"), QStringLiteral("-o"), target, QStringLiteral("-w"),
                                        QStringLiteral("%{time_total}"), url});
    if (!curl.waitForFinished(120000) || curl.exitCode() != 0)
        return 0.0;
    const double seconds = QString::fromUtf8(curl.readAllStandardOutput()).trimmed().toDouble();
    if (seconds <= 0 || QFile(target).size() != size)
        return 0.0;
    return static_cast<double>(size) / (1024.0 * 1024.0) / seconds;
}

int nestedWait(int seconds)
{
    QByteArray chunk(1024 * 1024, Qt::Uninitialized);
    QRandomGenerator(9).fillRange(reinterpret_cast<quint32 *>(chunk.data()), chunk.size() / 4);
    LoopbackServer server;
    if (!server.start()) {
        std::fprintf(stderr, "cannot listen on 127.0.0.1\n");
        return 1;
    }
    QTemporaryDir folder;
    for (const bool announced : {false, true}) {
        server.setHandler([&chunk, announced](const HttpRequest &) {
            HttpResponse response = HttpResponse::text(200, chunk, "audio/mpeg");
            response.endless = true;
            if (announced)
                response.announcedLength = qint64(3) << 30;
            else
                response.framing = HttpResponse::Framing::UntilClose;
            return response;
        });
        Cls_DownLoad downloader;
        qint64 before = 0;
        qint64 after = 0;
        bool waited = false;
        QObject::connect(&downloader, &Cls_DownLoad::entDLFileDowning, [&] {
            if (waited)
                return;
            waited = true;
            before = residentBytes();
            QEventLoop question;
            QTimer::singleShot(seconds * 1000, &question, &QEventLoop::quit);
            question.exec();
            after = residentBytes();
            downloader.DLFileStop();
        });
        const qint64 written = downloader.DLFile(server.base() + QStringLiteral("/endless.mp3"),
                                                 folder.filePath(QStringLiteral("e.mp3")), 10000);
        std::printf("endless body, %s: RSS %lld KiB before the %d s nested wait, %lld KiB after: growth %.1f MiB "
                    "(%lld bytes written)\n",
                    announced ? "3 GiB announced" : "no length", static_cast<long long>(before / 1024), seconds,
                    static_cast<long long>(after / 1024), static_cast<double>(after - before) / (1024.0 * 1024.0),
                    static_cast<long long>(written));
        std::fflush(stdout);
    }
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.value(1) == QLatin1String("nested"))
        return nestedWait(args.size() > 2 ? args[2].toInt() : 10);
    const qint64 mib = args.size() > 1 ? args[1].toLongLong() : 64;
    const int rounds = args.size() > 2 ? args[2].toInt() : 3;
    const qint64 size = mib * 1024 * 1024;
    if (mib <= 0 || rounds <= 0 || QStandardPaths::findExecutable(QStringLiteral("curl")).isEmpty()) {
        std::fprintf(stderr, "usage: bench_download [MiB] [rounds]; needs curl on the PATH\n");
        return 2;
    }

    QByteArray body(size, Qt::Uninitialized);
    QRandomGenerator generator(4);
    generator.fillRange(reinterpret_cast<quint32 *>(body.data()), body.size() / 4);

    LoopbackServer server;
    if (!server.start()) {
        std::fprintf(stderr, "cannot listen on 127.0.0.1\n");
        return 1;
    }
    server.setHandler([&body](const HttpRequest &request) {
        if (request.path == QLatin1String("/version/main.txt"))
            return HttpResponse::text(200, "kw:V3.3|");
        HttpResponse response = HttpResponse::text(200, body, "audio/mpeg");
        return response;
    });
    const QString url = server.base() + QStringLiteral("/userdata/userwork/109/1109.mp3");

    QTemporaryDir folder;
    AppConfig config = AppConfig::fromBuild();
    config.updateBase = server.base();
    config.programFolder = folder.path();
    Form1 window(config, Platform::desktop());
    window.load();

    std::vector<Round> results;
    for (int round = 0; round < rounds; ++round) {
        Round r;
        r.curlMiBs = curlRate(url, folder.filePath(QStringLiteral("curl.mp3")), size);

        QElapsedTimer sinceTick;
        QTimer ticker;
        ticker.setInterval(10);
        QObject::connect(&ticker, &QTimer::timeout,
                         [&] { r.longestGapMs = std::max(r.longestGapMs, sinceTick.restart()); });
        const auto counter = QObject::connect(window.Cdf, &Cls_DownLoad::entDLFileDowning, [&] { ++r.blocks; });
        const QString target = folder.filePath(QStringLiteral("own.mp3"));
        // A fresh target, as for a song not downloaded before: freeing the
        // blocks of an old 64 MiB file is the file system's work, not ours.
        QFile::remove(target);
        QElapsedTimer clock;
        ticker.start();
        sinceTick.start();
        clock.start();
        const qint64 written = window.Cdf->DLFile(url, target, window.downloadPanel().DownloadTimeOut);
        const double seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
        ticker.stop();
        QObject::disconnect(counter);
        if (written != size || QFile(target).size() != size) {
            std::fprintf(stderr, "round %d: the downloader wrote %lld of %lld bytes\n", round + 1,
                         static_cast<long long>(written), static_cast<long long>(size));
            return 1;
        }
        r.ownMiBs = static_cast<double>(size) / (1024.0 * 1024.0) / seconds;
        results.push_back(r);
        std::printf("round %d: curl %8.1f MiB/s   Cls_DownLoad %7.1f MiB/s   ratio %.3f   "
                    "longest 10 ms timer gap %lld ms   progress events %lld\n",
                    round + 1, r.curlMiBs, r.ownMiBs, r.curlMiBs > 0 ? r.ownMiBs / r.curlMiBs : 0.0,
                    static_cast<long long>(r.longestGapMs), static_cast<long long>(r.blocks));
        std::fflush(stdout);
    }

    std::vector<double> curl, own, ratio;
    qint64 worstGap = 0;
    for (const Round &r : results) {
        curl.push_back(r.curlMiBs);
        own.push_back(r.ownMiBs);
        ratio.push_back(r.curlMiBs > 0 ? r.ownMiBs / r.curlMiBs : 0.0);
        worstGap = std::max(worstGap, r.longestGapMs);
    }
    std::printf("median of %d rounds, %lld MiB: curl %.1f MiB/s, Cls_DownLoad %.1f MiB/s, ratio %.3f; "
                "longest timer gap over all rounds %lld ms\n",
                rounds, static_cast<long long>(mib), median(curl), median(own), median(ratio),
                static_cast<long long>(worstGap));
    return 0;
}
