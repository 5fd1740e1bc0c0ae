#pragma once

#include "cli/liveview.h"
#include "download/batchqueue.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <functional>

namespace works {
class FollowSync;
struct SingerFailure;
} // namespace works

namespace cli {

// What a terminal user sees of a batch: the path of each saved file on
// standard output, one a line, and everything else (live lines, one line per
// work, failures, the summary) on standard error.
class BatchReport final : public QObject
{
    Q_OBJECT
public:
    struct Options
    {
        bool quiet = false;   // only failures, and the summary when not all went well
        bool verbose = false; // a line for each skipped and stopped work too, and sizes
        bool live = false;    // redraw live lines in place
        bool colour = false;  // colour the words that say how a work ended
        int columns = 0;      // the width to cut live lines to; 0: ask standard error's terminal at each redraw
    };
    // How often live lines are redrawn, however seldom the transfers report.
    static constexpr int kRefreshMs = 250;
    // How often a batch line is written where nothing is redrawn (a dumb
    // terminal, a log): seldom enough to read, often enough to show life.
    static constexpr int kPlainRefreshMs = 5000;

    // The options of this run: -q/-v as main() took them, live and coloured as standard error's terminal allows.
    static Options forThisRun();

    explicit BatchReport(Options options, QObject *parent = nullptr);

    // Reports on `queue` from now until its finished() signal; then writes the summary.
    void attach(download::BatchQueue &queue);
    // Reports on every singer's batch of `sync` alike, in one summary at its
    // end; a singer whose page failed is a failure too.
    void attach(works::FollowSync &sync);

private:
    template <class Batch> void follow(Batch &batch);
    void transferProgress(const QString &source, const QString &title, qint64 received, qint64 total);
    void workFinished(const download::WorkOutcome &outcome);
    void singerFailed(const works::SingerFailure &failure);
    void queueFinished();
    QString outcomeLine(const download::WorkOutcome &outcome) const;
    // Writes `result` (whole lines for standard output, maybe none) and
    // `text` (for standard error) above the live lines and draws them again:
    // when both streams are one terminal, no redraw overwrites a result.
    // Without live lines it only writes them.
    void above(const QString &text, const QString &result = QString());
    int columns() const;

    Options m_options;
    std::function<download::BatchProgress()> m_progress;
    std::function<QList<download::WorkOutcome>()> m_outcomes;
    QStringList m_otherFailures; // summary lines of failures no work stands for
    LiveView m_view;
    QTimer m_refresh;
    QTimer m_plainRefresh;
    QElapsedTimer m_clock;
};

} // namespace cli
