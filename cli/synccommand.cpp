#include "cli/desktopnotifier.h"
#include "cli/followcommand.h"
#include "cli/manners.h"
#include "cli/options.h"
#include "cli/stop.h"
#include "works/followsync.h"

#include <QDir>
#include <QEventLoop>
#include <QSet>
#include <QStandardPaths>
#include <QTextStream>

#include <climits>
#include <cstdio>
#include <unistd.h>

namespace cli {

namespace {

int usage(const QString &problem)
{
    QTextStream(stderr) << "sync: " << problem
                        << "\nusage: cantora-cli sync [-o DIR] [-j N] [--archive FILE] [--tag] [--notify] "
                           "[--retries N] "
                        << kMannersSynopsis << '\n';
    return 2;
}

void sayLine(FILE *stream, const QString &text)
{
    std::fputs((text + QLatin1Char('\n')).toUtf8().constData(), stream);
    std::fflush(stream);
}

} // namespace

int runSync(const QStringList &arguments)
{
    works::SyncOptions options;
    options.folder = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
    if (options.folder.isEmpty())
        options.folder = QStringLiteral(".");
    options.archiveFile = works::defaultArchivePath();
    Manners manners;
    bool notify = false;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString &word = arguments.at(i);
        const bool hasValue = i + 1 < arguments.size();
        const auto number = [&](int lowest, int highest, int &into) {
            bool ok = false;
            const int value = hasValue ? arguments.at(++i).toInt(&ok) : 0;
            if (!ok || value < lowest || value > highest)
                return false;
            into = value;
            return true;
        };
        QString problem;
        if (word == QLatin1String("-o") || word == QLatin1String("--output")) {
            if (!hasValue)
                return usage(QStringLiteral("%1 needs a folder").arg(word));
            options.folder = arguments.at(++i);
        } else if (word == QLatin1String("-j") || word == QLatin1String("--jobs")) {
            if (!number(1, INT_MAX, options.jobs))
                return usage(QStringLiteral("-j needs a number of 1 or more"));
            if (options.jobs > download::BatchQueue::kMaxJobs) {
                sayLine(stderr, QStringLiteral("sync: -j %1 is more than %2 transfers at once; running %2")
                                    .arg(options.jobs)
                                    .arg(download::BatchQueue::kMaxJobs));
                options.jobs = download::BatchQueue::kMaxJobs;
            }
        } else if (word == QLatin1String("--retries")) {
            if (!number(0, 100, options.retries))
                return usage(QStringLiteral("--retries needs a number from 0 to 100"));
        } else if (word == QLatin1String("--archive")) {
            if (!hasValue)
                return usage(QStringLiteral("--archive needs a file"));
            options.archiveFile = arguments.at(++i);
        } else if (word == QLatin1String("--tag")) {
            options.tag = true;
        } else if (word == QLatin1String("--notify")) {
            notify = true;
        } else if (manners.take(arguments, i, problem)) {
            if (!problem.isEmpty())
                return usage(problem);
        } else {
            return usage(QStringLiteral("unknown word %1").arg(word));
        }
    }
    options.rateLimit = manners.rateLimit;
    options.sleepRequestsMs = manners.sleepRequestsMs;
    QDir().mkpath(QFileInfo(options.archiveFile).absolutePath());
    if (const QString problem = download::Archive::problem(options.archiveFile); !problem.isEmpty())
        return usage(problem);

    works::FollowList list;
    if (!loadFollowList(list))
        return 1;
    if (list.singers().isEmpty()) {
        sayLine(stderr, QStringLiteral("sync: no singer followed yet (cantora-cli follow add SINGER_URL)"));
        return 0;
    }

    works::FollowSync sync(config(), list.singers(), options);
    const bool live = ::isatty(STDERR_FILENO) == 1;
    QObject::connect(&sync, &works::FollowSync::workFinished, [](const download::WorkOutcome &outcome) {
        if (outcome.status == download::WorkOutcome::Status::Done)
            sayLine(stdout, QDir::toNativeSeparators(outcome.path));
        else if (outcome.status == download::WorkOutcome::Status::Failed)
            sayLine(stderr, QStringLiteral("失败 %1: %2")
                                .arg(outcome.title.isEmpty() ? outcome.source : outcome.title, outcome.reason));
    });
    QObject::connect(&sync, &works::FollowSync::singerFailed, [](const works::SingerFailure &failure) {
        sayLine(stderr, QStringLiteral("失败 %1: %2").arg(failure.address, failure.reason));
    });
    if (live)
        QObject::connect(&sync, &works::FollowSync::progressChanged, [](const download::BatchProgress &progress) {
            std::fputs((QStringLiteral("\r\x1b[K") + download::batchStatusText(progress)).toUtf8().constData(), stderr);
        });
    QEventLoop loop;
    QObject::connect(&sync, &works::FollowSync::finished, &loop, &QEventLoop::quit);
    // From here a stop ends the transfers and keeps their .part files.
    const StopScope listening;
    QObject::connect(StopSignal::instance(), &StopSignal::stopRequested, &sync, &works::FollowSync::stop);
    sync.start();
    if (stopRequested())
        sync.stop();
    loop.exec();

    if (live)
        std::fputs("\r\x1b[K", stderr);
    sayLine(stderr, download::batchSummaryText(sync.progress()));
    works::rememberNames(sync.singers());
    if (notify) {
        QSet<QString> singers;
        for (const download::WorkOutcome &outcome : sync.outcomes()) {
            if (outcome.status == download::WorkOutcome::Status::Done)
                singers.insert(outcome.singer);
        }
        BusNotifier notifier;
        announceNewWorks(notifier, sync.progress().done, int(singers.size()));
    }
    return sync.anyFailed() || stopRequested() ? 1 : 0;
}

} // namespace cli
