#include "cli/downloadcommand.h"

#include "cli/batchreport.h"
#include "cli/manners.h"
#include "cli/options.h"
#include "cli/runjob.h"
#include "cli/terminal.h"
#include "download/batchqueue.h"
#include "works/followsync.h"
#include "works/harvest.h"

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

    if (!singer.isEmpty()) {
        const works::HarvestStatus check = works::checkSingerAddress(singer);
        if (check != works::HarvestStatus::Fetching)
            return usage(works::statusText(check));
    }
    if (singer.isEmpty()) {
        download::BatchQueue queue(config(), options);
        for (const QString &source : std::as_const(sources))
            queue.addSongPage(source);
        return runJob(queue, "download");
    }
    // A singer's works are the same job as a sync of one singer, in the folder itself.
    works::FollowSync sync(config(), QList<works::FollowedSinger>{{singer, QString()}}, options);
    sync.setOneSinger(playlist);
    const int status = runJob(sync, "download");
    if (!sync.playlistFailure().isEmpty())
        print(stderr, QStringLiteral("download: %1\n").arg(sync.playlistFailure()));
    return status;
}

} // namespace cli
