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

namespace works {

struct SyncOptions final
{
    QString folder;      // each singer's works go to <folder>/<singer name>/
    QString archiveFile; // ids already fetched, for every singer alike
    // Few at once: a sync runs unattended, often for many singers, and should
    // not crowd the site.
    int jobs = 2;
    bool tag = false;
    int retries = 3;
    int sleepRequestsMs = 0;                        // between two page requests
    std::shared_ptr<download::RateLimit> rateLimit; // null: no limit
};

// $XDG_DATA_HOME/cantora-helper/archive.txt (~/.local/share when unset).
QString defaultArchivePath();

struct SingerFailure final
{
    QString address;
    QString reason;
};

// Brings every followed singer's works up to date: reads each singer's page
// in turn and downloads the works the archive does not hold yet into the
// singer's own folder. A singer whose page fails is reported and the next one
// goes on. Runs on the caller's event loop.
class FollowSync final : public QObject
{
    Q_OBJECT
public:
    FollowSync(AppConfig config, QList<FollowedSinger> singers, SyncOptions options, QObject *parent = nullptr);
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
    // Whether a singer or a work failed (a stopped work does not count).
    bool anyFailed() const;

signals:
    void singerFailed(const works::SingerFailure &failure);
    void workFinished(const download::WorkOutcome &outcome);
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
    SyncOptions m_options;
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
};

} // namespace works
