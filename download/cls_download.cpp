#include "download/cls_download.h"

#include "download/filename.h"
#include "page/netcause.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTime>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <memory>
#include <system_error>

namespace {

struct ReplyDisposer
{
    void operator()(QNetworkReply *reply) const
    {
        if (!reply->isFinished())
            reply->abort();
        reply->deleteLater();
    }
};
using ReplyHandle = std::unique_ptr<QNetworkReply, ReplyDisposer>;

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

// Whether a 206 answer continues at byte `from` of a body of `size` bytes
// ("Content-Range: bytes FROM-LAST/SIZE", the size may be "*").
bool continuesAt(const QNetworkReply *reply, qint64 from, qint64 size)
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
    const QByteArray whole = bounds.mid(slash + 1);
    return whole == "*" || whole.toLongLong() == size;
}

int httpStatus(const QNetworkReply *reply)
{
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    return status.isValid() ? status.toInt() : 0;
}

// What a failed write of `file` means for the user.
Cls_DownLoad::Status writeFailure(const QFile &file)
{
    return file.error() == QFileDevice::ResourceError ? Cls_DownLoad::Status::DiskFull
                                                      : Cls_DownLoad::Status::WriteFailed;
}

// Why a write of `file` failed, naming the file.
QString writeCause(const QFile &file)
{
    const QString where = QDir::toNativeSeparators(file.fileName());
    if (file.error() == QFileDevice::ResourceError)
        return QStringLiteral("磁盘已满,无法写入 %1").arg(where);
    return QStringLiteral("无法写入 %1: %2").arg(where, file.errorString());
}

// Why the body of `reply` stopped coming.
QString readCause(const QNetworkReply *reply)
{
    return reply->error() == QNetworkReply::NoError ? QStringLiteral("连接中断")
                                                    : netcause::ofReply(reply->error(), reply->errorString());
}

