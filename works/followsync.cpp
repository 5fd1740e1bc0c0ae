#include "works/followsync.h"

#include "download/filelock.h"
#include "download/filename.h"
#include "download/requestpacer.h"
#include "page/pagefetcher.h"
#include "works/harvest.h"
#include "works/playlist.h"

#include <QDir>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QStandardPaths>
#include <QTimer>
#include <QUrlQuery>

namespace works {

QString defaultArchivePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/cantora-helper/archive.txt");
}

QString syncLockPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/cantora-helper/sync.lock");
}

QString FollowSync::anotherRunningText()
{
    return QStringLiteral("已有同步正在进行..");
}

FollowSync::FollowSync(AppConfig config, QList<FollowedSinger> singers, download::BatchOptions options, QObject *parent)
    : QObject(parent)
    , m_config(std::move(config))
    , m_singers(std::move(singers))
    , m_options(std::move(options))
    , m_network(new QNetworkAccessManager(this))
    // One pacer for every singer's batch: the gap and a site's pause hold across them.
    , m_pacer(m_options.pacer ? m_options.pacer : std::make_shared<download::RequestPacer>())
{
    m_network->setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
}

FollowSync::~FollowSync()
{
    if (m_reply)
        m_reply->abort();
}

download::BatchProgress FollowSync::progress() const
{
    download::BatchProgress now = m_before;
    if (m_queue) {
        const download::BatchProgress running = m_queue->progress();
        now.done += running.done;
        now.failed += running.failed;
        now.skipped += running.skipped;
        now.total += running.total;
        now.bytes += running.bytes;
        now.bytesPerSecond = running.bytesPerSecond;
    }
    return now;
}

bool FollowSync::anyFailed() const
{
    return !m_failures.isEmpty() || progress().failed > 0 || !m_archiveFailure.isEmpty();
}

void FollowSync::start()
{
    if (m_running)
        return;
    m_running = true;
    m_stopping = false;
    // A lock that cannot be made (a read-only home) stops no sync; only one held elsewhere does.
    m_lock = std::make_unique<download::FileLock>(syncLockPath(), download::FileLock::Wait::No);
    m_anotherRunning = m_lock->isTaken();
    // Even an empty list ends through the event loop, as its caller expects.
    QTimer::singleShot(0, this, m_anotherRunning ? &FollowSync::end : &FollowSync::nextSinger);
}

