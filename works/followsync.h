#pragma once

#include "config/appconfig.h"
#include "download/batchqueue.h"
#include "works/following.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <memory>

namespace download {
class FileLock;
}

namespace works {

// Works a sync fetches at once unless told otherwise: it runs unattended,
// often for many singers, and should not crowd the site.
constexpr int kSyncJobs = 2;

// $XDG_DATA_HOME/cantora-helper/archive.txt (~/.local/share when unset).
QString defaultArchivePath();

// Said when the archive at `path` cannot serve (download::Archive::problem
// tells why) and so nothing is synced.
QString unusableArchiveText(const QString &path);

// $XDG_DATA_HOME/cantora-helper/sync.lock: held by the one sync of this user that runs.
QString syncLockPath();

struct SingerFailure final
{
    QString address;
    QString reason; // Chinese
    QString detail; // the cause, as the network gave it
};

// Downloads the works of one or more singers: reads each singer's page in
// turn (through the run's one page client, with its retries and pacing) and
// downloads the works not already here, each asked at its singer's own site.
// A singer whose page fails counts as a failure and the next one goes on.
// Each singer's batch runs with `options`, in <options.folder>/<singer name>/
// for a sync, or in options.folder itself (setOneSinger). Runs on the
// caller's event loop. One sync of a user runs at a time (the timer's, the
// window's, a terminal's): a sync started meanwhile ends at once, having done
// nothing, and says so.
class FollowSync final : public QObject
{
    Q_OBJECT
public:
    FollowSync(AppConfig config, QList<FollowedSinger> singers, download::BatchOptions options,
               QObject *parent = nullptr);
    ~FollowSync() override;

    // The works of a singer asked for by name (not followed) go into
    // options.folder itself, a page without works is a failure, and the
    // singer's playlist (<options.folder>/<singer>.m3u8, this singer's works
    // alone) is kept only when `playlist`. A sync keeps
    // <singer folder>/<singer>.m3u8 with every work of the folder.
    void setOneSinger(bool playlist)
    {
        m_oneSinger = true;
        m_playlist = playlist;
    }
    void start(); // returns at once
    void stop();  // running transfers keep their .part files
    bool isRunning() const { return m_running; }

    // Over every singer so far; the total grows as singers are read, and a
    // singer whose page failed is one failure.
    download::BatchProgress progress() const;
    QList<download::WorkOutcome> outcomes() const { return m_outcomes; }
    QList<SingerFailure> singerFailures() const { return m_failures; }
    // The singers, named as their pages showed them where they were read.
    QList<FollowedSinger> singers() const { return m_singers; }
    // Why a playlist could not be kept; empty when it could.
    QString playlistFailure() const { return m_playlistFailure; }
    // Why the archive could not be read or written during the sync; empty when it could.
    QString archiveFailure() const { return m_archiveFailure; }
    // Whether a singer or a work failed, or the archive (a stopped work does not count).
    bool anyFailed() const;
    // Whether start() found another sync of this user running, so this one did nothing.
    bool foundAnotherRunning() const { return m_anotherRunning; }
    // What every front end says then.
    static QString anotherRunningText();

signals:
    void singerFailed(const works::SingerFailure &failure);
    void workFinished(const download::WorkOutcome &outcome);
    // As download::BatchQueue::transferProgress, for the singer's batch now running.
    void transferProgress(const QString &source, const QString &title, qint64 received, qint64 total,
                          double bytesPerSecond);
    void progressChanged(const download::BatchProgress &progress);
    void finished();

private:
    void nextSinger();
    void askPage();
    void pageAnswered(const download::PageAnswer &answer);
    void downloadWorks(const QString &page);
    void queueFinished();
    void failSinger(const QString &reason, const QString &detail);
    void end();

    AppConfig m_config;
    QList<FollowedSinger> m_singers;
    download::BatchOptions m_options;
    download::PageClient *m_pages;
    QPointer<download::BatchQueue> m_queue;
    qsizetype m_current = -1;
    bool m_oneSinger = false;
    bool m_playlist = true;
    bool m_running = false;
    bool m_stopping = false;
    download::BatchProgress m_before; // of the singers already done
    QList<download::WorkOutcome> m_outcomes;
    QList<SingerFailure> m_failures;
    QString m_archiveFailure;
    QString m_playlistFailure;
    QElapsedTimer m_clock;
    QTimer m_waitTicker;                        // tells of a wait for a singer's page as its seconds run down
    std::unique_ptr<download::FileLock> m_lock; // while it runs
    bool m_anotherRunning = false;
};

} // namespace works
