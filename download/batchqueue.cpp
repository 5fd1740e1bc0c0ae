#include "download/batchqueue.h"

#include "download/downloadstatus.h"
#include "download/id3tags.h"
#include "download/ratelimit.h"
#include "download/requestpacer.h"
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
#include <QNetworkReply>
#include <QPointer>
#include <QTimer>
#include <QUrl>
#include <QUrlQuery>

namespace download {

namespace {

// Bytes per read and progress report: the window's 512 would only cost time here.
constexpr int kBatchBlockSize = 64 * 1024;

} // namespace

struct BatchQueue::Fetched final
{
    int httpStatus = 0; // 0: no answer at all
    QByteArray body;
    QByteArray contentType;
    QByteArray retryAfter;
    QString error; // empty when a whole success page came
};

struct BatchQueue::Work final
{
    int entry = 0; // its place in the queue
    WorkOutcome outcome;
    bool viaService = false;
    bool started = false;
    bool ended = false;
    int attempt = 0;
    int slot = -1;
    QString pageAddress;
    songpage::Facts facts;
    QByteArray cover;
    QPointer<QNetworkReply> reply;
    QTimer *retry = nullptr;
    // While one runs; an ended one is left to its parent (the queue) until it has finished emitting.
    std::unique_ptr<Transfer> transfer;
    qint64 counted = 0; // bytes of this work already in the batch's total (-1: not yet known)
    QElapsedTimer clock;
};

BatchQueue::BatchQueue(AppConfig config, BatchOptions options, QObject *parent)
    : QObject(parent)
    , m_config(std::move(config))
    , m_options(std::move(options))
    , m_pages(new QNetworkAccessManager(this))
    , m_archive(m_options.archiveFile)
    , m_names(m_options.folder, m_options.nameTemplate)
{
    m_options.jobs = std::clamp(m_options.jobs, 1, kMaxJobs);
    m_options.retries = std::max(0, m_options.retries);
    m_pages->setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
    if (!m_options.pacer)
        m_options.pacer = std::make_shared<RequestPacer>();
}

// The running transfers go with the works (and keep their .part files) while
// the clients whose replies they hold are still there.
BatchQueue::~BatchQueue()
{
    for (const auto &work : m_works) {
        if (QNetworkReply *reply = work->reply) {
            // Nobody is left to hear how it ended.
            QObject::disconnect(reply, nullptr, this, nullptr);
            reply->abort();
        }
    }
}

void BatchQueue::addSongPage(const QString &songPageAddress)
{
    auto work = std::make_unique<Work>();
    work->entry = int(m_works.size());
    work->outcome.source = songPageAddress.trimmed();
    m_works.push_back(std::move(work));
    ++m_progress.total;
}

void BatchQueue::addServiceAddress(const QString &playAddressServiceUrl)
{
    auto work = std::make_unique<Work>();
    work->entry = int(m_works.size());
    work->outcome.source = playAddressServiceUrl.trimmed();
    work->viaService = true;
    work->outcome.workId =
        QUrlQuery(QUrl(work->outcome.source).query()).queryItemValue(QStringLiteral("wid")).trimmed();
    m_works.push_back(std::move(work));
    ++m_progress.total;
}

BatchProgress BatchQueue::progress() const
{
    BatchProgress now = m_progress;
    const double seconds = m_clock.isValid() ? m_clock.elapsed() / 1000.0 : 0.0;
    now.bytesPerSecond = seconds > 0 ? now.bytes / seconds : 0.0;
    return now;
}

void BatchQueue::start()
{
    if (m_running)
        return;
    m_running = true;
    m_stopping = false;
    m_clock.start();
    QDir().mkpath(m_options.folder);
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
    for (const auto &work : m_works) {
        if (work->ended)
            continue;
        if (work->transfer && work->transfer->isRunning()) {
            work->transfer->stop(); // ends the work through transferEnded
            continue;
        }
        if (work->reply) {
            QNetworkReply *reply = work->reply;
            work->reply = nullptr;
            QObject::disconnect(reply, nullptr, this, nullptr);
            reply->abort();
            reply->deleteLater();
        }
        end(*work, int(WorkOutcome::Status::Stopped));
    }
    fillSlots();
}

void BatchQueue::fillSlots()
{
    while (!m_stopping && m_active < m_options.jobs && m_next < m_works.size()) {
        Work &work = *m_works[m_next++];
        if (work.ended)
            continue;
        ++m_active;
        begin(work);
    }
    if (m_running && m_active == 0 && (m_stopping || m_next >= m_works.size())) {
        m_running = false;
        emit finished();
    }
}

void BatchQueue::begin(Work &work)
{
    work.started = true;
    ++work.attempt;
    if (!work.outcome.workId.isEmpty() && m_archive.contains(work.outcome.workId)) {
        end(work, int(WorkOutcome::Status::Skipped));
        return;
    }
    if (work.viaService)
        fetch(work, work.outcome.source, &BatchQueue::afterService);
    else
        lookUpPage(work, work.outcome.source);
}

void BatchQueue::fetch(Work &work, const QString &url, void (BatchQueue::*then)(Work &, const Fetched &))
{
    m_options.pacer->whenReady(true, this, [this, &work, url, then] {
        if (!work.ended && !m_stopping)
            send(work, url, then);
    });
}

void BatchQueue::send(Work &work, const QString &url, void (BatchQueue::*then)(Work &, const Fetched &))
{
    const QUrl address(url, QUrl::TolerantMode);
    if (!isWebAddress(address)) {
        Fetched refused;
        refused.error = QStringLiteral("not a web address");
        (this->*then)(work, refused);
        return;
    }
    QNetworkRequest request(address);
    request.setRawHeader("If-Modified-Since", "0");
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setTransferTimeout(m_config.pageTimeoutMs);
    QNetworkReply *reply = m_pages->get(request);
    work.reply = reply;
    connect(reply, &QNetworkReply::downloadProgress, reply, [reply](qint64 received, qint64 total) {
        if (received > PageFetcher::kDefaultSizeLimit || total > PageFetcher::kDefaultSizeLimit)
            reply->abort();
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply, &work, then] {
        reply->deleteLater();
        work.reply = nullptr;
        Fetched answer;
        const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
        answer.httpStatus = status.isValid() ? status.toInt() : 0;
        answer.body = reply->readAll();
        answer.contentType = reply->rawHeader("Content-Type");
        answer.retryAfter = reply->rawHeader("Retry-After");
        if (reply->error() != QNetworkReply::NoError)
            answer.error =
                answer.httpStatus >= 400 ? QStringLiteral("HTTP %1").arg(answer.httpStatus) : reply->errorString();
        (this->*then)(work, answer);
    });
}

// A page or service answer that did not come: retried when the network or the
// server is to blame, else the work fails with the lookup's own text.
void BatchQueue::fetchFailed(Work &work, const Fetched &answer)
{
    failOrRetry(work, answer.httpStatus == 0 || answer.httpStatus >= 500 || asksToWait(answer.httpStatus),
                lookup::statusText(netcause::meansGone(answer.httpStatus) ? lookup::Status::Gone
                                                                          : lookup::Status::FetchFailed) +
                    QStringLiteral(" (") + answer.error + QLatin1Char(')'),
                asksToWait(answer.httpStatus) ? retryAfterMs(answer.retryAfter) : -1);
}

void BatchQueue::afterService(Work &work, const Fetched &answer)
{
    if (!answer.error.isEmpty()) {
        fetchFailed(work, answer);
        return;
    }
    lookUpPage(work, pastedAddress(PageFetcher::decodeBody(answer.body, answer.contentType)));
}

void BatchQueue::lookUpPage(Work &work, const QString &pageAddress)
{
    work.pageAddress = pageAddress;
    // The same check as a lookup's: the site's song pages, by http or https.
    if (pageAddress.isEmpty() || !m_config.hasSongPagePrefix(pageAddress)) {
        const auto why = pageAddress.isEmpty() ? lookup::Status::NoAddress : lookup::Status::NotASongPage;
        end(work, int(WorkOutcome::Status::Failed), lookup::statusText(why).trimmed());
        return;
    }
    fetch(work, pageAddress, &BatchQueue::afterPage);
}

void BatchQueue::afterPage(Work &work, const Fetched &answer)
{
    if (!answer.error.isEmpty()) {
        fetchFailed(work, answer);
        return;
    }
    const QString page = PageFetcher::decodeBody(answer.body, answer.contentType);
    if (page.isEmpty()) {
        end(work, int(WorkOutcome::Status::Failed),
            lookup::statusText(lookup::Status::FetchFailed) + QStringLiteral(" (empty page)"));
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
        end(work, int(WorkOutcome::Status::Failed), lookup::notParsedText() + QStringLiteral(" (no audio address)"));
        return;
    }
    const QString id = songpage::workIdFrom(work.facts.audioAddress, QString());
    if (outcome.workId.isEmpty())
        outcome.workId = id;
    if (!outcome.workId.isEmpty() && m_archive.contains(outcome.workId)) {
        end(work, int(WorkOutcome::Status::Skipped));
        return;
    }
    if (!claimFile(work))
        return;
    if (m_options.tag && work.cover.isEmpty() && isWebAddress(QUrl(work.facts.avatarAddress, QUrl::TolerantMode)))
        fetch(work, work.facts.avatarAddress, &BatchQueue::afterCover);
    else
        transfer(work);
}

bool BatchQueue::claimFile(Work &work)
{
    WorkOutcome &outcome = work.outcome;
    const QString page = work.pageAddress;
    // A file an earlier run tagged with this work's page is this work's.
    const auto tagged = [&page](const QString &path) { return !page.isEmpty() && taggedPageAddress(path) == page; };
    const NameBook::Claim claim = m_names.claim(work.entry, outcome.workId.isEmpty() ? page : outcome.workId,
                                                outcome.workId, outcome.title, outcome.singer, tagged);
    outcome.path = claim.path;
    if (claim.sameWork)
        end(work, int(WorkOutcome::Status::Skipped));
    else if (claim.path.isEmpty())
        end(work, int(WorkOutcome::Status::Failed),
            statusText(TransferStatus::WriteFailed) + QStringLiteral(" (no free file name)"));
    else // a template may put the work in a subfolder
        QDir().mkpath(QFileInfo(claim.path).path());
    return !claim.path.isEmpty();
}

void BatchQueue::afterCover(Work &work, const Fetched &answer)
{
    // A work without its picture is still worth having.
    if (answer.error.isEmpty())
        work.cover = answer.body;
    transfer(work);
}

void BatchQueue::transfer(Work &work)
{
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
        const double seconds = work.clock.elapsed() / 1000.0;
        emit transferProgress(work.outcome.source, work.outcome.title, written, size,
                              seconds > 0 ? written / seconds : 0.0);
    });
    connect(work.transfer.get(), &Transfer::finished, this,
            [this, &work](TransferStatus how) { transferEnded(work, static_cast<int>(how)); });
    m_options.pacer->whenReady(false, work.transfer.get(), [this, &work] {
        if (!work.ended && !m_stopping)
            work.transfer->start(work.facts.audioAddress, work.outcome.path, m_options.stallMs);
    });
}

