#pragma once

#include "config/appconfig.h"
#include "download/alreadyhere.h"
#include "download/archive.h"
#include "download/jobprogress.h"
#include "download/namebook.h"
#include "download/pageclient.h"
#include "download/transfer.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>
#include <vector>

class QNetworkAccessManager;

namespace download {

class RateLimit;
class RequestPacer;
class TagWriter;

struct BatchOptions final
{
    QString folder; // where files go: <folder>/<title> - <singer>.mp3 (or nameTemplate), the work id added when taken
                    // (NameBook)
    int jobs = 4;   // transfers at once, at most BatchQueue::kMaxJobs
    QString archiveFile; // ids already done are skipped; finished ids appended; empty: none
    bool tag = false;    // write ID3v2.4 tags (title, artist, avatar as front cover, page address as WOAS)
    // Writes and reads tags; null: no tags are written, and none are read to
    // tell whether a file already there holds the work.
    std::shared_ptr<TagWriter> tags;
    // A work whose file is already here (as noted on the file, or in the index) is skipped without a request.
    bool skipExisting = true;
    // Where files are noted when their file system keeps no note (download/alreadyhere.h); empty: nowhere.
    QString sourceIndex = defaultSourceIndexPath();
    int retries = 3;                      // per page and per transfer: network errors, 5xx and 429, with backoff
    int stallMs = 10000;                  // the stall limit of each transfer
    std::shared_ptr<RateLimit> rateLimit; // shared by every transfer of the run; null: no limit
    // Spaces page requests and holds every request while the site asks for a
    // pause (429, 503 with Retry-After); null: the queue paces itself, with no gap.
    std::shared_ptr<RequestPacer> pacer;

    // When not empty, where each work goes under folder, e.g. "{singer}/{title}.mp3" (download/outputtemplate.h).
    QString nameTemplate;

    // How every page of the run is asked for, from the site's config (its page time limit) and `retries`.
    PagePolicy pagePolicy(const AppConfig &config) const;
};

// Downloads works N at a time: each work's song page is looked up (a queued
// play-address service address is first asked for its song page, at the site
// the address names), its MP3 fetched through the shared transfer core into a
// .part file, noted and tagged there, and put in place when complete. A work
// whose file is already here is skipped before anything is asked.
class BatchQueue final : public QObject
{
    Q_OBJECT
public:
    BatchQueue(AppConfig config, BatchOptions options, QObject *parent = nullptr);
    ~BatchQueue() override;

    void addSongPage(const QString &songPageAddress);
    void addServiceAddress(const QString &playAddressServiceUrl); // e.g. AppConfig::playAddressService(id)
    void start(); // returns at once; runs on the caller's event loop (no nested loops, no threads)
    void stop();  // ends running transfers (their .part files stay), queued works end as Stopped
    bool isRunning() const { return m_running; }
    BatchProgress progress() const;
    QList<WorkOutcome> outcomes() const { return m_outcomes; }
    // Why the archive could not be read or written during the run; empty when it could.
    QString archiveFailure() const { return m_archiveFailure; }

    // The most transfers at once: more would only queue at the sender and cost memory.
    static constexpr int kMaxJobs = 32;

    // The shortest wait before a work is tried again; it doubles each time.
    static constexpr int kFirstBackoffMs = 500;

signals:
    void transferProgress(const QString &source, const QString &title, qint64 received, qint64 total,
                          double bytesPerSecond);
    void workFinished(const download::WorkOutcome &outcome);
    void progressChanged(const download::BatchProgress &progress);
    void finished(); // after the last work, or after stop() once everything has ended

private:
    struct Work;

    void fillSlots();
    void begin(Work &work);
    bool alreadyHere(Work &work);
    void lookUpPage(Work &work, const QString &pageAddress);
    void afterService(Work &work, const PageAnswer &answer);
    void afterPage(Work &work, const PageAnswer &answer);
    void pageFailed(Work &work, const PageAnswer &answer);
    // Settles the work's file before its transfer; false when that ended the work.
    bool claimFile(Work &work);
    void transfer(Work &work);
    bool beforePlacing(Work &work, const QString &partPath);
    void transferEnded(Work &work, TransferStatus how);
    void finishDone(Work &work);
    void end(Work &work, WorkOutcome::Status status, const QString &reason = QString(),
             const QString &detail = QString());

    AppConfig m_config;
    BatchOptions m_options;
    // One per transfer at once, made when first needed. Declared before the
    // works: a running transfer holds a reply of one, so it must go first.
    std::vector<std::unique_ptr<QNetworkAccessManager>> m_clients;
    std::vector<bool> m_slotBusy;
    std::vector<std::unique_ptr<Work>> m_works;
    PageClient *m_pages;
    size_t m_next = 0;
    int m_active = 0;
    bool m_running = false;
    bool m_stopping = false;
    Archive m_archive;
    QString m_archiveFailure;
    NameBook m_names;
    Holdings m_holdings;
    QList<WorkOutcome> m_outcomes;
    BatchProgress m_progress;
    QElapsedTimer m_clock;
    QTimer m_waitTicker; // tells of a wait as its seconds run down
};

} // namespace download
