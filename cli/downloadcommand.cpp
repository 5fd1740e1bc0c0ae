#include "cli/downloadcommand.h"

#include "cli/batchreport.h"
#include "cli/manners.h"
#include "cli/options.h"
#include "cli/stop.h"
#include "cli/terminal.h"
#include "download/batchqueue.h"
#include "download/filename.h"
#include "page/pagefetcher.h"
#include "works/following.h"
#include "works/harvest.h"
#include "works/playlist.h"

#include <QDir>
#include <QEventLoop>
#include <QUrlQuery>

namespace cli {

namespace {

int usage(const QString &problem)
{
    print(stderr,
          QStringLiteral("download: %1\nusage: cantora-cli download %2 (URL... | --singer SINGER_URL [--playlist])\n")
              .arg(problem, QLatin1String(kBatchSynopsis)));
    return 2;
}

} // namespace

int runDownload(const QStringList &arguments)
{
    download::BatchOptions options = defaultBatchOptions();
    QStringList sources;
    QString singer;
    bool playlist = false;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString &word = arguments.at(i);
        const bool hasValue = i + 1 < arguments.size();
        if (QString problem; takeBatchOption("download", arguments, i, options, problem)) {
            if (!problem.isEmpty())
                return usage(problem);
        } else if (word == QLatin1String("--singer")) {
            if (!hasValue)
                return usage(QStringLiteral("--singer needs a singer page address"));
            singer = arguments.at(++i);
        } else if (word == QLatin1String("--playlist")) {
            playlist = true;
        } else if (word.startsWith(QLatin1Char('-'))) {
            return usage(QStringLiteral("unknown option %1").arg(word));
        } else {
            sources.append(word);
        }
    }
    if (sources.isEmpty() == singer.isEmpty())
        return usage(QStringLiteral("give song page addresses or --singer, not both or neither"));
    if (playlist && singer.isEmpty())
        return usage(QStringLiteral("--playlist goes with --singer"));
    if (!options.archiveFile.isEmpty()) {
        if (const QString problem = download::Archive::problem(options.archiveFile); !problem.isEmpty())
            return usage(problem);
    }

    const AppConfig &site = config();
    download::BatchQueue queue(site, options);
    QString playlistName; // the singer's, as the page shows it
    QStringList newestFirst;
    for (const QString &source : std::as_const(sources))
        queue.addSongPage(source);
    if (!singer.isEmpty()) {
        const works::HarvestStatus check = works::checkSingerAddress(singer);
        if (check != works::HarvestStatus::Fetching)
            return usage(works::statusText(check));
        PageFetcher fetcher;
        fetcher.setTimeLimit(site.pageTimeoutMs);
        const FetchResult page = fetcher.GetBody(singer);
        works::HarvestSlots table;
        table[0] = page.text;
        const qint16 markers = page.status == FetchStatus::Ok ? works::countMarkers(table[0]) : 0;
        if (markers < 2) {
            print(stderr, works::statusText(page.status == FetchStatus::Ok ? works::HarvestStatus::NoWorks
                                                                           : works::HarvestStatus::NoPage) +
                              QLatin1Char('\n'));
            return 1;
        }
        for (const works::WorkRow &row : works::fillRows(table, markers)) {
            newestFirst << site.playAddressService(row.id);
            queue.addServiceAddress(newestFirst.constLast());
        }
        const QString name = works::singerNameOn(page.text);
        const QString uid = QUrlQuery(QUrl(singer, QUrl::TolerantMode)).queryItemValue(QStringLiteral("uid"));
        playlistName =
            download::safeFileName(name.isEmpty() ? QStringLiteral("uid ") + uid : name, QStringLiteral(".m3u8"));
    }

    BatchReport report(BatchReport::forThisRun());
    report.attach(queue);
    QEventLoop loop;
    QObject::connect(&queue, &download::BatchQueue::finished, &loop, &QEventLoop::quit);
    // From here a stop ends the transfers and keeps their .part files.
    const StopScope listening;
    QObject::connect(StopSignal::instance(), &StopSignal::stopRequested, &queue, &download::BatchQueue::stop);
    queue.start();
    if (stopRequested())
        queue.stop();
    loop.exec();

    bool allDone = true;
    for (const download::WorkOutcome &outcome : queue.outcomes())
        allDone = allDone && (outcome.status == download::WorkOutcome::Status::Done ||
                              outcome.status == download::WorkOutcome::Status::Skipped);
    if (!queue.archiveFailure().isEmpty())
        print(stderr, QStringLiteral("download: %1\n").arg(queue.archiveFailure()));
    // The folder may hold other singers' works: the playlist lists this singer's alone.
    if (playlist) {
        const QString problem = works::keepPlaylist(QDir(options.folder).filePath(playlistName),
                                                    works::savedWorks(queue.outcomes(), newestFirst), false);
        if (!problem.isEmpty())
            print(stderr, QStringLiteral("download: %1\n").arg(problem));
    }
    return allDone && queue.outcomes().size() == queue.progress().total && queue.archiveFailure().isEmpty() ? 0 : 1;
}

} // namespace cli
