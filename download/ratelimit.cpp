#include "download/ratelimit.h"

#include <algorithm>
#include <cmath>

namespace download {

namespace {

// Reads smaller than this cost more in wake-ups and progress reports than they are worth.
constexpr qint64 kSmallestRead = 4096;

} // namespace

RateLimit::RateLimit(qint64 bytesPerSecond)
    : m_rate(std::max<qint64>(1, bytesPerSecond))
    // An eighth of a second's worth: enough to read in blocks, too little to burst.
    , m_capacity(std::max<double>(double(kSmallestRead), double(m_rate) / 8.0))
{
    m_clock.start();
}

void RateLimit::refill()
{
    const qint64 now = m_clock.elapsed();
    m_tokens = std::min(m_capacity, m_tokens + double(now - m_filledAtMs) * double(m_rate) / 1000.0);
    m_filledAtMs = now;
}

qint64 RateLimit::smallestGrant(qint64 wanted) const
{
    return std::max<qint64>(1, std::min({wanted, kSmallestRead, qint64(m_capacity)}));
}

qint64 RateLimit::grant(qint64 wanted)
{
    refill();
    if (wanted <= 0 || m_tokens < double(smallestGrant(wanted)))
        return 0;
    const qint64 granted = std::min<qint64>(wanted, qint64(m_tokens));
    m_tokens -= double(granted);
    return granted;
}

int RateLimit::msUntil(qint64 wanted)
{
    refill();
    const double missing = double(smallestGrant(wanted)) - m_tokens;
    if (missing <= 0)
        return 1;
    return int(std::clamp<double>(std::ceil(missing * 1000.0 / double(m_rate)), 1.0, 60000.0));
}

qint64 RateLimit::parse(const QString &text)
{
    QString number = text.trimmed();
    double unit = 1;
    if (number.endsWith(QLatin1Char('K'), Qt::CaseInsensitive))
        unit = 1024;
    else if (number.endsWith(QLatin1Char('M'), Qt::CaseInsensitive))
        unit = 1024 * 1024;
    if (unit > 1)
        number.chop(1);
    bool ok = false;
    const double value = number.toDouble(&ok) * unit;
    if (!ok || !std::isfinite(value) || value < 1 || value > 1e12)
        return 0;
    return qint64(value);
}

} // namespace download
