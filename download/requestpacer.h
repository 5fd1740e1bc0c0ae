#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QElapsedTimer>
#include <QObject>

#include <functional>

namespace download {

// The longest wait a "Retry-After" is obeyed for; a site asking for more is
// not waited out: what asked fails at once, saying when to come back.
constexpr qint64 kMaxRetryAfterMs = 10 * 60 * 1000;

// Milliseconds a "Retry-After" value asks to wait, given in seconds or as an
// HTTP date in any of its three forms (IMF-fixdate, RFC 850, asctime); a date
// in the past asks for 0. -1 when it is absent or unreadable.
qint64 retryAfterMs(const QByteArray &value, const QDateTime &now = QDateTime::currentDateTimeUtc());

// Why a run is waiting rather than fetching.
enum class WaitReason {
    None,
    SiteAsked, // a 429 or 503 with Retry-After
    Spacing,   // the gap asked for between page requests (--sleep-requests)
};

// "等待 12 秒 (服务器要求稍后再试)", for a status line and a terminal.
QString waitText(qint64 msLeft, WaitReason reason);

// The failure text of a request whose site asked for a pause longer than
// kMaxRetryAfterMs: "服务器要求 2026-12-09 08:00 后再试".
QString comeBackText(qint64 waitMs, const QDateTime &now = QDateTime::currentDateTime());

// Whether an answer with this status asks the client to come back later.
inline bool asksToWait(int httpStatus)
{
    return httpStatus == 429 || httpStatus == 503;
}

// Keeps a run's requests polite: page requests at least `pageGapMs` apart,
// and no request at all while the site has asked to be left alone.
class RequestPacer final : public QObject
{
public:
    explicit RequestPacer(int pageGapMs = 0, QObject *parent = nullptr);

    // Runs `go` once a request may be sent: at once when nothing holds it,
    // else later on the event loop, unless `context` has gone by then.
    void whenReady(bool pageRequest, QObject *context, std::function<void()> go);
    // No request starts within the next `ms` milliseconds.
    void holdFor(qint64 ms);
    int pageGapMs() const { return m_pageGapMs; }
    // What holds requests back now and for how much longer (None, 0 when nothing does).
    WaitReason waiting(qint64 *msLeft = nullptr) const;

private:
    void runAt(qint64 atMs, bool pageRequest, QObject *context, std::function<void()> go);

    int m_pageGapMs;
    qint64 m_nextPageAtMs = 0;                  // the next page request's turn, as given out
    qint64 m_lastPageAtMs = -(qint64(1) << 40); // when the last page request really went
    qint64 m_heldUntilMs = 0;
    QElapsedTimer m_clock;
};

} // namespace download
