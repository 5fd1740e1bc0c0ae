#include "player/streamprobe.h"

#include "download/audiosniff.h"
#include "page/netcause.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

StreamProbe::StreamProbe(QObject *parent)
    : QObject(parent)
{}

StreamProbe::~StreamProbe()
{
    cancel();
}

void StreamProbe::cancel()
{
    m_done = nullptr;
    if (QNetworkReply *reply = m_reply.data()) {
        m_reply.clear();
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
}

void StreamProbe::start(const QUrl &source, const StreamFailure &otherwise, Verdict done)
{
    cancel();
    if (!m_network)
        m_network = new QNetworkAccessManager(this);
    m_otherwise = otherwise;
    m_done = std::move(done);
    QNetworkRequest request(source);
    request.setRawHeader("Range", QByteArrayLiteral("bytes=0-") + QByteArray::number(download::kSniffBytes - 1));
    request.setTransferTimeout(kTimeLimitMs);
    QNetworkReply *reply = m_network->get(request);
    m_reply = reply;
    // The first bytes are enough; the rest of a long body is never waited for.
    connect(reply, &QNetworkReply::readyRead, this, [this, reply] {
        if (reply->bytesAvailable() >= download::kSniffBytes)
            judge(reply);
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply] { judge(reply); });
}

void StreamProbe::judge(QNetworkReply *reply)
{
    if (reply != m_reply)
        return;
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QByteArray first = reply->peek(download::kSniffBytes);
    StreamFailure verdict = m_otherwise;
    if (status >= 400) {
        verdict = {netcause::meansGone(status) ? StreamTrouble::Gone : StreamTrouble::Unreachable,
                   netcause::ofHttpStatus(status)};
    } else if (reply->error() != QNetworkReply::NoError && first.isEmpty()) {
        // A transfer ended by its time limit reads as cancelled.
        const bool late = reply->error() == QNetworkReply::OperationCanceledError;
        verdict = {StreamTrouble::Unreachable,
                   late ? netcause::timedOut() : netcause::ofReply(reply->error(), reply->errorString())};
    } else if (download::sniffBody(reply->header(QNetworkRequest::ContentTypeHeader).toByteArray(), first) !=
               download::BodyKind::Audio) {
        verdict = {StreamTrouble::Unreadable, QStringLiteral("服务器返回的是网页,不是音乐文件")};
    }
    const Verdict done = std::move(m_done);
    cancel();
    if (done)
        done(verdict);
}
