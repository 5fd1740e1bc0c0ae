#pragma once

#include <QString>
#include <QStringList>

#include "download/batchqueue.h"

namespace cli {

// The options a batch command starts from: the user's Music folder (the
// working folder when there is none), the queue's own defaults otherwise.
download::BatchOptions defaultBatchOptions();

// Takes the option at arguments[i] that every command downloading a batch
// reads alike into `options`, moving i past its value: -o DIR, --output
// TEMPLATE, -j/--jobs N, --archive FILE, --tag, --force (fetch again what is
// already here), --retries N, and the ones that
// keep a batch polite towards the site, --limit-rate RATE and
// --sleep-requests SECONDS. False when arguments[i] is none of them; a value
// that will not do sets `problem`. `command` names the command in a notice.
bool takeBatchOption(const char *command, const QStringList &arguments, int &i, download::BatchOptions &options,
                     QString &problem);

// How those options read in a command's usage line.
inline constexpr char kBatchSynopsis[] =
    "[-o DIR] [--output TEMPLATE] [-j N] [--archive FILE] [--tag] [--force] [--retries N] "
    "[--limit-rate RATE] [--sleep-requests SECONDS]";

} // namespace cli