void BatchQueue::transferEnded(Work &work, int how)
{
    // It is still emitting: it goes once that is over.
    Transfer *transfer = work.transfer.release();
    transfer->deleteLater();
    m_slotBusy[static_cast<size_t>(work.slot)] = false;
    work.counted = 0;
    const auto status = static_cast<TransferStatus>(how);
    switch (status) {
    case TransferStatus::DataComplete:
        work.outcome.reason = transfer->note();
        tagAndFinish(work);
        return;
    case TransferStatus::Stopped:
        end(work, int(WorkOutcome::Status::Stopped));
        return;
    case TransferStatus::Busy:
        // Another run is fetching it into the same file: that one saves it.
        end(work, int(WorkOutcome::Status::Skipped),
            statusText(status) + QStringLiteral(" (") + transfer->failure() + QLatin1Char(')'));
        return;
    default:
        break;
    }
    const int code = transfer->httpStatus();
    QString reason = failureText(status, code);
    if (code >= 400)
        reason += QStringLiteral(" (HTTP %1)").arg(code);
    const bool network = status == TransferStatus::Incomplete ||
                         (status == TransferStatus::RequestFailed && (code == 0 || code >= 500 || asksToWait(code)));
    failOrRetry(work, network, reason, asksToWait(code) ? retryAfterMs(transfer->retryAfter()) : -1);
}

