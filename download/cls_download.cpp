#include "download/cls_download.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTime>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <cmath>
#include <memory>

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

} // namespace

struct Cls_DownLoad::Transfer
{
    QString url;
    QString path;
    int stallMs = 0;
    ReplyHandle reply;
    QFile file;
    qint64 total = 0; // bytes written
    qint64 size = 0;  // the announced length, 0 when unknown
    qint64 skip = 0;  // leading bytes of the current answer that are already on disk
    int resumes = 0;
    bool broken = false; // the current answer was given up on
    QElapsedTimer clock;
    // How far the start time of day lies past the whole second it rounds to;
    // elapsed whole seconds are counted from that rounded second.
    double startOffset = 0.0;
};

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
    Status end = transfer(t);

    if (t.file.isOpen()) {
        if (!t.file.flush() && end != Status::Stopped)
            end = Status::WriteFailed;
        t.file.close();
    }
    t.reply.reset();
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
    t.size = announcedLength(t.reply.get());

    const double startOfDay = QTime::currentTime().msecsSinceStartOfDay() / 1000.0;
    t.startOffset = startOfDay - std::nearbyint(startOfDay);
    t.clock.start();

    status(Status::Receiving);
    t.file.setFileName(t.path);
    if (!t.file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return Status::WriteFailed;
    return receive(t);
}

Cls_DownLoad::Status Cls_DownLoad::receive(Transfer &t)
{
    char block[kBlockSize];
    for (;;) {
        QNetworkReply *reply = t.reply.get();
        const qint64 available = reply->bytesAvailable();
        if (t.skip > 0 && available > 0) {
            const qint64 skipped = reply->skip(std::min(t.skip, available));
            if (skipped <= 0)
                return Status::Incomplete;
            t.skip -= skipped;
            continue;
        }
        const bool ended = t.broken || reply->isFinished();
        if (available >= kBlockSize || (available > 0 && ended)) {
            const qint64 n = reply->read(block, kBlockSize);
            if (n <= 0)
                return Status::Incomplete; // a read that fails mid-body
            if (t.file.write(block, n) != n)
                return Status::WriteFailed;
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
            Status end = Status::Incomplete;
            if (resume(t, end))
                continue;
            return end;
        }
        switch (waitFor(reply, false, t.stallMs)) {
        case Wake::Ready:
            break;
        case Wake::Stalled:
            t.broken = true;
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
        switch (sendRequest(t, t.total)) {
        case Answer::Usable:
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
    if (from > 0)
        request.setRawHeader("Range", "bytes=" + QByteArray::number(from) + '-');

    t.reply.reset(m_network->get(request));
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
            return Answer::Refused;
        case Wake::Stopped:
            return Answer::Stopped;
        case Wake::Interrupted:
            return Answer::Interrupted;
        }
    }

    const int code = httpStatus(reply);
    if (reply->isFinished() && reply->error() != QNetworkReply::NoError && redirecting())
        return Answer::Refused;
    if (code == 0 || code >= 400)
        return Answer::Refused;
    if (from == 0)
        return Answer::Usable;
    if (code == 206)
        return continuesAt(reply, from, t.size) ? Answer::Usable : Answer::Refused;
    // A server that ignores the range sends the whole body again; the part
    // already on disk is passed over.
    if (code == 200 && announcedLength(reply) == t.size) {
        t.skip = from;
        return Answer::Usable;
    }
    return Answer::Refused;
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

qint64 Cls_DownLoad::speed(const Transfer &t) const
{
    // Whole seconds and the quotient both round halves to even.
    const double elapsed = std::nearbyint(t.startOffset + static_cast<double>(t.clock.elapsed()) / 1000.0);
    if (elapsed <= 0.0)
        return kFirstSecondSpeed;
    return static_cast<qint64>(std::nearbyint(static_cast<double>(t.total) / elapsed));
}
