#pragma once

#include "page/bodydecoder.h"
#include "page/pagerequest.h"

#include <QObject>
#include <QString>

#include <functional>

class QNetworkAccessManager;

// Reads web pages: a GET of an address exactly as given, with
// "If-Modified-Since: 0", only for http and https addresses (any other fails
// without a request). get() and getBytes() return at once and hand the answer
// to a continuation; GetBody() and GetBytes() wait for it in a local event
// loop, for callers that have nothing else to do meanwhile (the command line).
// Both are the same request with the same limits.
class PageFetcher final : public QObject
{
    Q_OBJECT
public:
    static constexpr qint64 kDefaultSizeLimit = 32 * 1024 * 1024;

    explicit PageFetcher(QObject *parent = nullptr);
    ~PageFetcher() override;

    // Gives up after this many milliseconds from the start of a request.
    void setTimeLimit(int milliseconds) { m_timeLimitMs = milliseconds; }
    int timeLimit() const { return m_timeLimitMs; }

    // Bodies larger than this end the fetch with an error instead of filling memory.
    void setSizeLimit(qint64 bytes) { m_sizeLimit = bytes; }

    // Shown the page's text while it arrives: `text` is all of it decoded so
    // far, of which the part from `from` on is new. Only a fetch that arrives
    // makes that text a page.
    using TextWatcher = std::function<void(const QString &text, qsizetype from)>;
    using Done = PageRequest::Done;

    // Asks for `url` and returns at once. The body is decoded as decodeBody()
    // does, while it arrives. `done` runs once, on a later pass of the event
    // loop, with the answer; never once `receiver` is gone, and a request
    // whose receiver goes is abandoned. The request may be aborted until then.
    PageRequest *get(const QString &url, const QObject *receiver, Done done, const TextWatcher &watcher = {});
    // The same request, with the body kept as bytes (pictures and other files).
    PageRequest *getBytes(const QString &url, const QObject *receiver, Done done);

    // get() and getBytes(), waited for.
    FetchResult GetBody(const QString &URL, const TextWatcher &watcher = {});
    FetchResult GetBytes(const QString &URL);

    // Ends every request still under way; each answers Cancelled. For a
    // window that is closing while it waits for pages.
    void abortAll();

    // Decodes `body` by the charset named in a Content-Type value or, when it
    // names none the program knows, by the page's own <meta> charset in its
    // first kMetaScanBytes; UTF-8 when neither does.
    static constexpr qsizetype kMetaScanBytes = BodyDecoder::kMetaScanBytes;
    static QString decodeBody(const QByteArray &body, const QByteArray &contentType);

private:
    PageRequest *send(const QString &url, std::unique_ptr<PageRequest::Body> body, const QObject *receiver, Done done);
    // Runs a local event loop until the request `ask` makes has answered.
    static FetchResult wait(const std::function<PageRequest *(const QObject *, Done)> &ask);

    QNetworkAccessManager *m_network;
    int m_timeLimitMs = 30000;
    qint64 m_sizeLimit = kDefaultSizeLimit;
};
