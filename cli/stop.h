#pragma once

#include <QObject>

class QCoreApplication;

// Ctrl-C and a polite kill for every subcommand. While a StopScope lives, the
// first SIGINT or SIGTERM reaches the event loop as requestStop() and the
// subcommand ends cleanly (a second one ends the program at once); outside
// any scope the first one ends the program at once, so a signal never waits
// for a step that does not run the event loop.
namespace cli {

class StopSignal final : public QObject
{
    Q_OBJECT
public:
    static StopSignal *instance();

signals:
    void stopRequested();
};

// Catches SIGINT and SIGTERM for the life of `app`.
void installStopHandler(QCoreApplication &app);

// A stretch of a subcommand that listens to StopSignal and runs the event loop.
class StopScope final
{
public:
    StopScope();
    ~StopScope();
    StopScope(const StopScope &) = delete;
    StopScope &operator=(const StopScope &) = delete;
};

// Notes the request and tells StopSignal's listeners. Event-loop thread only.
void requestStop();
// Whether a stop has been asked for during this run.
bool stopRequested();
// The exit status of a run a signal stopped: 128 + the signal's number.
int stoppedExitStatus();

} // namespace cli
