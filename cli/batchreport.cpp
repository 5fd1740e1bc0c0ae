#include "cli/batchreport.h"

#include "cli/options.h"
#include "cli/outputoptions.h"
#include "cli/terminal.h"
#include "works/followsync.h"

#include <QDir>
#include <QFileInfo>

#include <unistd.h>

namespace cli {

namespace {

using download::WorkOutcome;

QString painted(const QString &word, const char *colour, bool coloured)
{
    return coloured ? QLatin1String(colour) + word + QStringLiteral("\x1b[0m") : word;
}

QString workName(const WorkOutcome &outcome)
{
    if (!outcome.title.isEmpty())
        return oneLine(outcome.title + QStringLiteral(" - ") + outcome.singer);
    // Known already here before anything was asked: its file tells which work it is.
    return oneLine(outcome.path.isEmpty() ? outcome.source : QFileInfo(outcome.path).completeBaseName());
}

} // namespace

BatchReport::Options BatchReport::forThisRun()
{
    Options options;
    options.quiet = output().quiet();
    options.verbose = output().verbose();
    const Terminal terminal = probeTerminal(STDERR_FILENO);
    options.live = terminal.live;
    options.colour = terminal.colour;
    return options;
}

BatchReport::BatchReport(Options options, QObject *parent)
    : QObject(parent)
    , m_options(options)
{
    m_options.live = m_options.live && !m_options.quiet;
    m_refresh.setInterval(kRefreshMs);
    connect(&m_refresh, &QTimer::timeout, this, [this] { above(QString()); });
    m_plainRefresh.setInterval(kPlainRefreshMs);
    connect(&m_plainRefresh, &QTimer::timeout, this,
            [this] { print(stderr, LiveView::totalLine(m_progress(), m_clock.elapsed()) + QLatin1Char('\n')); });
}

void BatchReport::attach(download::BatchQueue &queue)
{
    follow(queue);
}

void BatchReport::attach(works::FollowSync &sync)
{
    connect(&sync, &works::FollowSync::singerFailed, this, &BatchReport::singerFailed);
    follow(sync);
}

// A queue and a sync tell alike what a batch does.
template <class Batch> void BatchReport::follow(Batch &batch)
{
    m_progress = [&batch] { return batch.progress(); };
    m_outcomes = [&batch] { return batch.outcomes(); };
    m_clock.start();
    connect(&batch, &Batch::transferProgress, this,
            [this](const QString &source, const QString &title, qint64 received, qint64 total, double) {
                transferProgress(source, title, received, total);
            });
    connect(&batch, &Batch::workFinished, this, &BatchReport::workFinished);
    connect(&batch, &Batch::finished, this, &BatchReport::queueFinished);
    if (m_options.live)
        m_refresh.start();
    else if (!m_options.quiet)
        m_plainRefresh.start();
}

int BatchReport::columns() const
{
    return m_options.columns > 0 ? m_options.columns : terminalColumns(STDERR_FILENO);
}

void BatchReport::above(const QString &text, const QString &result)
{
    if (m_options.live)
        print(stderr, m_view.clear());
    print(stdout, result);
    if (m_options.live)
        print(stderr, m_view.frame(m_progress(), m_clock.elapsed(), columns(), text));
    else
        print(stderr, text);
}

void BatchReport::transferProgress(const QString &source, const QString &title, qint64 received, qint64 total)
{
    m_view.update(source, title.isEmpty() ? source : title, received, total, m_clock.elapsed());
}

QString BatchReport::outcomeLine(const WorkOutcome &outcome) const
{
    const bool coloured = m_options.colour;
    switch (outcome.status) {
    case WorkOutcome::Status::Done: {
        QString line = painted(QStringLiteral("完成"), "\x1b[32m", coloured) + QLatin1Char(' ') +
                       QDir::toNativeSeparators(outcome.path);
        if (m_options.verbose)
            line += QStringLiteral(" (%1, %2)")
                        .arg(bytesText(double(QFileInfo(outcome.path).size())),
                             oneLine(outcome.audio.isEmpty() ? outcome.source : outcome.audio));
        // A note with its cause (its tags failed) is always said; one alone (a part started over) with -v.
        if (!outcome.reason.isEmpty() && (m_options.verbose || !outcome.detail.isEmpty()))
            line += QStringLiteral(": ") + oneLine(download::outcomeText(outcome));
        return line + QLatin1Char('\n');
    }
    case WorkOutcome::Status::Skipped:
        if (!m_options.verbose)
            return QString();
        return QStringLiteral("跳过 %1 (%2)%3\n")
            .arg(workName(outcome), outcome.workId,
                 outcome.reason.isEmpty() ? QString() : QStringLiteral(": ") + oneLine(outcome.reason));
    case WorkOutcome::Status::Failed: {
        // Each work is asked at its own site: no hint at --site here.
        return painted(QStringLiteral("失败"), "\x1b[31m", coloured) +
               QStringLiteral(" %1: %2\n").arg(workName(outcome), oneLine(download::outcomeText(outcome)));
    }
    case WorkOutcome::Status::Stopped:
        if (!m_options.verbose)
            return QString();
        return QStringLiteral("停止 %1\n").arg(workName(outcome));
    }
    return QString();
}

void BatchReport::workFinished(const WorkOutcome &outcome)
{
    m_view.remove(outcome.source);
    const QString result = outcome.status == WorkOutcome::Status::Done
                               ? QDir::toNativeSeparators(outcome.path) + QLatin1Char('\n')
                               : QString();
    const bool failed = outcome.status == WorkOutcome::Status::Failed;
    above(m_options.quiet && !failed ? QString() : outcomeLine(outcome), result);
}

void BatchReport::singerFailed(const works::SingerFailure &failure)
{
    const QString why = failure.detail.isEmpty()
                            ? failure.reason
                            : failure.reason + QStringLiteral(" (") + failure.detail + QLatin1Char(')');
    const QString what = QStringLiteral(" %1: %2\n").arg(oneLine(failure.address), oneLine(why));
    m_otherFailures << QLatin1Char(' ') + what;
    above(painted(QStringLiteral("失败"), "\x1b[31m", m_options.colour) + what);
}

void BatchReport::queueFinished()
{
    m_refresh.stop();
    m_plainRefresh.stop();
    if (m_options.live)
        print(stderr, m_view.clear());
    const download::BatchProgress progress = m_progress();
    const bool allWell = progress.failed == 0 && progress.stopped == 0 && !progress.wasStopped;
    if (m_options.quiet && allWell)
        return;
    QString summary = download::batchSummaryText(progress) + QLatin1Char('\n');
    // The failures again, together where the run ends: they may have scrolled away.
    if (!m_options.quiet) {
        summary += m_otherFailures.join(QString());
        for (const WorkOutcome &outcome : m_outcomes()) {
            if (outcome.status == WorkOutcome::Status::Failed)
                summary +=
                    QStringLiteral("  %1: %2\n").arg(oneLine(outcome.source), oneLine(download::outcomeText(outcome)));
        }
    }
    print(stderr, summary);
}

} // namespace cli
