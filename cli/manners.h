#pragma once

#include <QString>
#include <QStringList>

#include <memory>

namespace download {
class RateLimit;
struct BatchOptions;
} // namespace download

namespace cli {

// The options that keep every batch polite towards the site.
struct Manners final
{
    std::shared_ptr<download::RateLimit> rateLimit; // --limit-rate RATE, for the whole run
    int sleepRequestsMs = 0;                        // --sleep-requests SECONDS, between page requests

    // Takes "--limit-rate RATE" or "--sleep-requests SECONDS" at arguments[i]
    // (moving i past the value). False when arguments[i] is neither; a value
    // that will not do sets `problem`.
    bool take(const QStringList &arguments, int &i, QString &problem);
    // Hands them to a batch queue.
    void applyTo(download::BatchOptions &options) const;
};

// How the two options read in a command's usage line.
inline constexpr char kMannersSynopsis[] = "[--limit-rate RATE] [--sleep-requests SECONDS]";

} // namespace cli