bool failed(Cls_DownLoad::Status end)
{
    using S = Cls_DownLoad::Status;
    return end == S::ConnectFailed || end == S::RequestFailed || end == S::Incomplete || end == S::WriteFailed ||
           end == S::DiskFull;
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

struct Cls_DownLoad::Transfer
{
    QString url;
    QString path;
    int stallMs = 0;
    ReplyHandle reply;
    QFile file;
    qint64 total = 0;    // bytes written
    qint64 size = 0;     // the announced length, 0 when unknown
    qint64 skip = 0;     // leading bytes of the current answer that are already on disk
    qint64 received = 0; // body bytes taken from the network, passed-over ones included
    int resumes = 0;
    // What identifies the resource of the first answer, for resuming it.
    QByteArray etag; // strong entity tags only
    QByteArray lastModified;
    // The low-speed window: when it began and how much had been received by then.
    qint64 windowFromMs = 0;
    qint64 windowFromBytes = 0;
    bool broken = false; // the current answer was given up on
    QString failure;     // why the transfer is failing, once it is
    QElapsedTimer clock;
    // How far the start time of day lies past the whole second it rounds to;
    // elapsed whole seconds are counted from that rounded second.
    double startOffset = 0.0;
};

QString Cls_DownLoad::partialPath(const QString &target)
{
    const QString suffix = QStringLiteral(".part");
    const QFileInfo info(target);
    QString name = info.fileName();
    // The target's own name may already use all the room a name has.
    while (!name.isEmpty() && (name + suffix).toUtf8().size() > download::kMaxFileNameBytes)
        name.chop(name.size() >= 2 && name.back().isLowSurrogate() ? 2 : 1);
    return target.left(target.size() - info.fileName().size()) + name + suffix;
}

Cls_DownLoad::Cls_DownLoad(QObject *parent)
    : QObject(parent)
    , m_network(new QNetworkAccessManager(this))
{}

Cls_DownLoad::~Cls_DownLoad() = default;

qint64 Cls_DownLoad::DLFile(const QString &sRemoteURL, const QString &sLocalFilePath, int lTimeOut)
{
    if (m_running)
        return 0;
    m_running = true;
    // A request left over from an earlier transfer is not meant for this one.
    m_stopRequested = false;

    Transfer t;
    t.url = sRemoteURL;
    t.path = sLocalFilePath;
    t.stallMs = lTimeOut;
    const Status end = settle(t, transfer(t));
    t.reply.reset();
    m_lastError = failed(end) ? t.failure : QString();
    status(end);
    status(Status::Finished);

    m_stopRequested = false;
    m_running = false;
    return t.total;
}

void Cls_DownLoad::DLFileStop()
{
    if (!m_running)
        return;
    m_stopRequested = true;
    if (m_wait)
        m_wait->quit();
}

Cls_DownLoad::Status Cls_DownLoad::transfer(Transfer &t)
{
    status(Status::Connecting);
    status(Status::Requesting);
    switch (sendRequest(t, 0)) {
    case Answer::Usable:
        break;
    case Answer::Refused:
        return Status::RequestFailed;
    case Answer::Stopped:
    case Answer::Interrupted:
        return Status::Stopped;
    }

    status(Status::QueryingSize);
    QNetworkReply *reply = t.reply.get();
    t.size = announcedLength(reply);
    t.etag = reply->rawHeader("ETag").trimmed();
    if (t.etag.startsWith("W/"))
        t.etag.clear(); // a weak tag does not vouch for the bytes
    t.lastModified = reply->rawHeader("Last-Modified").trimmed();

    const double startOfDay = QTime::currentTime().msecsSinceStartOfDay() / 1000.0;
    t.startOffset = startOfDay - std::nearbyint(startOfDay);
    t.clock.start();

    status(Status::Receiving);
    t.file.setFileName(partialPath(t.path));
    if (!t.file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        t.failure = writeCause(t.file);
        return Status::WriteFailed;
    }
    restartSpeedWindow(t);
    return receive(t);
}

// Closes the partial file and, for a complete body, puts it in the target's
// place. What stays of the partial file is worth something only after a stop
// or a short body, and only when it holds bytes.
Cls_DownLoad::Status Cls_DownLoad::settle(Transfer &t, Status end)
{
    if (!t.file.isOpen())
        return end;
    const QString partial = t.file.fileName();
    const bool flushed = t.file.flush();
    if (!flushed && end != Status::Stopped) {
        end = writeFailure(t.file);
        t.failure = writeCause(t.file);
    }
    t.file.close();
    if (end == Status::DataComplete) {
        // Fails when the folder went away meanwhile, with the file in it.
        if (replaceFile(partial, t.path))
            return end;
        end = Status::WriteFailed;
        t.failure = QStringLiteral("无法写入 %1").arg(QDir::toNativeSeparators(t.path));
    }
    if (!flushed || t.total == 0 || (end != Status::Stopped && end != Status::Incomplete))
        QFile::remove(partial);
    return end;
}

Cls_DownLoad::Status Cls_DownLoad::receive(Transfer &t)
{
    char block[kBlockSize];
    for (;;) {
        if (tooSlow(t)) {
            t.failure = QStringLiteral("下载速度过慢");
            return Status::Incomplete;
        }
        QNetworkReply *reply = t.reply.get();
        const qint64 available = reply->bytesAvailable();
        if (t.skip > 0 && available > 0) {
            const qint64 skipped = reply->skip(std::min(t.skip, available));
            if (skipped <= 0) {
                t.failure = readCause(reply);
                return Status::Incomplete;
            }
            t.skip -= skipped;
            t.received += skipped;
            continue;
        }
        const bool ended = t.broken || reply->isFinished();
        if (available >= kBlockSize || (available > 0 && ended)) {
            const qint64 n = reply->read(block, kBlockSize);
            if (n <= 0) {
                t.failure = readCause(reply); // a read that fails mid-body
                return Status::Incomplete;
            }
            t.received += n;
            if (t.total + n > m_maxBodyBytes) {
                // No song is that long: an endless body.
                t.failure = QStringLiteral("文件超过 %1 字节,不像是音乐").arg(m_maxBodyBytes);
                return Status::Incomplete;
            }
            if (t.file.write(block, n) != n) {
                t.failure = writeCause(t.file);
                return writeFailure(t.file);
            }
            t.total += n;
            emit entDLFileDowning(t.url, t.total, t.size, speed(t));
            if (m_stopRequested)
                return Status::Stopped;
            QCoreApplication::processEvents(QEventLoop::AllEvents);
            continue;
        }
        if (ended) {
            const bool whole = t.size > 0 ? t.total >= t.size : !t.broken && reply->error() == QNetworkReply::NoError;
            if (whole)
                return Status::DataComplete;
            const QString cut = t.broken ? netcause::timedOut() : readCause(reply);
            Status end = Status::Incomplete;
            if (resume(t, end))
                continue;
            // The refusal of the last try to resume, if one was made, says the rest.
            const QString why = t.failure.isEmpty() ? cut : cut + QStringLiteral("; ") + t.failure;
            if (t.size > 0)
                t.failure = QStringLiteral("只收到 %1 / %2 字节 (%3)").arg(t.total).arg(t.size).arg(why);
            else
                t.failure = why;
            return end;
        }
        // Wake up in time to judge the speed, should nothing else come.
        int wait = t.stallMs;
        bool judging = false;
        if (m_lowSpeedWindowMs > 0) {
            const qint64 untilJudged = std::max<qint64>(1, t.windowFromMs + m_lowSpeedWindowMs - t.clock.elapsed());
            if (wait <= 0 || untilJudged < wait) {
                wait = static_cast<int>(untilJudged);
                judging = true;
            }
        }
        switch (waitFor(reply, false, wait)) {
        case Wake::Ready:
            break;
        case Wake::Stalled:
            t.broken = !judging;
            break;
        case Wake::Stopped:
        case Wake::Interrupted:
            return Status::Stopped;
        }
    }
}

bool Cls_DownLoad::resume(Transfer &t, Status &end)
{
    end = Status::Incomplete;
    if (t.size <= 0)
        return false;
    while (t.resumes < kMaxResumes) {
        ++t.resumes;
        t.failure.clear();
        switch (sendRequest(t, t.total)) {
        case Answer::Usable:
            restartSpeedWindow(t);
            return true;
        case Answer::Refused:
            break;
        case Answer::Stopped:
        case Answer::Interrupted:
            end = Status::Stopped;
            return false;
        }
    }
    return false;
}

Cls_DownLoad::Answer Cls_DownLoad::sendRequest(Transfer &t, qint64 from)
{
    QNetworkRequest request{QUrl(t.url, QUrl::TolerantMode)};
    request.setHeader(QNetworkRequest::UserAgentHeader, QByteArrayLiteral("VB Http"));
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setRawHeader("Cache-Control", "no-cache");
    // Lengths and ranges then count the bytes that end up in the file.
    request.setRawHeader("Accept-Encoding", "identity");
    if (from > 0) {
        request.setRawHeader("Range", "bytes=" + QByteArray::number(from) + '-');
        // Only the rest of the same resource: a changed one comes whole.
        const QByteArray &validator = t.etag.isEmpty() ? t.lastModified : t.etag;
        if (!validator.isEmpty())
            request.setRawHeader("If-Range", validator);
    }

    t.reply.reset(m_network->get(request));
    t.reply->setReadBufferSize(kReadBufferBytes);
    t.broken = false;
    t.skip = 0;
    QNetworkReply *reply = t.reply.get();
    // A redirect is followed by the network layer; only the answer at its end
    // may touch the file (a redirect loop must not empty an earlier copy).
    const auto redirecting = [reply] {
        const int code = httpStatus(reply);
        return code >= 300 && code < 400;
    };
    while (!reply->isFinished() &&
           (!reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid() || redirecting())) {
        switch (waitFor(reply, true, t.stallMs)) {
        case Wake::Ready:
            break;
        case Wake::Stalled:
            t.failure = netcause::timedOut();
            return Answer::Refused;
        case Wake::Stopped:
            return Answer::Stopped;
        case Wake::Interrupted:
            return Answer::Interrupted;
        }
    }

    const int code = httpStatus(reply);
    if ((reply->isFinished() && reply->error() != QNetworkReply::NoError && redirecting()) || code == 0) {
        t.failure = netcause::ofReply(reply->error(), reply->errorString());
        return Answer::Refused;
    }
    if (code >= 400) {
        t.failure = netcause::ofHttpStatus(code);
        return Answer::Refused;
    }
    if (from == 0)
        return Answer::Usable;
    if (code == 206) {
        if (continuesAt(reply, from, t.size))
            return Answer::Usable;
        t.failure = QStringLiteral("服务器续传的部分对不上");
        return Answer::Refused;
    }
    if (code != 200) {
        t.failure = netcause::ofHttpStatus(code);
        return Answer::Refused;
    }
    // A server that ignores the range sends the whole body again: when it
    // proves to be the same resource, the part already on disk is passed over.
    const QByteArray etag = reply->rawHeader("ETag").trimmed();
    const bool same = !t.etag.isEmpty()
                          ? etag == t.etag
                          : !t.lastModified.isEmpty() && reply->rawHeader("Last-Modified").trimmed() == t.lastModified;
    if (same && announcedLength(reply) == t.size) {
        t.skip = from;
        return Answer::Usable;
    }
    // Anything else may be another file: splicing it onto the bytes on disk
    // would make a file that never existed, so it starts over.
    if (!t.file.seek(0) || !t.file.resize(0)) {
        t.failure = writeCause(t.file);
        return Answer::Refused;
    }
    t.total = 0;
    t.size = announcedLength(reply);
    t.etag = etag.startsWith("W/") ? QByteArray() : etag;
    t.lastModified = reply->rawHeader("Last-Modified").trimmed();
    return Answer::Usable;
}

Cls_DownLoad::Wake Cls_DownLoad::waitFor(QNetworkReply *reply, bool headersOnly, int stallMs)
{
    if (m_stopRequested)
        return Wake::Stopped;
    QEventLoop loop;
    Wake wake = Wake::Interrupted;
    // The first reason to wake up is the one that counts.
    const auto wakeWith = [&](Wake why) {
        if (wake == Wake::Interrupted)
            wake = why;
        loop.quit();
    };
    if (headersOnly)
        connect(reply, &QNetworkReply::metaDataChanged, &loop, [&] { wakeWith(Wake::Ready); });
    else
        connect(reply, &QNetworkReply::readyRead, &loop, [&] { wakeWith(Wake::Ready); });
    connect(reply, &QNetworkReply::finished, &loop, [&] { wakeWith(Wake::Ready); });
    QTimer stall;
    if (stallMs > 0) {
        stall.setSingleShot(true);
        connect(&stall, &QTimer::timeout, &loop, [&] { wakeWith(Wake::Stalled); });
        stall.start(stallMs);
    }
    m_wait = &loop;
    loop.exec(QEventLoop::AllEvents);
    m_wait = nullptr;
    // Neither data nor a timeout: a stop request, or the application ending
    // every event loop on its way out.
    if (wake == Wake::Interrupted && m_stopRequested)
        wake = Wake::Stopped;
    return wake;
}

void Cls_DownLoad::restartSpeedWindow(Transfer &t) const
{
    t.windowFromMs = t.clock.elapsed();
    t.windowFromBytes = t.received + t.reply->bytesAvailable();
}

bool Cls_DownLoad::tooSlow(Transfer &t) const
{
    if (m_lowSpeedWindowMs <= 0)
        return false;
    const qint64 span = t.clock.elapsed() - t.windowFromMs;
    if (span < m_lowSpeedWindowMs)
        return false;
    const qint64 available = t.reply->bytesAvailable();
    const qint64 got = t.received + available - t.windowFromBytes;
    // A body that is all in, or a buffer that filled up meanwhile, means the
    // wait was ours (a question or a dialog kept the window busy), not the sender's.
    const bool waitedOnUs = t.reply->isFinished() || available >= kReadBufferBytes / 2;
    const bool slow = !waitedOnUs && got * 1000 < m_lowSpeedBytesPerSecond * span;
    restartSpeedWindow(t);
    return slow;
}

qint64 Cls_DownLoad::speed(const Transfer &t) const
{
    // Whole seconds and the quotient both round halves to even.
    const double elapsed = std::nearbyint(t.startOffset + static_cast<double>(t.clock.elapsed()) / 1000.0);
    if (elapsed <= 0.0)
        return kFirstSecondSpeed;
    return static_cast<qint64>(std::nearbyint(static_cast<double>(t.total) / elapsed));
}
