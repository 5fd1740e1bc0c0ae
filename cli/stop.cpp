#include "cli/stop.h"

namespace cli {

namespace {
bool g_stopRequested = false;
}

StopSignal *StopSignal::instance()
{
    static StopSignal signal;
    return &signal;
}

void requestStop()
{
    g_stopRequested = true;
    emit StopSignal::instance()->stopRequested();
}

bool stopRequested()
{
    return g_stopRequested;
}

} // namespace cli
