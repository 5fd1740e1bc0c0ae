#include "cli/stop.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace cli {

namespace {

bool g_stopRequested = false;
// The signal handler may only write to this pipe and read the flag.
int g_stopPipe[2] = {-1, -1};
volatile std::sig_atomic_t g_scopes = 0;
volatile std::sig_atomic_t g_signal = 0; // the first that asked for a stop

extern "C" void onStopSignal(int signalNumber)
{
    if (g_scopes > 0 && g_stopPipe[1] >= 0) {
        if (g_signal == 0)
            g_signal = signalNumber;
        const char byte = 1;
        [[maybe_unused]] const ssize_t written = ::write(g_stopPipe[1], &byte, 1);
        return;
    }
    // Nothing is listening: end as the signal would have ended us.
    std::signal(signalNumber, SIG_DFL);
    std::raise(signalNumber);
}

} // namespace

StopSignal *StopSignal::instance()
{
    static StopSignal signal;
    return &signal;
}

void installStopHandler(QCoreApplication &app)
{
    if (::pipe2(g_stopPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    auto *notifier = new QSocketNotifier(g_stopPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [] {
        char drained[16];
        while (::read(g_stopPipe[0], drained, sizeof drained) > 0) {
        }
        requestStop();
    });
    struct sigaction action = {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

StopScope::StopScope()
{
    ++g_scopes;
}

StopScope::~StopScope()
{
    --g_scopes;
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

int stoppedExitStatus()
{
    // As a shell reports a program the signal ended: 130 for SIGINT, 143 for SIGTERM.
    return 128 + (g_signal != 0 ? int(g_signal) : SIGINT);
}

} // namespace cli
