#pragma once

#include "config/appconfig.h"
#include "download/archive.h"
#include "download/namebook.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>

#include <memory>
#include <vector>

class QNetworkAccessManager;

namespace download {

class RateLimit;
class RequestPacer;

struct BatchOptions final
{
    QString folder; // where files go: <folder>/<title> - <singer>.mp3 (or nameTemplate), the work id added when taken
                    // (NameBook)
    int jobs = 4;   // transfers at once, at most BatchQueue::kMaxJobs
    QString archiveFile; // ids already done are skipped; finished ids appended; empty: none
    bool tag = false;    // write ID3v2.4 tags (title, artist, avatar as front cover, page address as WOAS)
    int retries = 3;     // per work, network errors only, with backoff
    int stallMs = 10000; // the stall limit of each transfer
    std::shared_ptr<RateLimit> rateLimit; // shared by every transfer of the run; null: no limit
    // Spaces page requests and holds every request while the site asks for a
    // pause (429, 503 with Retry-After); null: the queue paces itself, with no gap.
    std::shared_ptr<RequestPacer> pacer;

    // When not empty, where each work goes under folder, e.g. "{singer}/{title}.mp3" (download/outputtemplate.h).
    QString nameTemplate;
};

struct WorkOutcome final
{
    enum class Status { Done, Skipped, Failed, Stopped };
    Status status = Status::Failed;
    QString workId; // may be empty when a song page had none
    QString source; // what was queued: a song-page address or a play-address service address
    QString title, singer, path;
    QString audio;  // the MP3's address, once its song page named it
    QString reason; // for Failed: the status text the window shows, plus the cause; for Skipped
                    // and Done: why, or what happened on the way, when there is more to say
};

struct BatchProgress final
{
    int done = 0, failed = 0, skipped = 0, total = 0;
    qint64 bytes = 0;
    double bytesPerSecond = 0;
};

// Downloads works N at a time: each work's song page is looked up (a queued
// play-address service address is first asked for its song page), its MP3
// fetched through the shared transfer core into a .part file and put in
// place when complete.
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
    struct Fetched;

    void fillSlots();
    void begin(Work &work);
    void lookUpPage(Work &work, const QString &pageAddress);
    void fetchCover(Work &work);
    void transfer(Work &work);
    void transferEnded(Work &work, int end);
    void tagAndFinish(Work &work);
    void fetch(Work &work, const QString &url, void (BatchQueue::*then)(Work &, const Fetched &));
    void send(Work &work, const QString &url, void (BatchQueue::*then)(Work &, const Fetched &));
    void fetchFailed(Work &work, const Fetched &answer);
    void afterService(Work &work, const Fetched &answer);
    void afterPage(Work &work, const Fetched &answer);
    void afterCover(Work &work, const Fetched &answer);
    // Settles the work's file before its transfer; false when that ended the work.
    bool claimFile(Work &work);
    // waitMs: what the site asked for (Retry-After), -1 for the usual backoff.
    void failOrRetry(Work &work, bool networkError, const QString &reason, qint64 waitMs = -1);
    void end(Work &work, int status, const QString &reason = QString());

    AppConfig m_config;
    BatchOptions m_options;
    QNetworkAccessManager *m_pages;
    // One per transfer at once, made when first needed. Declared before the
    // works: a running transfer holds a reply of one, so it must go first.
    std::vector<std::unique_ptr<QNetworkAccessManager>> m_clients;
    std::vector<bool> m_slotBusy;
    std::vector<std::unique_ptr<Work>> m_works;
    size_t m_next = 0;
    int m_active = 0;
    bool m_running = false;
    bool m_stopping = false;
    Archive m_archive;
    QString m_archiveFailure;
    NameBook m_names;
    QList<WorkOutcome> m_outcomes;
    BatchProgress m_progress;
    QElapsedTimer m_clock;
};

// "正在批量下载 12/50 .." for the window's status line and the CLI.
QString batchStatusText(const BatchProgress &progress);
// The end-of-batch summary line, e.g. "批量下载完成: 48 个成功, 2 个失败, 0 个跳过".
QString batchSummaryText(const BatchProgress &progress);

} // namespace download
