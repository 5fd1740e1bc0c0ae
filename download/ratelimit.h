#pragma once

#include <QElapsedTimer>
#include <QString>

namespace download {

// A token bucket shared by every transfer of a run, so that together they
// read no more than `bytesPerSecond` on average. It starts empty: a run never
// opens with a burst above the rate.
class RateLimit final
{
public:
    explicit RateLimit(qint64 bytesPerSecond);

    qint64 rate() const { return m_rate; }
    // Takes up to `wanted` bytes from the bucket and returns how many were
    // granted; 0 while fewer than the smallest worthwhile read have gathered.
    qint64 grant(qint64 wanted);
    // Milliseconds until grant(wanted) gives something (at least 1).
    int msUntil(qint64 wanted);

    // "500K", "2M", "1.5M" or a plain number of bytes per second (K and M
    // count 1024s); 0 when the text is none of those.
    static qint64 parse(const QString &text);

private:
    qint64 smallestGrant(qint64 wanted) const;
    void refill();

    qint64 m_rate;
    double m_capacity;
    double m_tokens = 0;
    qint64 m_filledAtMs = 0;
    QElapsedTimer m_clock;
};

} // namespace download
