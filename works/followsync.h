#pragma once

#include "config/appconfig.h"
#include "download/batchqueue.h"
#include "works/following.h"

#include <QList>
#include <QObject>
#include <QPointer>

#include <memory>

class QNetworkAccessManager;
class QNetworkReply;

namespace download {
class FileLock;
}

namespace works {

// Works a sync fetches at once unless told otherwise: it runs unattended,
// often for many singers, and should not crowd the site.
constexpr int kSyncJobs = 2;

// $XDG_DATA_HOME/cantora-helper/archive.txt (~/.local/share when unset).
QString defaultArchivePath();

// $XDG_DATA_HOME/cantora-helper/sync.lock: held by the one sync of this user that runs.
QString syncLockPath();

struct SingerFailure final
{
    QString address;
    QString reason;
};

// Brings every followed singer's works up to date: reads each singer's page
// in turn and downloads the works the archive does not hold yet into the
// singer's own folder. A singer whose page fails is reported and the next one
// goes on. Each singer's batch runs with `options`, its folder
// <options.folder>/<singer name>/. Runs on the caller's event loop. One sync
// of a user runs at a time (the timer's, the window's, a terminal's): a sync
// started meanwhile ends at once, having done nothing, and says so.
class FollowSync final : public QObject
{
    Q_OBJECT
public:
    FollowSync(AppConfig config, QList<FollowedSinger> singers, download::BatchOptions options,
               QObject *parent = nullptr);
    ~FollowSync() override;

    void start(); // returns at once
    void stop();  // running transfers keep their .part files
    bool isRunning() const { return m_running; }

    // Over every singer so far; the total grows as singers are read.
    download::BatchProgress progress() const;
    QList<download::WorkOutcome> outcomes() const { return m_outcomes; }
    QList<SingerFailure> singerFailures() const { return m_failures; }
    // The singers, named as their pages showed them where they were read.
    QList<FollowedSinger> singers() const { return m_singers; }
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
    void pageAnswered(QNetworkReply *reply);
    void downloadWorks(const QString &page);
    void queueFinished();
    void failSinger(const QString &reason);
    void end();

    AppConfig m_config;
    QList<FollowedSinger> m_singers;
    download::BatchOptions m_options;
    QNetworkAccessManager *m_network;
    std::shared_ptr<download::RequestPacer> m_pacer;
    QPointer<QNetworkReply> m_reply;
    QPointer<download::BatchQueue> m_queue;
    qsizetype m_current = -1;
    int m_attempt = 0;
    bool m_running = false;
    bool m_stopping = false;
    download::BatchProgress m_before; // of the singers already done
    QList<download::WorkOutcome> m_outcomes;
    QList<SingerFailure> m_failures;
    QString m_archiveFailure;
    std::unique_ptr<download::FileLock> m_lock; // while it runs
    bool m_anotherRunning = false;
};

} // namespace works
