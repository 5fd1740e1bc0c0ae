#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class QNetworkAccessManager;

namespace download {

class RequestPacer;

// What came back for one page after every try.
struct PageAnswer final
{
    int httpStatus = 0; // of the last answer; 0: none came (refused, reset, timed out)
    QByteArray body;
    QByteArray contentType;
    QString cause;          // empty when a whole success page came, else why not (for the detail)
    qint64 comeBackMs = -1; // the site asked for a pause longer than the run waits: how long
    bool ok() const { return cause.isEmpty(); }
    // The Chinese failure text for a page that did not come: `what` ("获取失败..")
    // or, when the site asked to be left alone for longer, when to come back.
    QString failureText(const QString &what) const;
};

// How every page request of a run is made, whichever door it came through.
struct PagePolicy final
{
    int retries = 3;     // further tries after a network fault, a 5xx, a 429
    int idleMs = 30000;  // no byte for this long ends a try
    int wholeMs = 30000; // the whole answer must be in within this long, however it trickles
    qint64 sizeLimit = 32 * 1024 * 1024;
    int firstBackoffMs = 500; // doubled each try, unless the site names its pause
};

// The one way a batch, a sync and a singer's download fetch pages: each
// request waits for its turn at the run's pacer, a failure worth trying again
// (no answer, 5xx, 429) is tried again after the backoff or the pause the site
// names (which then holds every request of the run), and a pause beyond
// kMaxRetryAfterMs is not waited out.
class PageClient final : public QObject
{
public:
    using Done = std::function<void(const PageAnswer &)>;

    PageClient(PagePolicy policy, std::shared_ptr<RequestPacer> pacer, QObject *parent = nullptr);
    ~PageClient() override;

    // Fetches `url` (only a web address); `done` runs once on the event loop,
    // unless `context` has gone or stop() came first.
    void get(const QString &url, QObject *context, Done done);
    // Ends every request in flight or waiting; their `done` never runs.
    void stop();

    const std::shared_ptr<RequestPacer> &pacer() const { return m_pacer; }
    const PagePolicy &policy() const { return m_policy; }

private:
    struct Request;
    void ask(const std::shared_ptr<Request> &request);
    void send(const std::shared_ptr<Request> &request);
    void answered(const std::shared_ptr<Request> &request, const PageAnswer &answer, bool sitePaused);
    void forget(const std::shared_ptr<Request> &request);

    PagePolicy m_policy;
    std::shared_ptr<RequestPacer> m_pacer;
    QNetworkAccessManager *m_network;
    QList<std::shared_ptr<Request>> m_requests;
};

} // namespace download
