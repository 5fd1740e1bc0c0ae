#include "page/pagefetcher.h"

#include "page/bodydecoder.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>

#include <optional>
#include <utility>

namespace {

// What one pass of the event loop reads, decodes and shows the watcher.
constexpr qint64 kReadSlice = 256 * 1024;

// Decoded as it arrives; the bytes go as soon as they are text.
class TextBody final : public PageRequest::Body
{
public:
    explicit TextBody(PageFetcher::TextWatcher watcher)
        : m_watcher(std::move(watcher))
    {}

    void take(QNetworkReply &reply) override
    {
        if (!m_decoder) {
            const QVariant length = reply.header(QNetworkRequest::ContentLengthHeader);
            m_decoder.emplace(reply.rawHeader("Content-Type"), length.isValid() ? length.toLongLong() : -1);
        }
        const qsizetype known = m_decoder->text().size();
        m_decoder->append(reply.read(kReadSlice));
        if (m_watcher && m_decoder->text().size() > known)
            m_watcher(m_decoder->text(), known);
    }

    void finish(FetchResult &result) override
    {
        if (!m_decoder)
            return;
        const qsizetype known = m_decoder->text().size();
        result.text = m_decoder->finish();
        if (m_watcher && result.text.size() > known)
            m_watcher(result.text, known);
    }

private:
    PageFetcher::TextWatcher m_watcher;
    std::optional<BodyDecoder> m_decoder;
};

class BytesBody final : public PageRequest::Body
{
public:
    void take(QNetworkReply &reply) override { m_bytes += reply.read(kReadSlice); }
    void finish(FetchResult &result) override { result.body = std::move(m_bytes); }

private:
    QByteArray m_bytes;
};

} // namespace

PageFetcher::PageFetcher(QObject *parent)
    : QObject(parent)
    , m_network(new QNetworkAccessManager(this))
{
    // Redirects stay on the web and never drop from https to http; Qt itself
    // refuses a target in any scheme other than http(s).
    m_network->setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
}

// Requests still under way go before the network they hold replies of.
PageFetcher::~PageFetcher()
{
    qDeleteAll(findChildren<PageRequest *>(Qt::FindDirectChildrenOnly));
}

QString PageFetcher::decodeBody(const QByteArray &body, const QByteArray &contentType)
{
    BodyDecoder decoder(contentType);
    decoder.append(body);
    return decoder.finish();
}

void PageFetcher::abortAll()
{
    const QList<PageRequest *> waiting = findChildren<PageRequest *>(Qt::FindDirectChildrenOnly);
    for (const QPointer<PageRequest> request : waiting) {
        if (request)
            request->abort();
    }
}

PageRequest *PageFetcher::get(const QString &url, const QObject *receiver, Done done, const TextWatcher &watcher)
{
    return send(url, std::make_unique<TextBody>(watcher), receiver, std::move(done));
}

PageRequest *PageFetcher::getBytes(const QString &url, const QObject *receiver, Done done)
{
    return send(url, std::make_unique<BytesBody>(), receiver, std::move(done));
}

PageRequest *PageFetcher::send(const QString &url, std::unique_ptr<PageRequest::Body> body, const QObject *receiver,
                               Done done)
{
    auto *request = new PageRequest(
        std::move(body),
        [receiver = QPointer<const QObject>(receiver), done = std::move(done)](const FetchResult &result) {
            if (receiver && done)
                done(result);
        },
        this);
    if (receiver)
        connect(receiver, &QObject::destroyed, request, &PageRequest::forget);
    request->start(*m_network, QUrl(url, QUrl::TolerantMode), {m_timeLimitMs, m_sizeLimit});
    return request;
}

FetchResult PageFetcher::wait(const std::function<PageRequest *(const QObject *, Done)> &ask)
{
    std::optional<FetchResult> answer;
    QEventLoop loop;
    const QPointer<PageRequest> request = ask(&loop, [&](const FetchResult &result) {
        answer = result;
        loop.quit();
    });
    if (!answer)
        loop.exec(QEventLoop::AllEvents);
    // The application is shutting down and ended every event loop early.
    if (!answer && request)
        request->abort();
    return answer.value_or(FetchResult{FetchStatus::Cancelled, {}, {}, tr("已取消"), 0, {}});
}

FetchResult PageFetcher::GetBody(const QString &URL, const TextWatcher &watcher)
{
    return wait([&](const QObject *receiver, Done done) { return get(URL, receiver, std::move(done), watcher); });
}

FetchResult PageFetcher::GetBytes(const QString &URL)
{
    return wait([&](const QObject *receiver, Done done) { return getBytes(URL, receiver, std::move(done)); });
}
