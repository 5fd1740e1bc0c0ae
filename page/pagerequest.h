#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>

class QNetworkAccessManager;
class QNetworkReply;
class QUrl;

// How one page request ended.
enum class FetchStatus {
    Ok,        // a page with a success status
    ErrorPage, // the server answered with an error status (404, 500, ...); its body is still there
    Failed,    // no answer, a broken one, too slow or too large
    Cancelled, // ended by abort(): whoever asked is going away, or wants another page instead
};

// What one page request came back with.
struct FetchResult final
{
    FetchStatus status = FetchStatus::Failed;
    QString text;    // the decoded body when it arrived (text requests)
    QByteArray body; // the body as received when it arrived (byte requests)
    QString error;   // a short reason when it did not
    int httpStatus = 0;
    QByteArray contentType; // as the server sent it

    // A body came back, success or error page.
    bool arrived() const { return status == FetchStatus::Ok || status == FetchStatus::ErrorPage; }
    // Why no page came: the error status of an error page, else `error`.
    QString cause() const;
};

// One GET of a page under way, made by PageFetcher. It reads the body a slice
// per pass of the event loop, so a page that comes in fast never stops the
// window, and delivers its answer exactly once, then deletes itself.
class PageRequest final : public QObject
{
    Q_OBJECT
public:
    using Done = std::function<void(const FetchResult &)>;

    // What becomes of the body's bytes: `take` reads a slice of what has come,
    // `finish` completes a result whose body arrived.
    class Body
    {
    public:
        virtual ~Body() = default;
        virtual void take(QNetworkReply &reply) = 0;
        virtual void finish(FetchResult &result) = 0;
    };

    struct Limits final
    {
        int timeMs = 30000;   // the whole answer, from the request on
        qint64 sizeBytes = 0; // the body, as announced or as received
    };

    ~PageRequest() override;

    // Ends the request now: its answer is Cancelled, delivered before this returns.
    void abort();

private:
    friend class PageFetcher;
    PageRequest(std::unique_ptr<Body> body, Done done, QObject *parent);

    // Sends the request; a refused address ends it on the next pass of the event loop.
    void start(QNetworkAccessManager &network, const QUrl &url, Limits limits);
    // Never delivers: the one who asked has gone.
    void forget();
    void readSome();
    void replyFinished();
    void conclude();
    void deliver(FetchResult result);

    std::unique_ptr<Body> m_body;
    Done m_done;
    QPointer<QNetworkReply> m_reply;
    QTimer m_limit;
    QTimer m_pump;
    qint64 m_sizeLimit = 0;
    bool m_finished = false;
    bool m_timedOut = false;
    bool m_tooLarge = false;
    bool m_delivered = false;
};
