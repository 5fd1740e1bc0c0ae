#pragma once

#include <QObject>

// Ctrl-C for every subcommand: main() turns SIGINT into requestStop(); a
// subcommand that runs long listens to StopSignal and ends cleanly.
namespace cli {

class StopSignal final : public QObject
{
    Q_OBJECT
public:
    static StopSignal *instance();

signals:
    void stopRequested();
};

// Notes the request and tells StopSignal's listeners. Event-loop thread only.
void requestStop();
// Whether a stop has been asked for during this run.
bool stopRequested();

} // namespace cli
