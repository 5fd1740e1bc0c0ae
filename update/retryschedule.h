#pragma once

// How long to wait before reading the version file again after it could not
// be read: the first wait as given, each later one twice the one before, never
// longer than the longest.
namespace update {

class RetrySchedule final
{
public:
    RetrySchedule(int firstMs, int longestMs);

    // The wait before the next attempt; each call moves the schedule on.
    int nextWaitMs();

private:
    int m_nextMs;
    int m_longestMs;
};

} // namespace update
