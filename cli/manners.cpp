#include "cli/manners.h"

#include "download/batchqueue.h"
#include "download/ratelimit.h"
#include "download/requestpacer.h"

#include <cmath>

namespace cli {

bool Manners::take(const QStringList &arguments, int &i, QString &problem)
{
    const QString &word = arguments.at(i);
    const bool rate = word == QLatin1String("--limit-rate");
    if (!rate && word != QLatin1String("--sleep-requests"))
        return false;
    const QString value = i + 1 < arguments.size() ? arguments.at(++i) : QString();
    if (rate) {
        const qint64 bytesPerSecond = download::RateLimit::parse(value);
        if (bytesPerSecond <= 0)
            problem = QStringLiteral("--limit-rate needs a rate such as 500K or 2M");
        else
            rateLimit = std::make_shared<download::RateLimit>(bytesPerSecond);
        return true;
    }
    bool ok = false;
    const double seconds = value.toDouble(&ok);
    if (!ok || !std::isfinite(seconds) || seconds < 0 || seconds > 3600)
        problem = QStringLiteral("--sleep-requests needs a number of seconds from 0 to 3600");
    else
        sleepRequestsMs = int(std::lround(seconds * 1000));
    return true;
}

void Manners::applyTo(download::BatchOptions &options) const
{
    options.rateLimit = rateLimit;
    options.pacer = std::make_shared<download::RequestPacer>(sleepRequestsMs);
}

} // namespace cli
