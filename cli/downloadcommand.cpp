#include "cli/downloadcommand.h"

#include "cli/manners.h"
#include "cli/options.h"
#include "cli/stop.h"
#include "download/batchqueue.h"
#include "page/pagefetcher.h"
#include "works/harvest.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMap>
#include <QStandardPaths>
#include <QTextStream>
#include <QTimer>

#include <climits>
#include <cstdio>
#include <unistd.h>

namespace cli {

namespace {

using download::BatchProgress;
using download::WorkOutcome;

void say(FILE *stream, const QString &text)
{
    std::fputs(text.toUtf8().constData(), stream);
    std::fflush(stream);
}

int usage(const QString &problem)
{
    say(stderr,
        QStringLiteral("download: %1\nusage: cantora-cli download URL... | --singer SINGER_URL [-o DIR] "
                       "[-j N] [--archive FILE] [--tag] [--retries N] [--limit-rate RATE] [--sleep-requests SECONDS]\n")
            .arg(problem));
    return 2;
}

QString bytesText(double bytes)
{
    if (bytes >= 1024.0 * 1024.0)
        return QStringLiteral("%1 MiB").arg(bytes / (1024.0 * 1024.0), 0, 'f', 1);
    if (bytes >= 1024.0)
        return QStringLiteral("%1 KiB").arg(bytes / 1024.0, 0, 'f', 1);
    return QStringLiteral("%1 B").arg(static_cast<qint64>(bytes));
}

QString clockText(qint64 seconds)
{
    return QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

QString outcomeLine(const WorkOutcome &outcome)
{
    const QString name =
        outcome.title.isEmpty() ? outcome.source : outcome.title + QStringLiteral(" - ") + outcome.singer;
    switch (outcome.status) {
    case WorkOutcome::Status::Done:
        return QStringLiteral("完成 %1\n").arg(QDir::toNativeSeparators(outcome.path));
    case WorkOutcome::Status::Skipped:
        return QStringLiteral("跳过 %1 (%2)\n").arg(name, outcome.workId);
    case WorkOutcome::Status::Failed:
        return QStringLiteral("失败 %1: %2\n").arg(name, outcome.reason);
    case WorkOutcome::Status::Stopped:
        return QStringLiteral("停止 %1\n").arg(name);
    }
    return QString();
}

// The live lines of a terminal: one per running transfer and a total,
// redrawn in place.
class LiveView final
{
public:
    struct Running
    {
        QString title;
        qint64 received = 0, total = 0;
        double speed = 0;
    };

    void update(const QString &source, Running running) { m_running.insert(source, std::move(running)); }
    void remove(const QString &source) { m_running.remove(source); }

    // Writes `above` where the live lines were, then draws them again below it.
    void draw(const BatchProgress &progress, qint64 elapsedMs, const QString &above = QString())
    {
        QString out;
        if (m_lines > 0)
            out += QStringLiteral("\x1b[%1A").arg(m_lines);
        out += QStringLiteral("\r\x1b[J") + above;
        m_lines = 0;
        for (const Running &r : std::as_const(m_running)) {
            const QString size = r.total > 0 ? bytesText(double(r.total)) : QStringLiteral("?");
            out += QStringLiteral("  %1  %2/%3  %4/s\n")
                       .arg(r.title.left(40), bytesText(double(r.received)), size, bytesText(r.speed));
            ++m_lines;
        }
        const int finished = progress.done + progress.failed + progress.skipped;
        QString eta = QStringLiteral("--:--");
        if (finished > 0)
            eta = clockText(elapsedMs * (progress.total - finished) / finished / 1000);
        out += download::batchStatusText(progress) +
               QStringLiteral(" %1  %2/s  ETA %3\n")
                   .arg(bytesText(double(progress.bytes)), bytesText(progress.bytesPerSecond), eta);
        ++m_lines;
        say(stdout, out);
    }

private:
    QMap<QString, Running> m_running;
    int m_lines = 0;
};

} // namespace

int runDownload(const QStringList &arguments)
{
    download::BatchOptions options;
    QStringList sources;
    QString singer;
    Manners manners;
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
        if (word == QLatin1String("-o") || word == QLatin1String("--output")) {
            if (!hasValue)
                return usage(QStringLiteral("%1 needs a folder").arg(word));
            options.folder = arguments.at(++i);
        } else if (word == QLatin1String("-j") || word == QLatin1String("--jobs")) {
            if (!number(1, INT_MAX, options.jobs))
                return usage(QStringLiteral("-j needs a number of 1 or more"));
            if (options.jobs > download::BatchQueue::kMaxJobs) {
                say(stderr, QStringLiteral("download: -j %1 is more than %2 transfers at once; running %2\n")
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
        } else if (QString problem; manners.take(arguments, i, problem)) {
            if (!problem.isEmpty())
                return usage(problem);
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

    manners.applyTo(options);
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
            say(stderr, works::statusText(page.status == FetchStatus::Ok ? works::HarvestStatus::NoWorks
                                                                         : works::HarvestStatus::NoPage) +
                            QLatin1Char('\n'));
            return 1;
        }
        for (const works::WorkRow &row : works::fillRows(table, markers))
            queue.addServiceAddress(site.playAddressService(row.id));
    }

    const bool live = ::isatty(STDOUT_FILENO) == 1;
    LiveView view;
    QElapsedTimer clock;
    clock.start();
    QTimer redraw;
    bool dirty = false;
    QObject::connect(&redraw, &QTimer::timeout, [&] {
        if (dirty)
            view.draw(queue.progress(), clock.elapsed());
        dirty = false;
    });
    QObject::connect(&queue, &download::BatchQueue::transferProgress,
                     [&](const QString &source, const QString &title, qint64 received, qint64 total, double speed) {
                         view.update(source, {title, received, total, speed});
                         dirty = true;
                     });
    QObject::connect(&queue, &download::BatchQueue::workFinished, [&](const WorkOutcome &outcome) {
        if (!live) {
            say(stdout, outcomeLine(outcome));
            return;
        }
        view.remove(outcome.source);
        view.draw(queue.progress(), clock.elapsed(), outcomeLine(outcome));
        dirty = false;
    });
    QEventLoop loop;
    QObject::connect(&queue, &download::BatchQueue::finished, &loop, &QEventLoop::quit);
    // From here a stop ends the transfers and keeps their .part files.
    const StopScope listening;
    QObject::connect(StopSignal::instance(), &StopSignal::stopRequested, &queue, &download::BatchQueue::stop);
    if (live)
        redraw.start(100);
    queue.start();
    if (stopRequested())
        queue.stop();
    loop.exec();
    redraw.stop();

    const BatchProgress progress = queue.progress();
    if (live)
        view.draw(progress, clock.elapsed());
    QString summary = download::batchSummaryText(progress) + QLatin1Char('\n');
    bool allDone = true;
    for (const WorkOutcome &outcome : queue.outcomes()) {
        if (outcome.status == WorkOutcome::Status::Failed)
            summary += QStringLiteral("  %1: %2\n").arg(outcome.source, outcome.reason);
        allDone =
            allDone && (outcome.status == WorkOutcome::Status::Done || outcome.status == WorkOutcome::Status::Skipped);
    }
    say(stdout, summary);
    if (!queue.archiveFailure().isEmpty())
        say(stderr, QStringLiteral("download: %1\n").arg(queue.archiveFailure()));
    return allDone && queue.outcomes().size() == progress.total && queue.archiveFailure().isEmpty() ? 0 : 1;
}

} // namespace cli
