#include "download/requestpacer.h"

#include <QLocale>
#include <QPointer>
#include <QTimer>

#include <QTimeZone>

#include <algorithm>
#include <limits>

namespace download {

namespace {

// An HTTP date in one of its three forms, as UTC; invalid when it is none of
// them. The weekday is left out: a two-digit year would not match it.
QDateTime httpDate(const QByteArray &text)
{
    const QString simple = QString::fromLatin1(text).simplified();
    const qsizetype comma = simple.indexOf(QLatin1Char(','));
    const QString dated = comma >= 0 ? simple.mid(comma + 1).trimmed() : simple.section(QLatin1Char(' '), 1);
    const QLocale c = QLocale::c();
    for (const char *form : {"dd MMM yyyy HH:mm:ss 'GMT'", "dd-MMM-yy HH:mm:ss 'GMT'", "MMM d HH:mm:ss yyyy"}) {
        QDateTime when = c.toDateTime(dated, QLatin1String(form));
        if (!when.isValid())
            continue;
        when.setTimeZone(QTimeZone::utc());
        // A two-digit year is read as 19xx; the site means the nearest one.
        if (when.date().year() < 1970)
            when = when.addYears(100);
        return when;
    }
    return QDateTime::fromString(simple, Qt::RFC2822Date);
}

} // namespace

qint64 retryAfterMs(const QByteArray &value, const QDateTime &now)
{
    const QByteArray text = value.trimmed();
    if (text.isEmpty())
        return -1;
    bool ok = false;
    const qint64 seconds = text.toLongLong(&ok);
    if (ok)
        return seconds < 0 ? -1 : std::min<qint64>(seconds, std::numeric_limits<qint64>::max() / 1000) * 1000;
    const QDateTime when = httpDate(text);
    if (!when.isValid())
        return -1;
    return std::max<qint64>(now.msecsTo(when), 0);
}

QString waitText(qint64 msLeft, WaitReason reason)
{
    const qint64 seconds = (std::max<qint64>(msLeft, 0) + 999) / 1000;
    switch (reason) {
    case WaitReason::SiteAsked:
        return QStringLiteral("等待 %1 秒 (服务器要求稍后再试)").arg(seconds);
    case WaitReason::Spacing:
        return QStringLiteral("等待 %1 秒 (请求间隔)").arg(seconds);
    case WaitReason::None:
        break;
    }
    return QString();
}

QString comeBackText(qint64 waitMs, const QDateTime &now)
{
    const QDateTime when = now.addMSecs(std::min<qint64>(waitMs, qint64(400) * 365 * 24 * 3600 * 1000));
    return QStringLiteral("服务器要求 %1 后再试").arg(when.toString(QStringLiteral("yyyy-MM-dd HH:mm")));
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

WaitReason RequestPacer::waiting(qint64 *msLeft) const
{
    const qint64 now = m_clock.elapsed();
    const qint64 spacedUntil = std::max(m_nextPageAtMs - m_pageGapMs, m_lastPageAtMs + m_pageGapMs);
    const WaitReason reason = m_heldUntilMs > now ? WaitReason::SiteAsked
                              : spacedUntil > now ? WaitReason::Spacing
                                                  : WaitReason::None;
    if (msLeft)
        *msLeft = reason == WaitReason::SiteAsked ? m_heldUntilMs - now
                  : reason == WaitReason::Spacing ? spacedUntil - now
                                                  : 0;
    return reason;
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
