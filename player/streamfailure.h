#pragma once

#include <QString>

#include <functional>
#include <utility>

// Tells whoever listens that a stream failed after all (unreachable, refused,
// not audio). Reports come from the event loop, never from within a call to
// the reporting object; one listener at a time.
class StreamFailureReporter
{
public:
    using FailureHandler = std::function<void(const QString &reason)>;

    void setFailureHandler(FailureHandler handler) { m_onFailure = std::move(handler); }

protected:
    ~StreamFailureReporter() = default;

    void reportFailure(const QString &reason)
    {
        if (m_onFailure)
            m_onFailure(reason);
    }

private:
    FailureHandler m_onFailure;
};
