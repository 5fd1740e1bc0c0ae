#include "cli/batchreport.h"
#include "cli/desktopnotifier.h"
#include "cli/followcommand.h"
#include "cli/manners.h"
#include "cli/options.h"
#include "cli/runjob.h"
#include "cli/stop.h"
#include "cli/terminal.h"
#include "works/followsync.h"

#include <QDir>
#include <QSet>

namespace cli {

namespace {

int usage(const QString &problem)
{
    print(stderr, QStringLiteral("sync: %1\nusage: cantora-cli sync %2 [--notify]\n")
                      .arg(problem, QLatin1String(kBatchSynopsis)));
    return 2;
}

// What the desktop is told of `sync`: the new works and the singers they came
// from, the singers that failed and the first cause.
SyncNews newsOf(const works::FollowSync &sync)
{
    SyncNews news;
    news.newWorks = sync.progress().done;
    QSet<QString> withNew, failed;
    for (const works::SingerFailure &failure : sync.singerFailures()) {
        failed.insert(failure.address);
        if (news.firstCause.isEmpty())
            news.firstCause = QStringLiteral("%1: %2").arg(failure.address, failure.reason);
    }
    for (const download::WorkOutcome &outcome : sync.outcomes()) {
        if (outcome.status == download::WorkOutcome::Status::Done)
            withNew.insert(outcome.singer);
        if (outcome.status != download::WorkOutcome::Status::Failed)
            continue;
        failed.insert(outcome.singer);
        if (news.firstCause.isEmpty())
            news.firstCause = QStringLiteral("%1: %2").arg(outcome.title.isEmpty() ? outcome.source : outcome.title,
                                                           download::outcomeText(outcome));
    }
    if (news.firstCause.isEmpty())
        news.firstCause = sync.archiveFailure();
    news.singersWithNew = int(withNew.size());
    news.singersFailed = int(failed.size());
    return news;
}

} // namespace

int runSync(const QStringList &arguments)
{
    download::BatchOptions options = defaultBatchOptions();
    options.archiveFile = works::defaultArchivePath();
    options.jobs = works::kSyncJobs;
    bool notify = false;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString &word = arguments.at(i);
        if (QString problem; takeBatchOption("sync", arguments, i, options, problem)) {
            if (!problem.isEmpty())
                return usage(problem);
        } else if (word == QLatin1String("--notify")) {
            notify = true;
        } else {
            return usage(QStringLiteral("unknown word %1").arg(word));
        }
    }
    QDir().mkpath(QFileInfo(options.archiveFile).absolutePath());
    if (const QString problem = download::Archive::problem(options.archiveFile); !problem.isEmpty())
        return usage(problem);

    works::FollowList list;
    if (!loadFollowList(list))
        return 1;
    if (list.singers().isEmpty()) {
        print(stderr, QStringLiteral("sync: no singer followed yet (cantora-cli follow add SINGER_URL)\n"));
        return 0;
    }

    works::FollowSync sync(config(), list.singers(), options);
    // Through the notification too: a stop while the desktop is asked ends it tidily.
    const StopScope listening;
    const int status = runJob(sync, "sync");
    if (sync.foundAnotherRunning()) {
        print(stderr, QStringLiteral("sync: %1\n").arg(works::FollowSync::anotherRunningText()));
        return 0;
    }
    works::rememberNames(sync.singers());
    // A stopped sync is not told about: whoever stopped it is there.
    if (notify && !stopRequested()) {
        BusNotifier notifier;
        announceSync(notifier, newsOf(sync));
    }
    return status;
}

} // namespace cli
