#include "page/pagerequest.h"

#include "page/netcause.h"
#include "page/webaddress.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>

QString FetchResult::cause() const
{
    return status == FetchStatus::ErrorPage ? netcause::ofHttpStatus(httpStatus) : error;
}

PageRequest::PageRequest(std::unique_ptr<Body> body, Done done, QObject *parent)
    : QObject(parent)
    , m_body(std::move(body))
    , m_done(std::move(done))
{
    m_limit.setSingleShot(true);
    m_pump.setInterval(0);
    connect(&m_pump, &QTimer::timeout, this, &PageRequest::readSome);
    connect(&m_limit, &QTimer::timeout, this, [this] {
        m_timedOut = true;
        conclude();
    });
}

PageRequest::~PageRequest()
{
    if (QNetworkReply *reply = m_reply) {
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
}

void PageRequest::start(QNetworkAccessManager &network, const QUrl &url, Limits limits)
{
    // Checked before anything is opened: a file or a FIFO named by a page is
    // never touched, not even to find out whether it exists.
    if (!isWebAddress(url)) {
        FetchResult refused;
        refused.error = tr("地址无效");
        QTimer::singleShot(0, this, [this, refused] { deliver(refused); });
        return;
    }
    m_sizeLimit = limits.sizeBytes;

    QNetworkRequest request(url);
    request.setRawHeader("If-Modified-Since", "0");
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    m_reply = network.get(request);
    connect(m_reply, &QNetworkReply::downloadProgress, this, [this](qint64 received, qint64 total) {
        if (received > m_sizeLimit || total > m_sizeLimit) {
            m_tooLarge = true;
            conclude();
        }
    });
    // The body is taken a slice per pass of the event loop: a page that comes
    // in faster than it is read must not stop the window while it is read.
    connect(m_reply, &QNetworkReply::readyRead, this, [this] {
        if (!m_pump.isActive())
            m_pump.start();
    });
    connect(m_reply, &QNetworkReply::finished, this, &PageRequest::replyFinished);
    m_limit.start(limits.timeMs);
}

void PageRequest::readSome()
{
    if (m_reply && m_reply->bytesAvailable() > 0)
        m_body->take(*m_reply);
    if (!m_reply || m_reply->bytesAvailable() == 0) {
        m_pump.stop();
        if (m_finished)
            conclude();
    }
}

void PageRequest::replyFinished()
{
    m_finished = true;
    if (!m_reply || m_reply->error() != QNetworkReply::NoError || m_reply->bytesAvailable() == 0)
        conclude();
    else if (!m_pump.isActive())
        m_pump.start();
}

void PageRequest::abort()
{
    if (m_delivered)
        return;
    if (m_reply)
        m_reply->disconnect(this);
    FetchResult cancelled;
    cancelled.status = FetchStatus::Cancelled;
    cancelled.error = tr("已取消");
    deliver(cancelled);
}

void PageRequest::forget()
{
    m_done = nullptr;
    abort();
}

void PageRequest::conclude()
{
    if (m_delivered)
        return;
    QNetworkReply *reply = m_reply;
    if (!reply) {
        abort();
        return;
    }
    // Nothing the reply says from here on (abort() finishes it) comes back in.
    reply->disconnect(this);

    FetchResult result;
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    result.httpStatus = status.isValid() ? status.toInt() : 0;
    if (m_timedOut) {
        result.error = netcause::timedOut();
    } else if (m_tooLarge) {
        result.error = tr("页面过大");
    } else if (!reply->isFinished() || reply->error() == QNetworkReply::OperationCanceledError) {
        abort();
        return;
    } else if (reply->error() != QNetworkReply::NoError && !status.isValid()) {
        // An error status still carries a page; only a failure without any
        // HTTP answer (refused, reset, redirect loop, ...) is a failed fetch.
        result.error = netcause::ofReply(reply->error(), reply->errorString());
    } else {
        while (reply->bytesAvailable() > 0)
            m_body->take(*reply);
        if (reply->error() != QNetworkReply::NoError && result.httpStatus < 400) {
            // Answered, then broke off: what arrived is not the whole page.
            result.error = netcause::ofReply(reply->error(), reply->errorString());
        } else {
            result.status = result.httpStatus >= 400 ? FetchStatus::ErrorPage : FetchStatus::Ok;
            result.contentType = reply->rawHeader("Content-Type");
            m_body->finish(result);
        }
    }
    deliver(result);
}

void PageRequest::deliver(FetchResult result)
{
    if (m_delivered)
        return;
    m_delivered = true;
    m_limit.stop();
    m_pump.stop();
    if (QNetworkReply *reply = m_reply) {
        m_reply = nullptr;
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
    const Done done = std::move(m_done);
    m_done = nullptr;
    deleteLater();
    if (done)
        done(result);
}
