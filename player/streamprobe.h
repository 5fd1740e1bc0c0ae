#pragma once

#include "player/streamfailure.h"

#include <QObject>
#include <QPointer>
#include <QUrl>

#include <functional>

class QNetworkAccessManager;
class QNetworkReply;

// Finds out why a stream failed, where the player cannot tell a missing file
// from a refused connection or a web page: asks the source for its first bytes
// over HTTP and reads the answer. Gives up after kTimeLimitMs.
class StreamProbe final : public QObject
{
public:
    static constexpr int kTimeLimitMs = 2500;
    using Verdict = std::function<void(const StreamFailure &failure)>;

    explicit StreamProbe(QObject *parent = nullptr);
    ~StreamProbe() override;

    // Asks `source` once, ending any probe before, and calls `done` from the
    // event loop with what the answer says: Gone, Unreachable or Unreadable,
    // or `otherwise` when audio came well (the trouble lies elsewhere).
    void start(const QUrl &source, const StreamFailure &otherwise, Verdict done);
    // Ends the probe under way; its verdict never comes.
    void cancel();

private:
    void judge(QNetworkReply *reply);

    QNetworkAccessManager *m_network = nullptr;
    QPointer<QNetworkReply> m_reply;
    StreamFailure m_otherwise;
    Verdict m_done;
};
