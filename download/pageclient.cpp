#include "download/pageclient.h"

#include "download/requestpacer.h"
#include "page/netcause.h"
#include "page/webaddress.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPointer>
#include <QTimer>
#include <QUrl>

namespace download {

struct PageClient::Request final
{
    QString url;
    QPointer<QObject> context;
    Done done;
    int attempt = 0;
    QPointer<QNetworkReply> reply;
    QPointer<QTimer> later;
};

QString PageAnswer::failureText(const QString &what) const
{
    return comeBackMs >= 0 ? comeBackText(comeBackMs) : what;
}

PageClient::PageClient(PagePolicy policy, std::shared_ptr<RequestPacer> pacer, QObject *parent)
    : QObject(parent)
    , m_policy(policy)
    , m_pacer(pacer ? std::move(pacer) : std::make_shared<RequestPacer>())
    , m_network(new QNetworkAccessManager(this))
{
    m_policy.retries = std::max(0, m_policy.retries);
    m_network->setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
}

PageClient::~PageClient()
{
    stop();
}

void PageClient::get(const QString &url, QObject *context, Done done)
{
    auto request = std::make_shared<Request>();
    request->url = url;
    request->context = context;
    request->done = std::move(done);
    m_requests.append(request);
    ask(request);
}

void PageClient::stop()
{
    const auto requests = std::exchange(m_requests, {});
    for (const auto &request : requests) {
        request->done = nullptr;
        delete request->later.data();
        if (QNetworkReply *reply = request->reply) {
            reply->disconnect(this);
            reply->abort();
            reply->deleteLater();
        }
    }
}

void PageClient::forget(const std::shared_ptr<Request> &request)
{
    m_requests.removeOne(request);
}

void PageClient::ask(const std::shared_ptr<Request> &request)
{
    ++request->attempt;
    m_pacer->whenReady(true, this, [this, request] {
        if (request->done && request->context)
            send(request);
        else
            forget(request);
    });
}

void PageClient::send(const std::shared_ptr<Request> &request)
{
    const QUrl address(request->url, QUrl::TolerantMode);
    if (!isWebAddress(address)) {
        PageAnswer refused;
        refused.cause = QStringLiteral("not a web address: %1").arg(request->url);
        request->attempt = m_policy.retries + 1;
        answered(request, refused, false);
        return;
    }
    QNetworkRequest asked(address);
    asked.setRawHeader("If-Modified-Since", "0");
    asked.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    asked.setTransferTimeout(m_policy.idleMs);
    QNetworkReply *reply = m_network->get(asked);
    request->reply = reply;
    const qint64 limit = m_policy.sizeLimit;
    connect(reply, &QNetworkReply::downloadProgress, reply, [reply, limit](qint64 received, qint64 total) {
        if (received > limit || total > limit)
            reply->abort();
    });
    // A page that trickles in never trips the idle limit: the whole answer has one too.
    auto *whole = new QTimer(reply);
    whole->setSingleShot(true);
    connect(whole, &QTimer::timeout, reply, [reply] {
        reply->setProperty("wholeLimit", true);
        reply->abort();
    });
    whole->start(m_policy.wholeMs);
    connect(reply, &QNetworkReply::finished, this, [this, request, reply] {
        reply->deleteLater();
        request->reply = nullptr;
        PageAnswer answer;
        const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
        answer.httpStatus = status.isValid() ? status.toInt() : 0;
        answer.body = reply->readAll();
        answer.contentType = reply->rawHeader("Content-Type");
        if (reply->property("wholeLimit").toBool())
            answer.cause = QStringLiteral("the page did not come whole within %1 s").arg(m_policy.wholeMs / 1000);
        else if (answer.httpStatus >= 400)
            answer.cause = QStringLiteral("HTTP %1").arg(answer.httpStatus);
        else if (reply->error() != QNetworkReply::NoError)
            answer.cause = reply->errorString();
        if (!answer.ok())
            answer.body.clear();
        const qint64 asked = asksToWait(answer.httpStatus) ? retryAfterMs(reply->rawHeader("Retry-After")) : qint64(-1);
        if (asked > kMaxRetryAfterMs)
            answer.comeBackMs = asked;
        // The pause the site named holds every request of the run.
        const bool paused = asked >= 0 && asked <= kMaxRetryAfterMs;
        if (paused)
            m_pacer->holdFor(asked);
        answered(request, answer, paused);
    });
}

void PageClient::answered(const std::shared_ptr<Request> &request, const PageAnswer &answer, bool sitePaused)
{
    const int status = answer.httpStatus;
    const bool worthAgain = !answer.ok() && answer.comeBackMs < 0 &&
                            (status == 0 || status >= 500 || asksToWait(status)) &&
                            request->attempt <= m_policy.retries && request->done && request->context;
    if (!worthAgain) {
        forget(request);
        if (request->done && request->context)
            request->done(answer);
        return;
    }
    // A named pause is kept by the pacer; the backoff is this request's own.
    const int backoff = sitePaused ? 0 : m_policy.firstBackoffMs << std::min(request->attempt - 1, 6);
    auto *later = new QTimer(this);
    later->setSingleShot(true);
    request->later = later;
    connect(later, &QTimer::timeout, this, [this, request, later] {
        later->deleteLater();
        ask(request);
    });
    later->start(backoff);
}

} // namespace download
