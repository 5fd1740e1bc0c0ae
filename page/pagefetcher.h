#pragma once

#include "page/bodydecoder.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class QNetworkAccessManager;
class QNetworkReply;

// How one page request ended.
enum class FetchStatus {
    Ok,        // a page with a success status
    ErrorPage, // the server answered with an error status (404, 500, ...); its body is still there
    Failed,    // no answer, a broken one, too slow or too large
    Cancelled, // ended by abortAll(): whoever asked is going away
};

// What one page request came back with.
struct FetchResult final
{
    FetchStatus status = FetchStatus::Failed;
    QString text;    // the decoded body when it arrived (GetBody)
    QByteArray body; // the body as received when it arrived (GetBytes)
    QString error;   // a short reason when it did not
    int httpStatus = 0;
    QByteArray contentType; // as the server sent it (GetBytes)

    // A body came back, success or error page.
    bool arrived() const { return status == FetchStatus::Ok || status == FetchStatus::ErrorPage; }
    // Why no page came: the error status of an error page, else `error`.
    QString cause() const;
};

// Reads one web page into text. The call waits in a local event loop, so the
// window keeps painting and handling input meanwhile, and a handler that runs
// during the wait may start a fetch of its own: the inner one completes first.
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

    // GET of `url` exactly as given, with "If-Modified-Since: 0"; decodes the
    // body as decodeBody() does, while it arrives. Only
    // http and https addresses are fetched; any other fails without a request.
    FetchResult GetBody(const QString &URL, const TextWatcher &watcher = {});

    // The same request, with the body kept as bytes (pictures and other files).
    FetchResult GetBytes(const QString &URL);

    // Ends every fetch still waiting; each returns an error. For a window that
    // is closing while it waits for pages.
    void abortAll();

    // Decodes `body` by the charset named in a Content-Type value or, when it
    // names none the program knows, by the page's own <meta> charset in its
    // first kMetaScanBytes; UTF-8 when neither does.
    static constexpr qsizetype kMetaScanBytes = BodyDecoder::kMetaScanBytes;
    static QString decodeBody(const QByteArray &body, const QByteArray &contentType);

private:
    // The request behind both: `take` reads a slice of what has come, once per
    // pass of the event loop while there is any.
    FetchResult fetch(const QString &URL, const std::function<void(QNetworkReply &)> &take);

    QNetworkAccessManager *m_network;
    int m_timeLimitMs = 30000;
    qint64 m_sizeLimit = kDefaultSizeLimit;
    QList<QPointer<QNetworkReply>> m_waiting; // innermost last
};
