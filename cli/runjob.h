#pragma once

#include "cli/batchreport.h"
#include "cli/stop.h"
#include "cli/terminal.h"

#include <QEventLoop>

namespace cli {

// Runs a batch or a sync to its end, reported on the terminal; a stop ends
// the transfers and keeps their .part files. 0 when every work is done or
// already here, 1 when anything failed, was stopped or the archive could not be kept.
template <class Job> int runJob(Job &job, const char *command)
{
    BatchReport report(BatchReport::forThisRun());
    report.attach(job);
    QEventLoop loop;
    QObject::connect(&job, &Job::finished, &loop, &QEventLoop::quit);
    const StopScope listening;
    QObject::connect(StopSignal::instance(), &StopSignal::stopRequested, &job, &Job::stop);
    job.start();
    if (stopRequested())
        job.stop();
    loop.exec();
    if (!job.archiveFailure().isEmpty())
        print(stderr, QStringLiteral("%1: %2\n").arg(QLatin1String(command), job.archiveFailure()));
    const download::BatchProgress progress = job.progress();
    const bool whole = progress.failed == 0 && progress.stopped == 0 && !progress.wasStopped && !stopRequested();
    return whole && job.archiveFailure().isEmpty() ? 0 : 1;
}

} // namespace cli
