#include "update/retryschedule.h"

#include <algorithm>

namespace update {

RetrySchedule::RetrySchedule(int firstMs, int longestMs)
    : m_longestMs(std::max(1, longestMs))
{
    m_nextMs = std::clamp(firstMs, 1, m_longestMs);
}

int RetrySchedule::nextWaitMs()
{
    const int wait = m_nextMs;
    // Halving the bound first keeps the doubling clear of int's end.
    m_nextMs = wait > m_longestMs / 2 ? m_longestMs : wait * 2;
    return wait;
}

} // namespace update
