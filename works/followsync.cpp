#include "works/followsync.h"

#include "download/filelock.h"
#include "download/filename.h"
#include "download/requestpacer.h"
#include "page/pagefetcher.h"
#include "works/harvest.h"
#include "works/playlist.h"

#include <QDir>
#include <QStandardPaths>
#include <QTimer>
#include <QUrlQuery>

namespace works {

QString defaultArchivePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/cantora-helper/archive.txt");
}

QString unusableArchiveText(const QString &path)
{
    return QStringLiteral("下载记录文件“%1”无法使用,未同步任何作品 ..").arg(QDir::toNativeSeparators(path));
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
{
    // One pacer for every singer's page and batch: the gap and a site's pause hold across them.
    if (!m_options.pacer)
        m_options.pacer = std::make_shared<download::RequestPacer>();
    m_pages = new download::PageClient(m_options.pagePolicy(m_config), m_options.pacer, this);
    m_waitTicker.setInterval(1000);
    connect(&m_waitTicker, &QTimer::timeout, this, [this] {
        if (!m_queue && m_options.pacer->waiting() != download::WaitReason::None)
            emit progressChanged(progress());
    });
}

FollowSync::~FollowSync()
{
    m_pages->stop();
}

download::BatchProgress FollowSync::progress() const
{
    download::BatchProgress now = m_before;
    now.failed += int(m_failures.size());
    now.wasStopped = m_stopping;
    now.waitReason = m_options.pacer->waiting(&now.waitMs);
    if (m_queue) {
        const download::BatchProgress running = m_queue->progress();
        now.done += running.done;
        now.failed += running.failed;
        now.skipped += running.skipped;
        now.stopped += running.stopped;
        now.total += running.total;
        now.bytes += running.bytes;
        now.bytesLeft = running.bytesLeft;
        now.lengthsUnknown = running.lengthsUnknown;
        now.pacingMs = running.pacingMs;
    }
    now.elapsedMs = m_clock.isValid() ? m_clock.elapsed() : 0;
    now.bytesPerSecond = now.elapsedMs > 0 ? now.bytes * 1000.0 / double(now.elapsedMs) : 0.0;
    // The singers not read yet hold works of unknown length.
    if (m_running && m_current + 1 < m_singers.size())
        ++now.lengthsUnknown;
    return now;
}

bool FollowSync::anyFailed() const
{
    return progress().failed > 0 || !m_archiveFailure.isEmpty();
}

void FollowSync::start()
{
    if (m_running)
        return;
    m_running = true;
    m_stopping = false;
    m_clock.start();
    m_waitTicker.start();
    // One sync of a user at a time; a singer's own download is no sync. A lock
    // that cannot be made (a read-only home) stops no sync; only one held elsewhere does.
    if (!m_oneSinger) {
        m_lock = std::make_unique<download::FileLock>(syncLockPath(), download::FileLock::Wait::No);
        m_anotherRunning = m_lock->isTaken();
    }
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
    m_pages->stop();
    end();
}

void FollowSync::end()
{
    if (!m_running)
        return;
    m_running = false;
    m_lock.reset();
    m_waitTicker.stop();
    emit progressChanged(progress());
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
    askPage();
}

void FollowSync::askPage()
{
    m_pages->get(m_singers.at(m_current).address, this,
                 [this](const download::PageAnswer &answer) { pageAnswered(answer); });
    emit progressChanged(progress());
}

void FollowSync::pageAnswered(const download::PageAnswer &answer)
{
    if (answer.ok())
        downloadWorks(PageFetcher::decodeBody(answer.body, answer.contentType));
    else
        failSinger(answer.failureText(statusText(HarvestStatus::NoPage)), answer.cause);
}

void FollowSync::failSinger(const QString &reason, const QString &detail)
{
    const SingerFailure failure{m_singers.at(m_current).address, reason, detail};
    m_failures.append(failure);
    emit singerFailed(failure);
    emit progressChanged(progress());
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
        if (m_oneSinger)
            failSinger(statusText(HarvestStatus::NoWorks), QString());
        else
            nextSinger(); // a followed singer without works has nothing new
        return;
    }
    const QString uid =
        QUrlQuery(QUrl(singer.address, QUrl::TolerantMode).query()).queryItemValue(QStringLiteral("uid"));
    const QString folderName = singer.name.isEmpty() ? QStringLiteral("uid ") + uid : singer.name;

    download::BatchOptions batch = m_options;
    if (!m_oneSinger)
        batch.folder = QDir(m_options.folder).filePath(download::safeFileName(folderName, QString()));
    m_queue = new download::BatchQueue(m_config, batch, this);
    // Each work is asked at the site its singer's page is on.
    const AppConfig site = m_config.aimedAt(singer.address);
    QStringList newestFirst;
    for (const WorkRow &row : fillRows(table, markers)) {
        newestFirst << site.playAddressService(row.id);
        m_queue->addServiceAddress(newestFirst.constLast());
    }
    // Before queueFinished moves on: the singer's playlist, kept up to date
    // with whatever the folder holds (a followed singer's folder) or with this
    // singer's works alone (a folder shared with others). Only a folder that
    // has works gets one.
    if (m_playlist) {
        const QString playlist =
            m_oneSinger ? QDir(batch.folder).filePath(download::safeFileName(folderName, QStringLiteral(".m3u8")))
                        : QDir(batch.folder).filePath(QDir(batch.folder).dirName() + QStringLiteral(".m3u8"));
        connect(m_queue, &download::BatchQueue::finished, this, [this, queue = m_queue.data(), newestFirst, playlist] {
            const QString problem = keepPlaylist(playlist, savedWorks(queue->outcomes(), newestFirst), !m_oneSinger);
            if (m_playlistFailure.isEmpty())
                m_playlistFailure = problem;
        });
    }
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
    m_before.failed -= int(m_failures.size()); // counted again from the list
    m_before.waitReason = download::WaitReason::None;
    m_before.waitMs = m_before.bytesLeft = m_before.pacingMs = 0;
    m_before.lengthsUnknown = 0;
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
