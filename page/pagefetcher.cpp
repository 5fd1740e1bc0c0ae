#include "page/pagefetcher.h"

#include "page/bodydecoder.h"
#include "page/netcause.h"
#include "page/webaddress.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QTimer>
#include <QUrl>

#include <memory>
#include <optional>
#include <utility>

PageFetcher::PageFetcher(QObject *parent)
    : QObject(parent)
    , m_network(new QNetworkAccessManager(this))
{
    // Redirects stay on the web and never drop from https to http; Qt itself
    // refuses a target in any scheme other than http(s).
    m_network->setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
}

PageFetcher::~PageFetcher() = default;

QString FetchResult::cause() const
{
    return status == FetchStatus::ErrorPage ? netcause::ofHttpStatus(httpStatus) : error;
}

QString PageFetcher::decodeBody(const QByteArray &body, const QByteArray &contentType)
{
    BodyDecoder decoder(contentType);
    decoder.append(body);
    return decoder.finish();
}

void PageFetcher::abortAll()
{
    const QList<QPointer<QNetworkReply>> waiting = m_waiting;
    for (const QPointer<QNetworkReply> &reply : waiting) {
        if (reply)
            reply->abort();
    }
}

namespace {

// What one pass of the event loop reads, decodes and shows the watcher.
constexpr qint64 kReadSlice = 256 * 1024;

} // namespace

FetchResult PageFetcher::GetBody(const QString &URL, const TextWatcher &watcher)
{
    // Decoded as it arrives; the bytes go as soon as they are text.
    std::optional<BodyDecoder> decoder;
    FetchResult result = fetch(URL, [&](QNetworkReply &reply) {
        if (!decoder) {
            const QVariant length = reply.header(QNetworkRequest::ContentLengthHeader);
            decoder.emplace(reply.rawHeader("Content-Type"), length.isValid() ? length.toLongLong() : -1);
        }
        const qsizetype known = decoder->text().size();
        decoder->append(reply.read(kReadSlice));
        if (watcher && decoder->text().size() > known)
            watcher(decoder->text(), known);
    });
    if (result.arrived() && decoder) {
        const qsizetype known = decoder->text().size();
        result.text = decoder->finish();
        if (watcher && result.text.size() > known)
            watcher(result.text, known);
    }
    return result;
}

FetchResult PageFetcher::GetBytes(const QString &URL)
{
    QByteArray body;
    FetchResult result = fetch(URL, [&body](QNetworkReply &reply) { body += reply.read(kReadSlice); });
    if (result.arrived())
        result.body = std::move(body);
    return result;
}

FetchResult PageFetcher::fetch(const QString &URL, const std::function<void(QNetworkReply &)> &take)
{
    FetchResult result;
    // Checked before anything is opened: a file or a FIFO named by a page is
    // never touched, not even to find out whether it exists.
    const QUrl url(URL, QUrl::TolerantMode);
    if (!isWebAddress(url)) {
        result.error = tr("地址无效");
        return result;
    }

    QNetworkRequest request(url);
    request.setRawHeader("If-Modified-Since", "0");
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);

    QPointer<QNetworkReply> reply = m_network->get(request);
    QEventLoop loop;
    QTimer limit;
    limit.setSingleShot(true);
    bool timedOut = false;
    bool tooLarge = false;
    connect(&limit, &QTimer::timeout, &loop, [&] {
        timedOut = true;
        if (reply)
            reply->abort();
    });
    connect(reply, &QNetworkReply::downloadProgress, &loop, [&](qint64 received, qint64 total) {
        if ((received > m_sizeLimit || total > m_sizeLimit) && reply && !tooLarge) {
            tooLarge = true;
            reply->abort();
            // An answer that had come whole already is not ended by abort().
            loop.quit();
        }
    });
    // The body is taken a slice per pass of the event loop: a page that comes
    // in faster than it is read must not stop the window while it is read.
    QTimer pump;
    pump.setInterval(0);
    bool finished = false;
    connect(&pump, &QTimer::timeout, &loop, [&] {
        if (reply && reply->bytesAvailable() > 0)
            take(*reply);
        if (!reply || reply->bytesAvailable() == 0) {
            pump.stop();
            if (finished)
                loop.quit();
        }
    });
    connect(reply, &QNetworkReply::readyRead, &loop, [&] {
        if (!pump.isActive())
            pump.start();
    });
    connect(reply, &QNetworkReply::finished, &loop, [&] {
        finished = true;
        if (!reply || reply->error() != QNetworkReply::NoError || reply->bytesAvailable() == 0)
            loop.quit();
        else if (!pump.isActive())
            pump.start();
    });
    limit.start(m_timeLimitMs);
    m_waiting.append(reply);
    if (!reply->isFinished())
        loop.exec(QEventLoop::AllEvents);
    m_waiting.removeAll(reply);
    limit.stop();

    if (!reply) {
        result.status = FetchStatus::Cancelled;
        result.error = tr("已取消");
        return result;
    }
    // The reply belongs to this call alone; it never outlives it.
    std::unique_ptr<QNetworkReply, void (*)(QNetworkReply *)> owner(reply.data(),
                                                                    [](QNetworkReply *r) { r->deleteLater(); });

    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    result.httpStatus = status.isValid() ? status.toInt() : 0;
    if (timedOut) {
        result.error = netcause::timedOut();
        return result;
    }
    if (tooLarge) {
        result.error = tr("页面过大");
        return result;
    }
    if (!reply->isFinished() || reply->error() == QNetworkReply::OperationCanceledError) {
        // Aborted by abortAll(), or the application is shutting down and
        // ended every event loop early.
        reply->abort();
        result.status = FetchStatus::Cancelled;
        result.error = tr("已取消");
        return result;
    }
    // An error status still carries a page; only a failure without any HTTP
    // answer (refused, reset, redirect loop, ...) is a failed fetch.
    if (reply->error() != QNetworkReply::NoError && !status.isValid()) {
        result.error = netcause::ofReply(reply->error(), reply->errorString());
        return result;
    }
    while (reply->bytesAvailable() > 0)
        take(*reply);
    if (reply->error() != QNetworkReply::NoError && result.httpStatus < 400) {
        // Answered, then broke off: what arrived is not the whole page.
        result.error = netcause::ofReply(reply->error(), reply->errorString());
        return result;
    }
    result.status = result.httpStatus >= 400 ? FetchStatus::ErrorPage : FetchStatus::Ok;
    result.contentType = reply->rawHeader("Content-Type");
    return result;
}
