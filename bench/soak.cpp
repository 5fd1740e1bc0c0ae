// Soak: repeats lookups, plays, downloads, harvests and double-click lookups
// against the replica site for a long while and reports how the program's
// memory grows. Not part of CI.
// Run: build/bench/soak [minutes=30] [warm-up minutes=3]

#include "app/form1.h"
#include "player/mciinterpreter.h"
#include "player/qtmediadevice.h"
#include "site/httpserver.h"
#include "site/replicasite.h"
#include "support/fakes.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <cstdio>
#include <functional>

namespace {

double residentMiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    }
    return 0;
}

// Lets the window run until `done` holds or `ms` have passed.
bool runUntil(const std::function<bool()> &done, int ms)
{
    QDeadlineTimer deadline(ms);
    while (!done() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const double minutes = argc > 1 ? QByteArray(argv[1]).toDouble() : 30.0;
    const double warmUp = argc > 2 ? QByteArray(argv[2]).toDouble() : 3.0;

    LoopbackServer server;
    if (!server.start())
        return 1;
    server.setHandler(replicaSite(QStringLiteral(CANTORA_SITE_ROOT)));
    QTemporaryDir folder;

    // Quiet stand-ins for the desktop, with the real player.
    FakePlatform fakes;
    Platform platform = fakes.make();
    platform.mci = std::make_unique<MciInterpreter>([] { return std::make_unique<QtMediaDevice>(); });
    AppConfig config = testConfig(server.base(), folder.path());
    config.audioHostTemplate = QStringLiteral("127.0.0.%1:") + QString::number(server.port());
    Form1 window(config, std::move(platform));
    window.load();
    if (!window.Text1->isEnabled()) {
        std::fprintf(stderr, "the window did not unlock\n");
        return 1;
    }

    const QStringList works = {QStringLiteral("5200109"), QStringLiteral("5201109"), QStringLiteral("5202109"),
                               QStringLiteral("5203109")};
    QElapsedTimer clock;
    clock.start();
    double warmRss = 0;
    double peakRss = 0;
    int rounds = 0;
    int failures = 0;
    int nextReport = 0;
    std::printf("minute  rounds  RSS MiB\n");
    while (clock.elapsed() < minutes * 60000) {
        const QString id = works.at(rounds % works.size());

        window.Text1->setText(server.base() + QStringLiteral("/s/") + id);
        window.aicAlphaImage3_Click();
        failures += window.songRecord().audioAddress.contains(id) ? 0 : 1;

        window.Command7->click(); // play
        runUntil([] { return false; }, 150);
        window.Command7->click();  // stop
        window.Command16->click(); // re-resolve and play
        runUntil([] { return false; }, 100);

        window.Command2->click(); // the download panel with its default path
        window.Command6->click(); // runs to the end
        failures += QFile::exists(window.downloadPath()) ? 0 : 1;
        QFile::remove(window.downloadPath());

        // Every fifth round the singer with thousands of works.
        const QString uid = rounds % 5 == 4 ? QStringLiteral("1004") : QStringLiteral("1001");
        window.ListView1->clear();
        window.Text2->setText(server.base() + QStringLiteral("/userPage.php?uid=") + uid);
        window.Command10->click();
        if (!runUntil([&] { return window.ListView1->topLevelItemCount() > 0 && window.Command10->isEnabled(); },
                      10000))
            ++failures;
        if (QTreeWidgetItem *row = window.ListView1->topLevelItem(rounds % 3)) {
            window.ListView1->setCurrentItem(row);
            const QRect at = window.ListView1->visualItemRect(row);
            QTest::mouseDClick(window.ListView1->viewport(), Qt::LeftButton, {}, at.center());
        }

        ++rounds;
        const double rss = residentMiB();
        peakRss = std::max(peakRss, rss);
        const qint64 elapsedMin = clock.elapsed() / 60000;
        if (warmRss == 0 && clock.elapsed() >= warmUp * 60000)
            warmRss = rss;
        if (elapsedMin >= nextReport) {
            std::printf("%6lld  %6d  %7.1f\n", elapsedMin, rounds, rss);
            std::fflush(stdout);
            nextReport = int(elapsedMin) + 1;
        }
    }
    window.close();
    const double endRss = residentMiB();
    if (warmRss == 0)
        warmRss = endRss;
    std::printf("\nrounds %d (each: lookup, play, stop, re-resolve, download, harvest, double-click), failures %d\n",
                rounds, failures);
    std::printf("RSS after warm-up %.1f MiB, at the end %.1f MiB, peak %.1f MiB\n", warmRss, endRss, peakRss);
    std::printf("growth after warm-up %.1f MiB (%.1f%%)\n", endRss - warmRss, 100.0 * (endRss - warmRss) / warmRss);
    return failures == 0 ? 0 : 2;
}
