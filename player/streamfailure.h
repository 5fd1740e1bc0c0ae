#pragma once

#include <QString>

#include <functional>
#include <utility>

// What became of a stream that could not start or broke off.
enum class StreamTrouble {
    NoOutput,    // nothing to play on: no sound server, no output device, no sound module
    BadAddress,  // not a web address the player may open
    Gone,        // the site answered that the file is not there (404, 410)
    Unreachable, // no answer, a refused connection or another HTTP error
    Unreadable,  // what came is not audio the player can read
    Stalled,     // no more of the stream came for too long
    Failed,      // the player gave up for a reason of its own
};

struct StreamFailure final
{
    StreamTrouble trouble = StreamTrouble::Failed;
    QString cause; // in the words of whoever found it out, for a tool tip or the terminal
};

// Tells whoever listens that a stream failed after all. Reports come from the
// event loop, never from within a call to the reporting object; one listener
// at a time.
class StreamFailureReporter
{
public:
    using FailureHandler = std::function<void(const StreamFailure &failure)>;

    void setFailureHandler(FailureHandler handler) { m_onFailure = std::move(handler); }

protected:
    ~StreamFailureReporter() = default;

    void reportFailure(const StreamFailure &failure)
    {
        if (m_onFailure)
            m_onFailure(failure);
    }

private:
    FailureHandler m_onFailure;
};
