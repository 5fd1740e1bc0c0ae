#include "page/pagefetcher.h"

#include "page/netcause.h"
#include "page/webaddress.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QStringDecoder>
#include <QTimer>
#include <QUrl>

#include <memory>
#include <optional>

PageFetcher::PageFetcher(QObject *parent)
    : QObject(parent)
    , m_network(new QNetworkAccessManager(this))
{
    // Redirects stay on the web and never drop from https to http; Qt itself
    // refuses a target in any scheme other than http(s).
    m_network->setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
}

PageFetcher::~PageFetcher() = default;

namespace {

// A decoder for a charset label, when the program knows it. GB2312 pages
// routinely carry GBK characters; GB18030 decodes both.
std::optional<QStringDecoder> decoderFor(QByteArray charset)
{
    if (charset.size() >= 2 && (charset.startsWith('"') || charset.startsWith('\'')))
        charset = charset.mid(1, charset.size() - 2);
    charset = charset.trimmed().toLower();
    if (charset == "gb2312" || charset == "gbk" || charset == "x-gbk")
        charset = "GB18030";
    if (charset.isEmpty())
        return std::nullopt;
    QStringDecoder decoder(charset.constData());
    if (!decoder.isValid())
        return std::nullopt;
    return decoder;
}

// The charset parameter of a Content-Type value, or of a meta tag's content.
QByteArray charsetParameter(const QByteArray &contentType)
{
    for (const QByteArray &param : contentType.split(';')) {
        const QByteArray trimmed = param.trimmed();
        if (trimmed.toLower().startsWith("charset="))
            return trimmed.mid(8).trimmed();
    }
    return {};
}

// The charset a page names for itself near its start, in <meta charset=...>
// or in <meta http-equiv="Content-Type" content="...; charset=...">; letters
// of either case.
QByteArray metaCharset(const QByteArray &body)
{
    const QByteArray head = body.left(PageFetcher::kMetaScanBytes).toLower();
    for (qsizetype meta = head.indexOf("<meta"); meta >= 0; meta = head.indexOf("<meta", meta + 5)) {
        const qsizetype end = head.indexOf('>', meta);
        const QByteArray tag = head.mid(meta, end < 0 ? -1 : end - meta);
        qsizetype at = tag.indexOf("charset");
        if (at < 0)
            continue;
        at += 7;
        while (at < tag.size() && (tag[at] == ' ' || tag[at] == '\t' || tag[at] == '\n' || tag[at] == '\r'))
            ++at;
        if (at >= tag.size() || tag[at] != '=')
            continue;
        ++at;
        while (at < tag.size() && (tag[at] == ' ' || tag[at] == '"' || tag[at] == '\''))
            ++at;
        qsizetype stop = at;
        while (stop < tag.size() && !QByteArrayView(" \t\r\n\"';/>").contains(tag[stop]))
            ++stop;
        if (stop > at)
            return tag.mid(at, stop - at);
    }
    return {};
}

} // namespace

QString FetchResult::cause() const
{
    return status == FetchStatus::ErrorPage ? netcause::ofHttpStatus(httpStatus) : error;
}

QString PageFetcher::decodeBody(const QByteArray &body, const QByteArray &contentType)
{
    std::optional<QStringDecoder> decoder = decoderFor(charsetParameter(contentType));
    if (!decoder)
        decoder = decoderFor(metaCharset(body));
    if (decoder)
        return decoder->decode(body);
    return QString::fromUtf8(body);
}

void PageFetcher::abortAll()
{
    const QList<QPointer<QNetworkReply>> waiting = m_waiting;
    for (const QPointer<QNetworkReply> &reply : waiting) {
        if (reply)
            reply->abort();
    }
}

FetchResult PageFetcher::GetBody(const QString &URL)
{
    FetchResult result = GetBytes(URL);
    if (result.arrived()) {
        result.text = decodeBody(result.body, result.contentType);
        result.body.clear();
    }
    result.contentType.clear();
    return result;
}

FetchResult PageFetcher::GetBytes(const QString &URL)
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
        }
    });
    connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
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
    const QByteArray body = reply->readAll();
    if (reply->error() != QNetworkReply::NoError && result.httpStatus < 400) {
        // Answered, then broke off: what arrived is not the whole page.
        result.error = netcause::ofReply(reply->error(), reply->errorString());
        return result;
    }
    result.status = result.httpStatus >= 400 ? FetchStatus::ErrorPage : FetchStatus::Ok;
    result.body = body;
    result.contentType = reply->rawHeader("Content-Type");
    return result;
}
