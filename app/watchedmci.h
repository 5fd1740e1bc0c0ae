#pragma once

#include "player/mciinterpreter.h"

#include <functional>
#include <memory>
#include <utility>

// Passes every command on to the player it wraps and then tells `changed`,
// so whoever shows what plays learns of each change without taking part in
// it: `started` is true for a play command, false for any other command and
// for a failure of the stream.
class WatchedMci final : public MciService
{
public:
    using Changed = std::function<void(bool started)>;

    WatchedMci(std::unique_ptr<MciService> inner, Changed changed)
        : m_inner(std::move(inner))
        , m_changed(std::move(changed))
    {
        m_inner->setFailureHandler([this](const StreamFailure &failure) {
            reportFailure(failure);
            m_changed(false);
        });
    }

    int sendString(const QString &command) override
    {
        const int result = m_inner->sendString(command);
        const std::optional<mci::Command> sent = mci::parse(command);
        m_changed(sent && sent->verb == mci::Verb::Play);
        return result;
    }

private:
    std::unique_ptr<MciService> m_inner;
    Changed m_changed;
};
