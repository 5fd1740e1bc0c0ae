#include "cli/manners.h"

#include "cli/terminal.h"
#include "download/id3tags.h"
#include "download/outputtemplate.h"
#include "download/ratelimit.h"
#include "download/requestpacer.h"

#include <QStandardPaths>

#include <algorithm>
#include <climits>
#include <cmath>

namespace cli {

download::BatchOptions defaultBatchOptions()
{
    download::BatchOptions options;
    options.folder = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
    if (options.folder.isEmpty())
        options.folder = QStringLiteral(".");
    options.tags = std::make_shared<download::LinkedTags>();
    return options;
}

bool takeBatchOption(const char *command, const QStringList &arguments, int &i, download::BatchOptions &options,
                     QString &problem)
{
    const QString &word = arguments.at(i);
    const bool hasValue = i + 1 < arguments.size();
    // A number of `lowest` or more; larger than INT_MAX is taken as INT_MAX.
    const auto number = [&](int lowest, int &into) {
        bool ok = false;
        const qlonglong value = hasValue ? arguments.at(++i).toLongLong(&ok) : 0;
        if (!ok || value < lowest)
            return false;
        into = int(std::min<qlonglong>(value, INT_MAX));
        return true;
    };
    if (word == QLatin1String("-o")) {
        if (!hasValue)
            problem = QStringLiteral("-o needs a folder");
        else
            options.folder = arguments.at(++i);
    } else if (word == QLatin1String("--output")) {
        if (!hasValue) {
            problem = QStringLiteral("--output needs a name template such as {singer}/{title}.mp3");
        } else {
            options.nameTemplate = arguments.at(++i);
            if (const QString wrong = download::templateProblem(options.nameTemplate); !wrong.isEmpty())
                problem = QStringLiteral("--output: %1 (the folder is given with -o)").arg(wrong);
        }
    } else if (word == QLatin1String("-j") || word == QLatin1String("--jobs")) {
        if (!number(1, options.jobs)) {
            problem = QStringLiteral("-j needs a number of 1 or more");
        } else if (options.jobs > download::BatchQueue::kMaxJobs) {
            print(stderr, QStringLiteral("%1: -j %2 is more than %3 transfers at once; running %3\n")
                              .arg(QLatin1String(command))
                              .arg(options.jobs)
                              .arg(download::BatchQueue::kMaxJobs));
            options.jobs = download::BatchQueue::kMaxJobs;
        }
    } else if (word == QLatin1String("--retries")) {
        if (!number(0, options.retries))
            problem = QStringLiteral("--retries needs a number of 0 or more");
    } else if (word == QLatin1String("--archive")) {
        if (!hasValue)
            problem = QStringLiteral("--archive needs a file");
        else
            options.archiveFile = arguments.at(++i);
    } else if (word == QLatin1String("--tag")) {
        options.tag = true;
    } else if (word == QLatin1String("--force")) {
        options.skipExisting = false;
    } else if (word == QLatin1String("--limit-rate")) {
        const qint64 bytesPerSecond = hasValue ? download::RateLimit::parse(arguments.at(++i)) : 0;
        if (bytesPerSecond <= 0)
            problem = QStringLiteral("--limit-rate needs a rate such as 500K or 2M");
        else
            options.rateLimit = std::make_shared<download::RateLimit>(bytesPerSecond);
    } else if (word == QLatin1String("--sleep-requests")) {
        bool ok = false;
        const double seconds = hasValue ? arguments.at(++i).toDouble(&ok) : 0;
        if (!ok || !std::isfinite(seconds) || seconds < 0 || seconds > 3600)
            problem = QStringLiteral("--sleep-requests needs a number of seconds from 0 to 3600");
        else
            options.pacer = std::make_shared<download::RequestPacer>(int(std::lround(seconds * 1000)));
    } else {
        return false;
    }
    return true;
}

} // namespace cli