void BatchQueue::tagAndFinish(Work &work)
{
    if (m_options.tag) {
        const QString failure =
            writeTags(work.outcome.path, {work.facts.title, work.facts.singerName, work.cover, work.pageAddress});
        if (!failure.isEmpty()) {
            end(work, int(WorkOutcome::Status::Failed), QStringLiteral("ID3: ") + failure);
            return;
        }
    }
    if (!work.outcome.workId.isEmpty() && !m_archive.record(work.outcome.workId) && m_archiveFailure.isEmpty())
        m_archiveFailure = m_archive.error();
    end(work, int(WorkOutcome::Status::Done));
}

void BatchQueue::failOrRetry(Work &work, bool networkError, const QString &reason, qint64 waitMs)
{
    if (!networkError || m_stopping || work.attempt > m_options.retries) {
        end(work, int(WorkOutcome::Status::Failed), reason);
        return;
    }
    // A site that names its pause gets it, from every work of the run.
    if (waitMs >= 0)
        m_options.pacer->holdFor(waitMs);
    const qint64 backoff = waitMs >= 0 ? waitMs : kFirstBackoffMs << std::min(work.attempt - 1, 6);
    work.retry = new QTimer(this);
    work.retry->setSingleShot(true);
    connect(work.retry, &QTimer::timeout, this, [this, &work] {
        work.retry->deleteLater();
        work.retry = nullptr;
        if (!work.ended)
            begin(work);
    });
    work.retry->start(int(backoff));
}

void BatchQueue::end(Work &work, int status, const QString &reason)
{
    if (work.ended)
        return;
    work.ended = true;
    if (work.retry) {
        work.retry->deleteLater();
        work.retry = nullptr;
    }
    work.outcome.status = static_cast<WorkOutcome::Status>(status);
    if (!reason.isEmpty() || work.outcome.status != WorkOutcome::Status::Done)
        work.outcome.reason = reason;
    switch (work.outcome.status) {
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

QString batchStatusText(const BatchProgress &progress)
{
    return QStringLiteral("正在批量下载 %1/%2 ..")
        .arg(progress.done + progress.failed + progress.skipped)
        .arg(progress.total);
}

QString batchSummaryText(const BatchProgress &progress)
{
    return QStringLiteral("批量下载完成: %1 个成功, %2 个失败, %3 个跳过")
        .arg(progress.done)
        .arg(progress.failed)
        .arg(progress.skipped);
}

} // namespace download
