#include "cli/downloadcommand.h"

#include "cli/batchreport.h"
#include "cli/options.h"
#include "cli/stop.h"
#include "cli/terminal.h"
#include "download/batchqueue.h"
#include "download/outputtemplate.h"
#include "page/pagefetcher.h"
#include "works/harvest.h"

#include <QEventLoop>
#include <QStandardPaths>

#include <algorithm>
#include <climits>

namespace cli {

namespace {

int usage(const QString &problem)
{
    print(stderr, QStringLiteral("download: %1\nusage: cantora-cli download [-o DIR] [--output TEMPLATE] [-j N] "
                                 "[--archive FILE] [--tag] [--retries N] (URL... | --singer SINGER_URL)\n")
                      .arg(problem));
    return 2;
}

} // namespace

int runDownload(const QStringList &arguments)
{
    download::BatchOptions options;
    QStringList sources;
    QString singer;
    options.folder = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
    if (options.folder.isEmpty())
        options.folder = QStringLiteral(".");
    for (int i = 0; i < arguments.size(); ++i) {
        const QString &word = arguments.at(i);
        const bool hasValue = i + 1 < arguments.size();
        // A number of `lowest` or more; larger than `highest` is taken as `highest`.
        const auto number = [&](int lowest, int highest, int &into) {
            bool ok = false;
            const qlonglong value = hasValue ? arguments.at(++i).toLongLong(&ok) : 0;
            if (!ok || value < lowest)
                return false;
            into = int(std::min<qlonglong>(value, highest));
            return true;
        };
        if (word == QLatin1String("-o")) {
            if (!hasValue)
                return usage(QStringLiteral("-o needs a folder"));
            options.folder = arguments.at(++i);
        } else if (word == QLatin1String("--output")) {
            if (!hasValue)
                return usage(QStringLiteral("--output needs a name template such as {singer}/{title}.mp3"));
            options.nameTemplate = arguments.at(++i);
            const QString problem = download::templateProblem(options.nameTemplate);
            if (!problem.isEmpty())
                return usage(QStringLiteral("--output: %1 (the folder is given with -o)").arg(problem));
        } else if (word == QLatin1String("-j") || word == QLatin1String("--jobs")) {
            if (!number(1, INT_MAX, options.jobs))
                return usage(QStringLiteral("-j needs a number of 1 or more"));
            if (options.jobs > download::BatchQueue::kMaxJobs) {
                print(stderr, QStringLiteral("download: -j %1 is more than %2 transfers at once; running %2\n")
                                  .arg(options.jobs)
                                  .arg(download::BatchQueue::kMaxJobs));
                options.jobs = download::BatchQueue::kMaxJobs;
            }
        } else if (word == QLatin1String("--retries")) {
            if (!number(0, INT_MAX, options.retries))
                return usage(QStringLiteral("--retries needs a number of 0 or more"));
        } else if (word == QLatin1String("--archive")) {
            if (!hasValue)
                return usage(QStringLiteral("--archive needs a file"));
            options.archiveFile = arguments.at(++i);
        } else if (word == QLatin1String("--tag")) {
            options.tag = true;
        } else if (word == QLatin1String("--singer")) {
            if (!hasValue)
                return usage(QStringLiteral("--singer needs a singer page address"));
            singer = arguments.at(++i);
        } else if (word.startsWith(QLatin1Char('-'))) {
            return usage(QStringLiteral("unknown option %1").arg(word));
        } else {
            sources.append(word);
        }
    }
    if (sources.isEmpty() == singer.isEmpty())
        return usage(QStringLiteral("give song page addresses or --singer, not both or neither"));
    if (!options.archiveFile.isEmpty()) {
        if (const QString problem = download::Archive::problem(options.archiveFile); !problem.isEmpty())
            return usage(problem);
    }

    const AppConfig &site = config();
    download::BatchQueue queue(site, options);
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
        for (const works::WorkRow &row : works::fillRows(table, markers))
            queue.addServiceAddress(site.playAddressService(row.id));
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
    return allDone && queue.outcomes().size() == queue.progress().total && queue.archiveFailure().isEmpty() ? 0 : 1;
}

} // namespace cli
