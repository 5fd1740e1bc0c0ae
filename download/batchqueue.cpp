#include "download/batchqueue.h"

#include "download/downloadstatus.h"
#include "download/outputtemplate.h"
#include "download/ratelimit.h"
#include "download/requestpacer.h"
#include "download/tagwriter.h"
#include "download/transfer.h"
#include "page/netcause.h"
#include "page/pagefetcher.h"
#include "page/songlookup.h"
#include "page/songparser.h"
#include "page/webaddress.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QPointer>
#include <QUrl>
#include <QUrlQuery>

namespace download {

namespace {

// Bytes per read and progress report: the window's 512 would only cost time here.
constexpr int kBatchBlockSize = 64 * 1024;

// How deep under the folder a batch's files may lie: one level per "/" of the template.
int templateDepth(const QString &nameTemplate)
{
    return int(nameTemplate.count(QLatin1Char('/')));
}

} // namespace

PagePolicy BatchOptions::pagePolicy(const AppConfig &config) const
{
    PagePolicy policy;
    policy.retries = std::max(0, retries);
    policy.idleMs = config.pageTimeoutMs;
    policy.wholeMs = config.pageTimeoutMs;
    policy.sizeLimit = PageFetcher::kDefaultSizeLimit;
    policy.firstBackoffMs = BatchQueue::kFirstBackoffMs;
    return policy;
}

struct BatchQueue::Work final
{
    int entry = 0; // its place in the queue
    WorkOutcome outcome;
    AppConfig site; // the configuration aimed at the site the work came from
    bool viaService = false;
    bool started = false;
    bool ended = false;
    int attempt = 0; // of the transfer
    int slot = -1;
    QString pageAddress;
    songpage::Facts facts;
    QByteArray cover;
    QString tagFailure;
    QTimer *retry = nullptr;
    // While one runs; an ended one is left to its parent (the queue) until it has finished emitting.
    std::unique_ptr<Transfer> transfer;
    qint64 counted = 0; // bytes of this work already in the batch's total (-1: not yet known)
    qint64 written = 0, size = 0;
    QElapsedTimer clock;
};

BatchQueue::BatchQueue(AppConfig config, BatchOptions options, QObject *parent)
    : QObject(parent)
    , m_config(std::move(config))
    , m_options(std::move(options))
    , m_pages(nullptr)
    , m_archive(m_options.archiveFile)
    , m_names(m_options.folder, m_options.nameTemplate)
    , m_holdings(m_options.folder, templateDepth(m_options.nameTemplate), m_options.sourceIndex)
{
    m_options.jobs = std::clamp(m_options.jobs, 1, kMaxJobs);
    m_options.retries = std::max(0, m_options.retries);
    if (!m_options.pacer)
        m_options.pacer = std::make_shared<RequestPacer>();
    m_pages = new PageClient(m_options.pagePolicy(m_config), m_options.pacer, this);
    m_waitTicker.setInterval(1000);
    connect(&m_waitTicker, &QTimer::timeout, this, [this] {
        if (m_options.pacer->waiting() != WaitReason::None)
            emit progressChanged(progress());
    });
}

BatchQueue::~BatchQueue()
{
    m_pages->stop();
}

void BatchQueue::addSongPage(const QString &songPageAddress)
{
    auto work = std::make_unique<Work>();
    work->entry = int(m_works.size());
    work->outcome.source = songPageAddress.trimmed();
    work->site = m_config.aimedAt(work->outcome.source);
    m_works.push_back(std::move(work));
    ++m_progress.total;
}

void BatchQueue::addServiceAddress(const QString &playAddressServiceUrl)
{
    auto work = std::make_unique<Work>();
    work->entry = int(m_works.size());
    work->outcome.source = playAddressServiceUrl.trimmed();
    work->site = m_config.aimedAt(work->outcome.source);
    work->viaService = true;
    work->outcome.workId =
        QUrlQuery(QUrl(work->outcome.source).query()).queryItemValue(QStringLiteral("wid")).trimmed();
    m_works.push_back(std::move(work));
    ++m_progress.total;
}

BatchProgress BatchQueue::progress() const
{
    BatchProgress now = m_progress;
    now.elapsedMs = m_clock.isValid() ? m_clock.elapsed() : 0;
    now.bytesPerSecond = now.elapsedMs > 0 ? now.bytes * 1000.0 / double(now.elapsedMs) : 0.0;
    now.waitReason = m_options.pacer->waiting(&now.waitMs);
    for (const auto &work : m_works) {
        if (work->ended)
            continue;
        if (!work->started) // its service answer (when queued so) and its song page
            now.pacingMs += (work->viaService ? 2 : 1) * qint64(m_options.pacer->pageGapMs());
        if (work->size > 0)
            now.bytesLeft += std::max<qint64>(0, work->size - work->written);
        else
            ++now.lengthsUnknown;
    }
    return now;
}

void BatchQueue::start()
{
    if (m_running)
        return;
    m_running = true;
    m_stopping = false;
    m_clock.start();
    m_waitTicker.start();
    if (!m_archive.load())
        m_archiveFailure = m_archive.error();
    // Even an empty batch ends through the event loop, as its caller expects.
    QTimer::singleShot(0, this, &BatchQueue::fillSlots);
}

void BatchQueue::stop()
{
    if (!m_running || m_stopping)
        return;
    m_stopping = true;
    m_progress.wasStopped = true;
    m_pages->stop();
    for (const auto &work : m_works) {
        if (work->ended)
            continue;
        if (work->transfer && work->transfer->isRunning())
            work->transfer->stop(); // ends the work through transferEnded
        else
            end(*work, WorkOutcome::Status::Stopped);
    }
    fillSlots();
}

void BatchQueue::fillSlots()
{
    while (!m_stopping && m_active < m_options.jobs && m_next < m_works.size()) {
        Work &work = *m_works[m_next++];
        if (work.ended)
            continue;
        // What is here already takes no slot and asks nothing.
        if (alreadyHere(work))
            continue;
        ++m_active;
        begin(work);
    }
    if (m_running && m_active == 0 && (m_stopping || m_next >= m_works.size())) {
        m_running = false;
        m_waitTicker.stop();
        emit finished();
    }
}

bool BatchQueue::alreadyHere(Work &work)
{
    const QString &id = work.outcome.workId;
    if (!id.isEmpty() && m_archive.contains(id)) {
        end(work, WorkOutcome::Status::Skipped);
        return true;
    }
    if (!m_options.skipExisting)
        return false;
    // Only a song page queued as itself names its page before it is asked for.
    const WorkSource known{id, work.viaService ? QString() : work.outcome.source};
    const QString path = known.isEmpty() ? QString() : m_holdings.find(known);
    if (path.isEmpty())
        return false;
    work.outcome.path = path;
    end(work, WorkOutcome::Status::Skipped);
    return true;
}

void BatchQueue::begin(Work &work)
{
    work.started = true;
    if (work.viaService)
        m_pages->get(work.outcome.source, this,
                     [this, &work](const PageAnswer &answer) { afterService(work, answer); });
    else
        lookUpPage(work, work.outcome.source);
}

void BatchQueue::pageFailed(Work &work, const PageAnswer &answer)
{
    const auto why = netcause::meansGone(answer.httpStatus) ? lookup::Status::Gone : lookup::Status::FetchFailed;
    end(work, WorkOutcome::Status::Failed, answer.failureText(lookup::statusText(why)), answer.cause);
}

void BatchQueue::afterService(Work &work, const PageAnswer &answer)
{
    if (!answer.ok()) {
        pageFailed(work, answer);
        return;
    }
    lookUpPage(work, pastedAddress(PageFetcher::decodeBody(answer.body, answer.contentType)));
}

void BatchQueue::lookUpPage(Work &work, const QString &pageAddress)
{
    work.pageAddress = pageAddress;
    // The same check as a lookup's: the song pages of the site the work came from, by http or https.
    if (pageAddress.isEmpty() || !work.site.hasSongPagePrefix(pageAddress)) {
        const auto why = pageAddress.isEmpty() ? lookup::Status::NoAddress : lookup::Status::NotASongPage;
        end(work, WorkOutcome::Status::Failed, lookup::statusText(why).trimmed(), pageAddress);
        return;
    }
    m_pages->get(pageAddress, this, [this, &work](const PageAnswer &answer) { afterPage(work, answer); });
}

void BatchQueue::afterPage(Work &work, const PageAnswer &answer)
{
    if (!answer.ok()) {
        pageFailed(work, answer);
        return;
    }
    const QString page = PageFetcher::decodeBody(answer.body, answer.contentType);
    if (page.isEmpty()) {
        end(work, WorkOutcome::Status::Failed, lookup::statusText(lookup::Status::EmptyPage).trimmed(),
            QStringLiteral("empty page"));
        return;
    }
    // Every work is cut on its own: nothing carries over from another page.
    songpage::WorkingTexts texts;
    work.facts = songpage::cut(page, songpage::Markers{m_config.imageHost, m_config.videoPlayerPrefix()}, texts);
    WorkOutcome &outcome = work.outcome;
    outcome.title = work.facts.title;
    outcome.singer = work.facts.singerName;
    outcome.audio = work.facts.audioAddress;
    // A page names the file to fetch: only a web address is fetched, never a local file.
    if (!isWebAddress(QUrl(work.facts.audioAddress, QUrl::TolerantMode))) {
        end(work, WorkOutcome::Status::Failed, lookup::notParsedText(), QStringLiteral("no audio address"));
        return;
    }
    const QString id = songpage::workIdFrom(work.facts.audioAddress, QString());
    if (outcome.workId.isEmpty())
        outcome.workId = id;
    if (!outcome.workId.isEmpty() && m_archive.contains(outcome.workId)) {
        end(work, WorkOutcome::Status::Skipped);
        return;
    }
    if (m_options.skipExisting) {
        if (const QString path = m_holdings.find({outcome.workId, work.pageAddress}); !path.isEmpty()) {
            outcome.path = path;
            end(work, WorkOutcome::Status::Skipped);
            return;
        }
    }
    if (!claimFile(work))
        return;
    if (m_options.tag && m_options.tags && work.cover.isEmpty() &&
        isWebAddress(QUrl(work.facts.avatarAddress, QUrl::TolerantMode))) {
        // A work without its picture is still worth having.
        m_pages->get(work.facts.avatarAddress, this, [this, &work](const PageAnswer &cover) {
            if (cover.ok())
                work.cover = cover.body;
            transfer(work);
        });
        return;
    }
    transfer(work);
}

bool BatchQueue::claimFile(Work &work)
{
    WorkOutcome &outcome = work.outcome;
    const WorkSource source{outcome.workId, work.pageAddress};
    const std::shared_ptr<TagWriter> tags = m_options.tags;
    // A file noted as this work's, or that an earlier run tagged with its page, is this work's.
    const auto same = [this, &source, &tags](const QString &path) {
        return m_holdings.holds(path, source) ||
               (tags && !source.pageAddress.isEmpty() && tags->pageAddress(path) == source.pageAddress);
    };
    const NameBook::Claim claim =
        m_names.claim(work.entry, outcome.workId.isEmpty() ? work.pageAddress : outcome.workId, outcome.workId,
                      outcome.title, outcome.singer, same);
    outcome.path = claim.path;
    if (claim.sameWork)
        end(work, WorkOutcome::Status::Skipped);
    else if (claim.path.isEmpty())
        end(work, WorkOutcome::Status::Failed, statusText(TransferStatus::WriteFailed),
            QStringLiteral("no free file name"));
    else // made only now: a singer with nothing new gets no folder; a template may make subfolders
        QDir().mkpath(QFileInfo(claim.path).path());
    return !claim.path.isEmpty();
}

void BatchQueue::transfer(Work &work)
{
    if (work.ended || m_stopping)
        return;
    ++work.attempt;
    size_t slot = 0;
    while (slot < m_slotBusy.size() && m_slotBusy[slot])
        ++slot;
    if (slot == m_clients.size()) {
        // Each slot has a client of its own, so N transfers from one host are
        // not held to the client's per-host connection limit.
        m_clients.push_back(std::make_unique<QNetworkAccessManager>());
        m_slotBusy.push_back(false);
    }
    m_slotBusy[slot] = true;
    work.slot = static_cast<int>(slot);
    work.transfer = std::make_unique<Transfer>(m_clients[slot].get(), this);
    // What came before a stop is kept, so that a later run carries it on.
    work.transfer->setBlockSize(kBatchBlockSize, Transfer::Fill::AsReceived);
    work.transfer->setRateLimit(m_options.rateLimit.get());
    // What an earlier try or an earlier run left of the same resource is carried on.
    work.transfer->setContinuePart(true);
    work.transfer->setBeforePlacing([this, &work](const QString &partPath) { return beforePlacing(work, partPath); });
    work.counted = -1; // until the body begins: what an earlier try brought is no news
    work.clock.start();
    connect(work.transfer.get(), &Transfer::progress, this, [this, &work](qint64 written, qint64 size) {
        if (work.counted < 0)
            work.counted = work.transfer->carriedOn();
        else if (written < work.counted) // the body started over: every byte is new
            work.counted = 0;
        const qint64 fresh = written - work.counted;
        if (fresh > 0)
            m_progress.bytes += fresh;
        work.counted = written;
        work.written = written;
        work.size = size;
        const double seconds = work.clock.elapsed() / 1000.0;
        emit transferProgress(work.outcome.source, work.outcome.title, written, size,
                              seconds > 0 ? written / seconds : 0.0);
    });
    connect(work.transfer.get(), &Transfer::finished, this,
            [this, &work](TransferStatus how) { transferEnded(work, how); });
    m_options.pacer->whenReady(false, work.transfer.get(), [this, &work] {
        if (!work.ended && !m_stopping)
            work.transfer->start(work.facts.audioAddress, work.outcome.path, m_options.stallMs);
    });
}

// The finished body, still under its part's name: whatever is written into it
// now is in place with it at once, or not at all.
bool BatchQueue::beforePlacing(Work &work, const QString &partPath)
{
    const bool tagging = m_options.tag && m_options.tags;
    if (tagging)
        work.tagFailure =
            m_options.tags->write(partPath, {work.facts.title, work.facts.singerName, work.cover, work.pageAddress});
    // Last: where the index stands in for notes, it keeps the size the file is placed with.
    noteWork(partPath, work.outcome.path, {work.outcome.workId, work.pageAddress}, m_options.sourceIndex);
    return tagging; // the tags rewrote the file, even where they failed halfway
}

void BatchQueue::transferEnded(Work &work, TransferStatus status)
{
    // It is still emitting: it goes once that is over.
    Transfer *ended = work.transfer.release();
    ended->deleteLater();
    m_slotBusy[static_cast<size_t>(work.slot)] = false;
    work.counted = 0;
    switch (status) {
    case TransferStatus::DataComplete:
        work.outcome.reason = ended->note();
        finishDone(work);
        return;
    case TransferStatus::Stopped:
        end(work, WorkOutcome::Status::Stopped);
        return;
    case TransferStatus::Busy:
        // Another run is fetching it into the same file: that one saves it.
        end(work, WorkOutcome::Status::Skipped, statusText(status), ended->failure());
        return;
    default:
        break;
    }
    const int code = ended->httpStatus();
    const QString cause = code >= 400 ? QStringLiteral("HTTP %1").arg(code) : ended->failure();
    const bool network = status == TransferStatus::Incomplete ||
                         (status == TransferStatus::RequestFailed && (code == 0 || code >= 500 || asksToWait(code)));
    const qint64 asked = asksToWait(code) ? retryAfterMs(ended->retryAfter()) : -1;
    if (asked > kMaxRetryAfterMs) {
        end(work, WorkOutcome::Status::Failed, comeBackText(asked), cause);
        return;
    }
    if (!network || m_stopping || work.attempt > m_options.retries) {
        end(work, WorkOutcome::Status::Failed, failureText(status, code), cause);
        return;
    }
    // A site that names its pause gets it, from every work of the run.
    if (asked >= 0)
        m_options.pacer->holdFor(asked);
    const qint64 backoff = asked >= 0 ? 0 : kFirstBackoffMs << std::min(work.attempt - 1, 6);
    work.retry = new QTimer(this);
    work.retry->setSingleShot(true);
    connect(work.retry, &QTimer::timeout, this, [this, &work] {
        work.retry->deleteLater();
        work.retry = nullptr;
        transfer(work);
    });
    work.retry->start(int(backoff));
}

void BatchQueue::finishDone(Work &work)
{
    if (!work.outcome.workId.isEmpty() && !m_archive.record(work.outcome.workId) && m_archiveFailure.isEmpty())
        m_archiveFailure = m_archive.error();
    // The file is the work's whatever its tags: it counts, and the next run knows it.
    if (!work.tagFailure.isEmpty())
        end(work, WorkOutcome::Status::Done, QStringLiteral("标签写入失败"), work.tagFailure);
    else
        end(work, WorkOutcome::Status::Done);
}

void BatchQueue::end(Work &work, WorkOutcome::Status status, const QString &reason, const QString &detail)
{
    if (work.ended)
        return;
    work.ended = true;
    if (work.retry) {
        work.retry->deleteLater();
        work.retry = nullptr;
    }
    work.outcome.status = status;
    // A work done may carry what happened on the way (a part started over) from before.
    if (!reason.isEmpty() || status != WorkOutcome::Status::Done) {
        work.outcome.reason = reason;
        work.outcome.detail = detail;
    }
    switch (status) {
    case WorkOutcome::Status::Done:
        ++m_progress.done;
        break;
    case WorkOutcome::Status::Skipped:
        ++m_progress.skipped;
        break;
    case WorkOutcome::Status::Failed:
        ++m_progress.failed;
        break;
    case WorkOutcome::Status::Stopped:
        ++m_progress.stopped;
        break;
    }
    m_outcomes.append(work.outcome);
    // Only works that had taken a slot give one back.
    if (work.started)
        --m_active;
    emit workFinished(work.outcome);
    emit progressChanged(progress());
    if (!m_stopping)
        QTimer::singleShot(0, this, &BatchQueue::fillSlots);
}

} // namespace download
