#include "download/transfer.h"

#include "download/filename.h"
#include "download/ratelimit.h"
#include "page/netcause.h"
#include "page/webaddress.h"

#include <QDir>

#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTime>
#include <QUrl>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <system_error>

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

// What a failed write of `file` means for the user.
TransferStatus writeFailure(const QFile &file)
{
    return file.error() == QFileDevice::ResourceError ? TransferStatus::DiskFull : TransferStatus::WriteFailed;
}

// Puts `from` in the place of `to` in one step: whoever looks at `to` sees
// either the earlier file or the new one, never a mixture or nothing.
bool replaceFile(const QString &from, const QString &to)
{
    std::error_code error;
    std::filesystem::rename(QFileInfo(from).filesystemFilePath(), QFileInfo(to).filesystemFilePath(), error);
    return !error;
}

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
    const QString suffix = QStringLiteral(".part");
    const QFileInfo info(target);
    QString name = info.fileName();
    // The target's own name may already use all the room a name has.
    while (!name.isEmpty() && (name + suffix).toUtf8().size() > kMaxFileNameBytes)
        name.chop(name.size() >= 2 && name.back().isLowSurrogate() ? 2 : 1);
    return target.left(target.size() - info.fileName().size()) + name + suffix;
}

Transfer::Transfer(QNetworkAccessManager *network, QObject *parent)
    : QObject(parent)
    , m_network(network)
{
    m_wake.setSingleShot(true);
    connect(&m_wake, &QTimer::timeout, this, &Transfer::onWake);
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
    m_total = m_size = m_skip = m_received = 0;
    m_resumes = 0;
    m_httpStatus = 0;
    m_etag.clear();
    m_lastModified.clear();
    m_partFrom = 0;
    if (m_continuePart) {
        const QFileInfo part(partialPath(target));
        if (part.isFile())
            m_partFrom = part.size();
    }
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
    if (!m_running)
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
    // Lengths and ranges then count the bytes that end up in the file.
    request.setRawHeader("Accept-Encoding", "identity");
    if (from > 0) {
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
    if (!m_bodyBegun) {
        // A partial file that no longer fits the resource is started over.
        if (m_partFrom > 0 && (code == 416 || (code == 206 && !continuesAt(reply, m_partFrom, -1))))
            return Answer::Retry;
        return code == 0 || code >= 400 ? Answer::Refused : Answer::Usable;
    }
    const qint64 from = m_asked;
    if (code == 0 || code >= 400)
        return Answer::Refused;
    if (code == 206)
        return continuesAt(reply, from, m_size) ? Answer::Usable : Answer::Refused;
    if (code != 200)
        return Answer::Refused;
    // A server that ignores the range sends the whole body again: when it
    // proves to be the same resource, the part already on disk is passed over.
    const QByteArray etag = reply->rawHeader("ETag").trimmed();
    const bool same = !m_etag.isEmpty()
                          ? etag == m_etag
                          : !m_lastModified.isEmpty() && reply->rawHeader("Last-Modified").trimmed() == m_lastModified;
    if (same && announcedLength(reply) == m_size) {
        m_skip = from;
        return Answer::Usable;
    }
    // Anything else may be another file: splicing it onto the bytes on disk
    // would make a file that never existed, so it starts over.
    if (!m_file.seek(0) || !m_file.resize(0))
        return Answer::Refused;
    m_total = 0;
    m_size = announcedLength(reply);
    m_etag = etag.startsWith("W/") ? QByteArray() : etag;
    m_lastModified = reply->rawHeader("Last-Modified").trimmed();
    return Answer::Usable;
}

void Transfer::answered(Answer answer)
{
    if (!m_bodyBegun) {
        switch (answer) {
        case Answer::Refused:
            finish(Status::RequestFailed);
            return;
        case Answer::Retry:
            m_partFrom = 0;
            ask(0);
            return;
        case Answer::Usable:
            break;
        }
        const Status begun = beginBody();
        if (begun != Status::Receiving) {
            finish(begun);
            return;
        }
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

    const double startOfDay = QTime::currentTime().msecsSinceStartOfDay() / 1000.0;
    m_startOffset = startOfDay - std::nearbyint(startOfDay);
    m_clock.start();

    emit stage(Status::Receiving);
    m_file.setFileName(partialPath(m_target));
    const bool opened = continuing
                            ? m_file.open(QIODevice::ReadWrite) && m_file.resize(m_partFrom) && m_file.seek(m_partFrom)
                            : m_file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    if (!opened) {
        m_file.close();
        return Status::WriteFailed;
    }
    m_total = continuing ? m_partFrom : 0;
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
    QByteArray block(m_blockSize, Qt::Uninitialized);
    for (;;) {
        if (tooSlow()) {
            end = Status::Incomplete;
            return true;
        }
        QNetworkReply *reply = m_reply.get();
        const qint64 available = reply->bytesAvailable();
        if (m_skip > 0 && available > 0) {
            const qint64 skipped = reply->skip(std::min(m_skip, available));
            if (skipped <= 0) {
                end = Status::Incomplete;
                return true;
            }
            m_skip -= skipped;
            m_received += skipped;
            continue;
        }
        const bool ended = m_broken || reply->isFinished();
        if (available >= m_blockSize || (available > 0 && ended)) {
            const qint64 wanted = std::min<qint64>(available, m_blockSize);
            const qint64 allowed = m_rateLimit ? m_rateLimit->grant(wanted) : m_blockSize;
            if (allowed == 0) {
                // Over the run's rate: the body waits in the network buffer, which holds the sender back.
                m_judging = true;
                m_wake.start(m_rateLimit->msUntil(wanted));
                return false;
            }
            const qint64 n = reply->read(block.data(), allowed);
            end = Status::Incomplete;
            if (n <= 0)
                return true; // a read that fails mid-body
            m_received += n;
            if (m_total + n > m_maxBodyBytes)
                return true; // no song is that long: an endless body
            if (m_file.write(block.constData(), n) != n) {
                end = writeFailure(m_file);
                return true;
            }
            m_total += n;
            emit progress(m_total, m_size);
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
        if (wait > 0)
            m_wake.start(wait);
        return false;
    }
}

void Transfer::finish(Status end)
{
    m_wake.stop();
    const QString fileName = m_file.fileName();
    const QFileDevice::FileError fileError = m_file.error();
    const QString fileErrorText = m_file.errorString();
    end = settle(end);
    m_failure = failureCause(end, fileName, fileError, fileErrorText);
    m_reply.reset();
    m_phase = Phase::Idle;
    m_running = false;
    m_stopRequested = false;
    emit finished(end);
}

// Closes the partial file and, for a complete body, puts it in the target's
// place. What stays of the partial file is worth something only after a stop
// or a short body, and only when it holds bytes.
Transfer::Status Transfer::settle(Status end)
{
    if (!m_file.isOpen())
        return end;
    const QString partial = m_file.fileName();
    const bool flushed = m_file.flush();
    if (!flushed && end != Status::Stopped)
        end = writeFailure(m_file);
    m_file.close();
    if (end == Status::DataComplete) {
        // Fails when the folder went away meanwhile, with the file in it.
        if (replaceFile(partial, m_target))
            return end;
        end = Status::WriteFailed;
    }
    if (!flushed || m_total == 0 || (end != Status::Stopped && end != Status::Incomplete))
        QFile::remove(partial);
    return end;
}

QString Transfer::failureCause(Status end, const QString &fileName, QFileDevice::FileError fileError,
                               const QString &fileErrorText) const
{
    const QString where = QDir::toNativeSeparators(fileName.isEmpty() ? m_target : fileName);
    switch (end) {
    case Status::RequestFailed:
        if (!isWebAddress(QUrl(m_url, QUrl::TolerantMode)))
            return QStringLiteral("不是网页地址: %1").arg(m_url);
        if (m_httpStatus >= 400)
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
        return QStringLiteral("无法写入 %1").arg(QDir::toNativeSeparators(m_target));
    default:
        return QString();
    }
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
    const bool waitedOnUs = m_reply->isFinished() || available >= kReadBufferBytes / 2;
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
