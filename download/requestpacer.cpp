#include "download/requestpacer.h"

#include <QPointer>
#include <QTimer>

#include <algorithm>

namespace download {

qint64 retryAfterMs(const QByteArray &value, const QDateTime &now)
{
    const QByteArray text = value.trimmed();
    if (text.isEmpty())
        return -1;
    bool ok = false;
    const qint64 seconds = text.toLongLong(&ok);
    if (ok)
        return seconds < 0 ? -1 : std::min(seconds, kMaxRetryAfterMs / 1000) * 1000;
    const QDateTime when = QDateTime::fromString(QString::fromLatin1(text), Qt::RFC2822Date);
    if (!when.isValid())
        return -1;
    return std::clamp<qint64>(now.msecsTo(when), 0, kMaxRetryAfterMs);
}

RequestPacer::RequestPacer(int pageGapMs, QObject *parent)
    : QObject(parent)
    , m_pageGapMs(std::max(0, pageGapMs))
{
    m_clock.start();
}

void RequestPacer::holdFor(qint64 ms)
{
    m_heldUntilMs = std::max(m_heldUntilMs, m_clock.elapsed() + std::max<qint64>(0, ms));
}

void RequestPacer::whenReady(bool pageRequest, QObject *context, std::function<void()> go)
{
    const qint64 now = m_clock.elapsed();
    qint64 at = std::max(now, m_heldUntilMs);
    if (pageRequest) {
        at = std::max({at, m_nextPageAtMs, m_lastPageAtMs + m_pageGapMs});
        m_nextPageAtMs = at + m_pageGapMs;
    }
    if (at > now) {
        runAt(at, pageRequest, context, std::move(go));
        return;
    }
    if (pageRequest)
        m_lastPageAtMs = now;
    go();
}

void RequestPacer::runAt(qint64 atMs, bool pageRequest, QObject *context, std::function<void()> go)
{
    QPointer<QObject> alive(context);
    const qint64 wait = std::max<qint64>(1, atMs - m_clock.elapsed());
    QTimer::singleShot(std::chrono::milliseconds(wait), Qt::PreciseTimer, this,
                       [this, alive, pageRequest, go = std::move(go)]() mutable {
                           if (!alive)
                               return;
                           // A hold that came meanwhile counts too, and so does a page
                           // request before this one that went out late.
                           const qint64 now = m_clock.elapsed();
                           const qint64 due = std::max(m_heldUntilMs, pageRequest ? m_lastPageAtMs + m_pageGapMs : now);
                           if (due > now) {
                               runAt(due, pageRequest, alive, std::move(go));
                               return;
                           }
                           if (pageRequest)
                               m_lastPageAtMs = now;
                           go();
                       });
}

} // namespace download