void FollowSync::stop()
{
    if (!m_running || m_stopping)
        return;
    m_stopping = true;
    if (m_queue) {
        m_queue->stop(); // ends the sync through queueFinished
        return;
    }
    if (m_reply) {
        QNetworkReply *reply = m_reply;
        m_reply = nullptr;
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
    end();
}

void FollowSync::end()
{
    if (!m_running)
        return;
    m_running = false;
    m_lock.reset();
    emit finished();
}

void FollowSync::nextSinger()
{
    if (m_stopping)
        return;
    if (++m_current >= m_singers.size()) {
        end();
        return;
    }
    m_attempt = 0;
    askPage();
}

void FollowSync::askPage()
{
    ++m_attempt;
    m_pacer->whenReady(true, this, [this] {
        if (m_stopping)
            return;
        QNetworkRequest request{QUrl(m_singers.at(m_current).address, QUrl::TolerantMode)};
        request.setRawHeader("If-Modified-Since", "0");
        request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
        request.setTransferTimeout(m_config.pageTimeoutMs);
        QNetworkReply *reply = m_network->get(request);
        m_reply = reply;
        connect(reply, &QNetworkReply::downloadProgress, reply, [reply](qint64 received, qint64 total) {
            if (received > PageFetcher::kDefaultSizeLimit || total > PageFetcher::kDefaultSizeLimit)
                reply->abort();
        });
        connect(reply, &QNetworkReply::finished, this, [this, reply] { pageAnswered(reply); });
    });
}

void FollowSync::pageAnswered(QNetworkReply *reply)
{
    reply->deleteLater();
    m_reply = nullptr;
    const QVariant statusValue = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const int status = statusValue.isValid() ? statusValue.toInt() : 0;
    if (reply->error() == QNetworkReply::NoError) {
        downloadWorks(PageFetcher::decodeBody(reply->readAll(), reply->rawHeader("Content-Type")));
        return;
    }
    const QString cause = status >= 400 ? QStringLiteral("HTTP %1").arg(status) : reply->errorString();
    const bool worthAgain = status == 0 || status >= 500 || download::asksToWait(status);
    if (!worthAgain || m_attempt > m_options.retries) {
        failSinger(statusText(HarvestStatus::NoPage) + QStringLiteral(" (") + cause + QLatin1Char(')'));
        return;
    }
    const qint64 asked = download::asksToWait(status) ? download::retryAfterMs(reply->rawHeader("Retry-After")) : -1;
    if (asked >= 0)
        m_pacer->holdFor(asked);
    const qint64 wait = asked >= 0 ? asked : download::BatchQueue::kFirstBackoffMs << std::min(m_attempt - 1, 6);
    QTimer::singleShot(int(wait), this, [this] {
        if (!m_stopping)
            askPage();
    });
}

void FollowSync::failSinger(const QString &reason)
{
    const SingerFailure failure{m_singers.at(m_current).address, reason};
    m_failures.append(failure);
    emit singerFailed(failure);
    nextSinger();
}

void FollowSync::downloadWorks(const QString &page)
{
    FollowedSinger &singer = m_singers[m_current];
    if (const QString name = singerNameOn(page); !name.isEmpty())
        singer.name = name;
    HarvestSlots table;
    table[0] = page;
    const qint16 markers = countMarkers(table[0]);
    if (markers < 2) {
        nextSinger(); // a singer without works has nothing new
        return;
    }
    const QString uid =
        QUrlQuery(QUrl(singer.address, QUrl::TolerantMode).query()).queryItemValue(QStringLiteral("uid"));
    const QString folderName = singer.name.isEmpty() ? QStringLiteral("uid ") + uid : singer.name;

    download::BatchOptions batch = m_options;
    batch.folder = QDir(m_options.folder).filePath(download::safeFileName(folderName, QString()));
    batch.pacer = m_pacer;
    m_queue = new download::BatchQueue(m_config, batch, this);
    QStringList newestFirst;
    for (const WorkRow &row : fillRows(table, markers)) {
        newestFirst << m_config.playAddressService(row.id);
        m_queue->addServiceAddress(newestFirst.constLast());
    }
    // Before queueFinished moves on: the singer's playlist, kept up to date
    // with whatever the folder holds. Only a folder that has works gets one.
    connect(m_queue, &download::BatchQueue::finished, this,
            [queue = m_queue.data(), newestFirst, folder = batch.folder] {
                keepPlaylist(QDir(folder).filePath(QDir(folder).dirName() + QStringLiteral(".m3u8")),
                             savedWorks(queue->outcomes(), newestFirst), true);
            });
    connect(m_queue, &download::BatchQueue::workFinished, this, [this](const download::WorkOutcome &outcome) {
        m_outcomes.append(outcome);
        emit workFinished(outcome);
    });
    connect(m_queue, &download::BatchQueue::transferProgress, this, &FollowSync::transferProgress);
    connect(m_queue, &download::BatchQueue::progressChanged, this, [this] { emit progressChanged(progress()); });
    connect(m_queue, &download::BatchQueue::finished, this, &FollowSync::queueFinished);
    m_queue->start();
}

void FollowSync::queueFinished()
{
    download::BatchQueue *queue = m_queue;
    m_before = progress();
    if (m_archiveFailure.isEmpty())
        m_archiveFailure = queue->archiveFailure();
    m_queue = nullptr;
    queue->deleteLater();
    if (m_stopping) {
        end();
        return;
    }
    nextSinger();
}

} // namespace works
