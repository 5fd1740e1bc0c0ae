#include "download/transfer.h"

#include "download/audiosniff.h"
#include "download/ratelimit.h"
#include "page/netcause.h"
#include "page/webaddress.h"

#include <QDir>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPromise>
#include <QThreadPool>
#include <QTime>
#include <QUrl>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <unistd.h>

namespace download {

namespace {

// The leading decimal number of a length header; 0 when there is none.
qint64 leadingLength(const QByteArray &text)
{
    const QByteArray trimmed = text.trimmed();
    qsizetype digits = 0;
    while (digits < trimmed.size() && digits < 18 && trimmed[digits] >= '0' && trimmed[digits] <= '9')
        ++digits;
    return digits == 0 ? 0 : trimmed.left(digits).toLongLong();
}

qint64 announcedLength(const QNetworkReply *reply)
{
    return leadingLength(reply->rawHeader("Content-Length"));
}

// Whether a 206 answer continues at byte `from` ("Content-Range: bytes
// FROM-LAST/SIZE", the size may be "*"); `size` is the whole body's length,
// or -1 to take any. The whole length goes to `whole` (0 for "*").
bool continuesAt(const QNetworkReply *reply, qint64 from, qint64 size, qint64 *whole = nullptr)
{
    const QByteArray range = reply->rawHeader("Content-Range").trimmed();
    if (!range.startsWith("bytes "))
        return false;
    const QByteArray bounds = range.mid(6).trimmed();
    const qsizetype dash = bounds.indexOf('-');
    const qsizetype slash = bounds.indexOf('/');
    if (dash <= 0 || slash <= dash)
        return false;
    bool ok = false;
    const qint64 first = bounds.left(dash).toLongLong(&ok);
    if (!ok || first != from)
        return false;
    const QByteArray length = bounds.mid(slash + 1);
    const qint64 stated = length == "*" ? 0 : length.toLongLong(&ok);
    if (length != "*" && !ok)
        return false;
    if (whole)
        *whole = stated;
    return size < 0 || length == "*" || stated == size;
}

// What names the version an answer carries: its strong ETag, else its
// Last-Modified (a weak tag does not vouch for the bytes); empty when neither.
QByteArray validatorOf(const QNetworkReply *reply)
{
    const QByteArray etag = reply->rawHeader("ETag").trimmed();
    return !etag.isEmpty() && !etag.startsWith("W/") ? etag : reply->rawHeader("Last-Modified").trimmed();
}

QString shown(const QByteArray &validator)
{
    return validator.isEmpty() ? QStringLiteral("无") : QString::fromLatin1(validator);
}

// The first bytes of a text body, on one line, for a failure's detail.
QString opening(QByteArrayView bytes)
{
    QString text = QString::fromUtf8(bytes.first(std::min<qsizetype>(48, bytes.size()))).simplified();
    text.removeIf([](QChar c) { return !c.isPrint(); });
    return text;
}

int statusOf(const QNetworkReply *reply)
{
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    return status.isValid() ? status.toInt() : 0;
}

bool redirecting(const QNetworkReply *reply)
{
    const int code = statusOf(reply);
    return code >= 300 && code < 400;
}

// What a failed write means for the user.
TransferStatus writeFailure(QFileDevice::FileError error)
{
    return error == QFileDevice::ResourceError ? TransferStatus::DiskFull : TransferStatus::WriteFailed;
}

// How much of a body is taken from the network at a time. Taking it in large
// pieces, not a block at a time, keeps the network layer's bookkeeping (a
// message to its thread per read while it is held back) off every block.
constexpr qsizetype kInboxBytes = 256 * 1024;

} // namespace

void Transfer::ReplyDisposer::operator()(QNetworkReply *reply) const
{
    // Aborting emits finished(); nobody is listening any more.
    QObject::disconnect(reply, nullptr, nullptr, nullptr);
    if (!reply->isFinished())
        reply->abort();
    reply->deleteLater();
}

QString Transfer::partialPath(const QString &target)
{
    return PartFile::pathFor(target);
}

Transfer::Transfer(QNetworkAccessManager *network, QObject *parent)
    : QObject(parent)
    , m_network(network)
{
    m_wake.setSingleShot(true);
    connect(&m_wake, &QTimer::timeout, this, &Transfer::onWake);
    connect(&m_syncing, &QFutureWatcherBase::finished, this, &Transfer::synced);
}

Transfer::~Transfer() = default;

void Transfer::start(const QString &url, const QString &target, int stallMs)
{
    if (m_running)
        return;
    m_running = true;
    m_stopRequested = false;
    m_url = url;
    m_target = target;
    m_stallMs = stallMs;
    m_bodyBegun = false;
    m_total = m_carriedOn = m_size = m_skip = m_received = 0;
    m_resumes = 0;
    m_httpStatus = 0;
    m_etag.clear();
    m_lastModified.clear();
    m_refusal.clear();
    m_note.clear();
    m_partValidator.clear();
    m_partFrom = m_continuePart ? PartFile::resumable(target, url, &m_partValidator) : 0;
    emit stage(Status::Connecting);
    emit stage(Status::Requesting);
    // An address a page chose may name a local file or device: only the web is asked.
    if (!isWebAddress(QUrl(m_url, QUrl::TolerantMode))) {
        finish(Status::RequestFailed);
        return;
    }
    ask(m_partFrom);
}

void Transfer::stop()
{
    // A complete body being synced to disk is placed all the same.
    if (!m_running || m_phase == Phase::Syncing)
        return;
    m_stopRequested = true;
    // Blocks being read see the request after the current one.
    if (!m_inStep)
        finish(Status::Stopped);
}

void Transfer::ask(qint64 from)
{
    QNetworkRequest request{QUrl(m_url, QUrl::TolerantMode)};
    request.setHeader(QNetworkRequest::UserAgentHeader, QByteArrayLiteral("VB Http"));
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setRawHeader("Cache-Control", "no-cache");
    if (from > 0) {
        // A range counts bytes of the file, not of a compressed rendering of it.
        request.setRawHeader("Accept-Encoding", "identity");
        request.setRawHeader("Range", "bytes=" + QByteArray::number(from) + '-');
        // Only the rest of the same resource: a changed one comes whole.
        const QByteArray tie = m_bodyBegun ? validator() : m_partValidator;
        if (!tie.isEmpty())
            request.setRawHeader("If-Range", tie);
    }

    m_asked = from;
    m_reply.reset(m_network->get(request));
    QNetworkReply *reply = m_reply.get();
    reply->setReadBufferSize(kReadBufferBytes);
    m_nudged = false;
    // Room for a whole block however much the network hands over at once.
    m_inbox.resize(std::max<qsizetype>(kInboxBytes, m_blockSize));
    m_inboxAt = m_inboxEnd = 0;
    m_broken = false;
    m_skip = 0;
    m_phase = Phase::Asking;
    connect(reply, &QNetworkReply::metaDataChanged, this, &Transfer::onReplySignal);
    connect(reply, &QNetworkReply::readyRead, this, &Transfer::onReplySignal);
    connect(reply, &QNetworkReply::finished, this, &Transfer::onReplySignal);
    m_judging = false;
    if (m_stallMs > 0)
        m_wake.start(m_stallMs);
}

void Transfer::onReplySignal()
{
    if (m_phase == Phase::Receiving) {
        scheduleStep();
        return;
    }
    if (m_phase != Phase::Asking)
        return;
    // A redirect is followed by the network layer; only the answer at its end
    // may touch the file (a redirect loop must not empty an earlier copy).
    QNetworkReply *reply = m_reply.get();
    if (!reply->isFinished() &&
        (!reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid() || redirecting(reply))) {
        if (m_stallMs > 0)
            m_wake.start(m_stallMs);
        return;
    }
    m_wake.stop();
    // The stages reported on the way may let the caller's events run: the
    // reply's later signals wait for the answer to be taken in.
    m_phase = Phase::Idle;
    answered(judgeAnswer());
}

void Transfer::onWake()
{
    if (m_phase == Phase::Asking) {
        m_httpStatus = 0;
        answered(Answer::Refused);
        return;
    }
    if (m_phase != Phase::Receiving)
        return;
    if (!m_judging)
        m_broken = true;
    step();
}

Transfer::Answer Transfer::judgeAnswer()
{
    QNetworkReply *reply = m_reply.get();
    const int code = statusOf(reply);
    m_httpStatus = code;
    m_retryAfter = reply->rawHeader("Retry-After");
    if (reply->isFinished() && reply->error() != QNetworkReply::NoError && redirecting(reply))
        return Answer::Refused;
    // A part nobody asked for is no whole file.
    if (code == 206 && m_asked == 0)
        return Answer::Refused;
    if (!m_bodyBegun) {
        // A partial file goes on only with the rest of its own version, from
        // its own end: a server may send a range of another one (it ignores
        // If-Range), and the two would make a file that never existed.
        if (m_partFrom > 0 && code == 416)
            return Answer::Retry;
        if (m_partFrom > 0 && code == 206) {
            if (!continuesAt(reply, m_partFrom, -1)) {
                m_note = QStringLiteral("续传位置不符 (%1, 应从第 %2 字节起), 已重新下载整个文件")
                             .arg(QString::fromLatin1(reply->rawHeader("Content-Range").trimmed()))
                             .arg(m_partFrom);
                return Answer::Retry;
            }
            if (validatorOf(reply) != m_partValidator) {
                m_note = QStringLiteral("已下载的部分属于另一版本 (%1, 服务器现为 %2), 已重新下载整个文件")
                             .arg(shown(m_partValidator), shown(validatorOf(reply)));
                return Answer::Retry;
            }
        }
        return code == 0 || code >= 400 ? Answer::Refused : Answer::Usable;
    }
    const qint64 from = m_asked;
    if (code == 0 || code >= 400)
        return Answer::Refused;
    if (code == 206) {
        if (!continuesAt(reply, from, m_size))
            return Answer::Refused;
        if (validator().isEmpty() || validatorOf(reply) == validator())
            return Answer::Usable;
        m_note = QStringLiteral("续传时文件已变 (%1, 服务器现为 %2), 已重新下载整个文件")
                     .arg(shown(validator()), shown(validatorOf(reply)));
        return Answer::StartOver;
    }
    if (code != 200)
        return Answer::Refused;
    // A server that ignores the range sends the whole body again: when it
    // proves to be the same resource, the part already on disk is passed over.
    const QByteArray etag = reply->rawHeader("ETag").trimmed();
    const bool same = !m_etag.isEmpty()
                          ? etag == m_etag
                          : !m_lastModified.isEmpty() && reply->rawHeader("Last-Modified").trimmed() == m_lastModified;
    if (same && announcedLength(reply) == m_size && from == m_total) {
        m_skip = from;
        return Answer::Usable;
    }
    // Anything else may be another file: splicing it onto the bytes on disk
    // would make a file that never existed, so it starts over.
    if (!emptyPart())
        return Answer::Refused;
    m_size = announcedLength(reply);
    m_etag = etag.startsWith("W/") ? QByteArray() : etag;
    m_lastModified = reply->rawHeader("Last-Modified").trimmed();
    m_contentType = reply->rawHeader("Content-Type");
    m_part.noteSource(m_url, validator());
    return Answer::Usable;
}

// Drops what the part holds, to be written again from its first byte.
bool Transfer::emptyPart()
{
    if (!m_part.file().seek(0) || !m_part.file().resize(0))
        return false;
    m_total = 0;
    return true;
}

void Transfer::answered(Answer answer)
{
    if (!m_bodyBegun) {
        switch (answer) {
        case Answer::Refused:
            finish(Status::RequestFailed);
            return;
        case Answer::Retry:
        case Answer::StartOver:
            m_partFrom = 0;
            ask(0);
            return;
        case Answer::Usable:
            break;
        }
        const Status begun = beginBody();
        if (begun == Status::Requesting)
            return; // asked again
        if (begun != Status::Receiving) {
            finish(begun);
            return;
        }
    } else if (answer == Answer::StartOver) {
        // The rest came of another version: the whole of the new one is asked for.
        if (m_resumes >= kMaxResumes || !emptyPart()) {
            finish(Status::Incomplete);
            return;
        }
        ++m_resumes;
        m_etag.clear();
        m_lastModified.clear();
        ask(0);
        return;
    } else if (answer != Answer::Usable) {
        resumeNext();
        return;
    }
    restartSpeedWindow();
    m_phase = Phase::Receiving;
    scheduleStep();
}

Transfer::Status Transfer::beginBody()
{
    emit stage(Status::QueryingSize);
    QNetworkReply *reply = m_reply.get();
    const bool continuing = m_partFrom > 0 && statusOf(reply) == 206;
    m_size = announcedLength(reply);
    if (continuing) {
        qint64 whole = 0;
        continuesAt(reply, m_partFrom, -1, &whole);
        m_size = whole;
    }
    m_etag = reply->rawHeader("ETag").trimmed();
    if (m_etag.startsWith("W/"))
        m_etag.clear(); // a weak tag does not vouch for the bytes
    m_lastModified = reply->rawHeader("Last-Modified").trimmed();
    m_contentType = reply->rawHeader("Content-Type");

    const double startOfDay = QTime::currentTime().msecsSinceStartOfDay() / 1000.0;
    m_startOffset = startOfDay - std::nearbyint(startOfDay);
    m_clock.start();

    emit stage(Status::Receiving);
    if (!m_part.open(m_target, continuing ? m_partFrom : 0, m_url, validator()))
        return m_part.isBusy() ? Status::Busy : Status::WriteFailed;
    if (m_part.keptBytes() != (continuing ? m_partFrom : 0)) {
        // The part changed since it was looked at: the rest of it is no use.
        m_part.discard();
        m_partFrom = 0;
        ask(0);
        return Status::Requesting;
    }
    m_total = m_carriedOn = m_part.keptBytes();
    m_bodyBegun = true;
    return Status::Receiving;
}

void Transfer::resumeNext()
{
    if (m_resumes >= kMaxResumes) {
        finish(Status::Incomplete);
        return;
    }
    ++m_resumes;
    ask(m_total);
}

void Transfer::scheduleStep()
{
    if (m_stepScheduled || m_inStep)
        return;
    m_stepScheduled = true;
    QMetaObject::invokeMethod(this, &Transfer::step, Qt::QueuedConnection);
}

void Transfer::step()
{
    m_stepScheduled = false;
    if (!m_running || m_inStep || m_phase != Phase::Receiving)
        return;
    m_wake.stop();
    m_inStep = true;
    Status end = Status::Incomplete;
    const bool ended = receive(end);
    m_inStep = false;
    if (ended)
        finish(end);
}

bool Transfer::receive(Status &end)
{
    for (;;) {
        if (tooSlow()) {
            end = Status::Incomplete;
            return true;
        }
        QNetworkReply *reply = m_reply.get();
        if (!takeIn(reply)) {
            end = Status::Incomplete; // a read that fails mid-body
            return true;
        }
        const qint64 held = m_inboxEnd - m_inboxAt;
        const bool ended = (m_broken || reply->isFinished()) && reply->bytesAvailable() == 0;
        // The first bytes decide whether the body is kept at all.
        const qint64 least = m_fill == Fill::Whole ? m_blockSize : (m_total == 0 ? kSniffBytes : 1);
        if (held >= least || (held > 0 && ended)) {
            if (!writeBlock(std::min<qint64>(held, m_blockSize), end))
                return true;
            if (m_stopRequested) {
                end = Status::Stopped;
                return true;
            }
            if (m_betweenBlocks)
                m_betweenBlocks();
            continue;
        }
        if (ended) {
            const bool whole = m_size > 0 ? m_total >= m_size : !m_broken && reply->error() == QNetworkReply::NoError;
            // Nothing at all is no song, whatever the answer said: an earlier copy must not give way to it.
            if (whole && m_total == 0) {
                const bool page = sniffBody(m_contentType, {}) != BodyKind::Audio;
                m_refusal = page ? QStringLiteral("服务器发来的是空白网页 (%1)").arg(QString::fromLatin1(m_contentType))
                                 : QStringLiteral("服务器的回答没有内容 (0 字节)");
                end = page ? Status::NotAudio : Status::EmptyBody;
                return true;
            }
            end = whole ? Status::DataComplete : Status::Incomplete;
            if (whole || m_size <= 0 || m_resumes >= kMaxResumes)
                return true;
        }
        if (m_stopRequested) {
            end = Status::Stopped;
            return true;
        }
        if (ended) {
            resumeNext();
            return false;
        }
        nudge();
        // Wake up in time to judge the speed, should nothing else come.
        int wait = m_stallMs;
        m_judging = false;
        if (m_lowSpeedWindowMs > 0) {
            const qint64 untilJudged = std::max<qint64>(1, m_windowFromMs + m_lowSpeedWindowMs - m_clock.elapsed());
            if (wait <= 0 || untilJudged < wait) {
                wait = static_cast<int>(untilJudged);
                m_judging = true;
            }
        }
        // Held back by the rate limit, not by the sender: no stall, only a wait for the next grant.
        if (m_rateLimit && reply->bytesAvailable() > 0) {
            const int untilGranted = m_rateLimit->msUntil(reply->bytesAvailable());
            if (wait <= 0 || untilGranted < wait) {
                wait = untilGranted;
                m_judging = true;
            }
        }
        if (wait > 0)
            m_wake.start(wait);
        return false;
    }
}

// Moves what the network holds for us into the inbox, once less than a block
// is left there; bytes already on disk are passed over on the way. Paced, it
// takes no more than the rate limit grants: the rest waits in the network
// buffer, which holds the sender back.
bool Transfer::takeIn(QNetworkReply *reply, bool paced)
{
    qint64 available = reply->bytesAvailable();
    while (m_skip > 0 && available > 0) {
        const qint64 skipped = reply->skip(std::min(m_skip, available));
        if (skipped <= 0)
            return false;
        m_skip -= skipped;
        m_received += skipped;
        available -= skipped;
    }
    const qsizetype held = m_inboxEnd - m_inboxAt;
    if (available <= 0 || held >= m_blockSize)
        return true;
    qint64 wanted = std::min<qint64>(available, m_inbox.size() - held);
    if (paced && m_rateLimit) {
        wanted = m_rateLimit->grant(wanted);
        if (wanted == 0)
            return true;
    }
    std::memmove(m_inbox.data(), m_inbox.constData() + m_inboxAt, held);
    m_inboxAt = 0;
    m_inboxEnd = held;
    const qint64 got = reply->read(m_inbox.data() + held, wanted);
    if (got < 0)
        return false;
    m_inboxEnd += got;
    m_received += got;
    return true;
}

// Writes the next `bytes` of the inbox and reports them; false with `end`
// set when the transfer ends here instead.
bool Transfer::writeBlock(qint64 bytes, Status &end)
{
    const char *block = m_inbox.constData() + m_inboxAt;
    if (m_total == 0) {
        const qsizetype held = m_inboxEnd - m_inboxAt;
        switch (sniffBody(m_contentType, QByteArrayView(block, std::min(held, kSniffBytes)))) {
        case BodyKind::Audio:
            break;
        case BodyKind::WebPage:
            m_refusal = QStringLiteral("服务器发来的是网页 (%1)").arg(QString::fromLatin1(m_contentType));
            end = Status::NotAudio;
            return false;
        case BodyKind::Markup:
            m_refusal = QStringLiteral("服务器发来的内容以网页标记开头");
            end = Status::NotAudio;
            return false;
        case BodyKind::Text:
            m_refusal = QStringLiteral("服务器发来的是文字而不是音乐: %1")
                            .arg(opening(QByteArrayView(block, std::min(held, kSniffBytes))));
            end = Status::NotAudio;
            return false;
        }
    }
    end = Status::Incomplete;
    if (m_total + bytes > m_maxBodyBytes)
        return false; // no song is that long: an endless body
    if (m_part.file().write(block, bytes) != bytes) {
        end = writeFailure(m_part.error());
        return false;
    }
    m_inboxAt += bytes;
    m_total += bytes;
    emit progress(m_total, m_size);
    return true;
}

// After a stop, writes what has come but was not written yet, so that the
// part holds everything received.
void Transfer::keepWhatCame()
{
    if (!m_part.isOpen() || !m_reply)
        return;
    Status ignored = Status::Stopped;
    // What already came costs the network nothing more: it is kept whatever the rate.
    while (takeIn(m_reply.get(), false)) {
        const qint64 held = m_inboxEnd - m_inboxAt;
        if (held <= 0 || !writeBlock(std::min<qint64>(held, m_blockSize), ignored))
            return;
    }
}

void Transfer::finish(Status end)
{
    m_wake.stop();
    if (end == Status::DataComplete && m_phase != Phase::Syncing && syncInBackground())
        return; // finishes once the part is on disk
    if (end == Status::Stopped && m_fill == Fill::AsReceived && m_phase == Phase::Receiving)
        keepWhatCame();
    const QFileDevice::FileError fileError = m_part.error();
    const QString fileErrorText = m_part.errorString();
    end = settle(end);
    m_failure = failureCause(end, fileError, fileErrorText);
    m_reply.reset();
    m_phase = Phase::Idle;
    m_running = false;
    m_stopRequested = false;
    emit finished(end);
}

// Syncs the complete part to disk on a worker thread: a sync takes a while
// on a real disk, and the other transfers of a batch go on meanwhile (and
// several syncs at once cost the disk little more than one). False when it
// cannot be started; the part is then synced as it is placed.
bool Transfer::syncInBackground()
{
    if (!m_part.isOpen() || !m_part.flush())
        return false;
    // Its own descriptor: the transfer, and the part with it, may go first.
    const int fd = ::dup(m_part.file().handle());
    if (fd < 0)
        return false;
    m_reply.reset();
    m_phase = Phase::Syncing;
    auto promise = std::make_shared<QPromise<int>>();
    m_syncing.setFuture(promise->future());
    QThreadPool::globalInstance()->start([promise, fd] {
        promise->start();
        promise->addResult(::fsync(fd) == 0 ? 0 : errno);
        ::close(fd);
        promise->finish();
    });
    return true;
}

void Transfer::synced()
{
    if (m_phase != Phase::Syncing)
        return;
    const int error = m_syncing.future().result();
    finish(m_part.markSynced(error) ? Status::DataComplete : writeFailure(m_part.error()));
}

// Closes the partial file and, for a complete body, puts it in the target's
// place. What stays of the partial file is worth something only after a stop
// or a short body, and only when it holds bytes.
Transfer::Status Transfer::settle(Status end)
{
    if (!m_part.isOpen())
        return end;
    const bool flushed = m_part.flush();
    if (!flushed && end != Status::Stopped)
        end = writeFailure(m_part.error());
    if (end == Status::DataComplete) {
        if (flushed && m_beforePlacing && m_beforePlacing(m_part.path()))
            m_part.markChanged();
        // Fails when the folder went away meanwhile, with the file in it.
        if (m_part.place())
            return end;
        end = writeFailure(m_part.error());
    }
    if (!flushed || m_total == 0 || (end != Status::Stopped && end != Status::Incomplete))
        m_part.discard();
    else
        m_part.close();
    return end;
}

QString Transfer::failureCause(Status end, QFileDevice::FileError fileError, const QString &fileErrorText) const
{
    const QString where = QDir::toNativeSeparators(m_part.path().isEmpty() ? m_target : m_part.path());
    switch (end) {
    case Status::RequestFailed:
        if (!isWebAddress(QUrl(m_url, QUrl::TolerantMode)))
            return QStringLiteral("不是网页地址: %1").arg(m_url);
        if (m_httpStatus >= 400 || m_httpStatus == 206)
            return netcause::ofHttpStatus(m_httpStatus);
        if (m_reply && m_reply->error() != QNetworkReply::NoError)
            return netcause::ofReply(m_reply->error(), m_reply->errorString());
        return netcause::timedOut();
    case Status::Incomplete: {
        const QString got = m_size > 0 ? QStringLiteral("只收到 %1 / %2 字节").arg(m_total).arg(m_size)
                                       : QStringLiteral("只收到 %1 字节").arg(m_total);
        if (m_reply && m_reply->error() != QNetworkReply::NoError)
            return got + QStringLiteral(" (") + netcause::ofReply(m_reply->error(), m_reply->errorString()) +
                   QLatin1Char(')');
        return got;
    }
    case Status::DiskFull:
        return QStringLiteral("磁盘已满,无法写入 %1").arg(where);
    case Status::WriteFailed:
        if (fileError != QFileDevice::NoError)
            return QStringLiteral("无法写入 %1: %2").arg(where, fileErrorText);
        if (!m_part.errorString().isEmpty())
            return QStringLiteral("无法写入 %1: %2").arg(where, m_part.errorString());
        return QStringLiteral("无法写入 %1").arg(QDir::toNativeSeparators(m_target));
    case Status::NotAudio:
    case Status::EmptyBody:
        return m_refusal;
    case Status::Busy:
        return QStringLiteral("%1 正由另一个进程写入").arg(where);
    default:
        return QString();
    }
}

// Once its buffer has been taken, the network layer may leave what is left in
// the connection there, with no signal to come for it (a body without a
// length or in large chunks would stall). Any change of the buffer's size
// makes it read on; the size stays within a byte of kReadBufferBytes.
void Transfer::nudge()
{
    m_nudged = !m_nudged;
    m_reply->setReadBufferSize(m_nudged ? kReadBufferBytes - 1 : kReadBufferBytes);
}

void Transfer::restartSpeedWindow()
{
    m_windowFromMs = m_clock.elapsed();
    m_windowFromBytes = m_received + m_reply->bytesAvailable();
}

bool Transfer::tooSlow()
{
    if (m_lowSpeedWindowMs <= 0)
        return false;
    const qint64 span = m_clock.elapsed() - m_windowFromMs;
    if (span < m_lowSpeedWindowMs)
        return false;
    const qint64 available = m_reply->bytesAvailable();
    const qint64 got = m_received + available - m_windowFromBytes;
    // A body that is all in, or a buffer that filled up meanwhile, means the
    // wait was ours (a question or a dialog kept the window busy), not the sender's.
    const bool waitedOnUs = m_reply->isFinished() || available >= kInboxBytes;
    const bool slow = !waitedOnUs && got * 1000 < m_lowSpeedBytesPerSecond * span;
    restartSpeedWindow();
    return slow;
}

qint64 Transfer::speed() const
{
    if (!m_clock.isValid())
        return kFirstSecondSpeed;
    // Whole seconds and the quotient both round halves to even.
    const double elapsed = std::nearbyint(m_startOffset + static_cast<double>(m_clock.elapsed()) / 1000.0);
    if (elapsed <= 0.0)
        return kFirstSecondSpeed;
    return static_cast<qint64>(std::nearbyint(static_cast<double>(m_total) / elapsed));
}

} // namespace download
